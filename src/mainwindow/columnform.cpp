#include "mainwindow/columnform.h"

#include "dbaware/dbgrid.h"
#include "platform/command.h"
#include "platform/dialogs.h"
#include "store/catalogue/dataset.h"

#include <QFrame>
#include <QListWidget>
#include <QShowEvent>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Item i stands for field i of the catalogue table.
const char16_t* const ItemCaptions[TColumnForm::ItemCount] = {
    u"№",
    u"Название программы",
    u"Тип диска",
    u"Производитель дисков",
    u"Тип программы",
    u"Платформа",
    u"Категория",
    u"Размещение файла",
    u"Производитель",
    u"Язык",
    u"Размер",
    u"Год",
    u"Примечание",
    u"Рейтинг",
    u"Сайт(коммен.)",
    u"Версия программы",
    u"Версия файла",
    u"Внутр. имя",
    u"Исходн. имя файла",
    u"Language ID",
    u"Code page",
    u"Товарн. знаки",
    u"Авторск. права",
};

constexpr int ClientWidth = 383;
constexpr int ClientHeight = 193;
constexpr int ItemHeight = 13;
constexpr int Columns = 3;

} // namespace

TColumnForm::TColumnForm(QWidget* parent)
    : QDialog(parent), Panel1(new QFrame(this)), CheckListBox1(new QListWidget(Panel1)),
      Panel2(new QFrame(this)), SpeedButton1(new QToolButton(Panel2)),
      SpeedButton2(new QToolButton(Panel2))
{
    setObjectName(u"ColumnForm"_s);
    setWindowTitle(u"Настройка столбцов"_s);
    // A single fixed border with only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    CheckListBox1->setObjectName(u"CheckListBox1"_s);
    // Three columns, filled top to bottom.
    CheckListBox1->setFlow(QListView::TopToBottom);
    CheckListBox1->setWrapping(true);
    CheckListBox1->setResizeMode(QListView::Adjust);
    CheckListBox1->setUniformItemSizes(true);
    CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CheckListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const char16_t* caption : ItemCaptions) {
        auto* item = new QListWidgetItem(QString::fromUtf16(caption), CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    // The designed size is the least: at a larger font the window grows until every
    // caption, with its tick box, is whole.
    QSize cell(0, ItemHeight);
    for (int i = 0; i < CheckListBox1->count(); ++i)
        cell =
            cell.expandedTo(CheckListBox1->sizeHintForIndex(CheckListBox1->model()->index(i, 0)));
    cell.rwidth() += 4;
    const int rows = (ItemCount + Columns - 1) / Columns;
    const int frame = 2 * (Panel1->frameWidth() + CheckListBox1->frameWidth()) + 2;
    const int buttonsHeight = 49;
    const int width = std::max(ClientWidth, Columns * cell.width() + frame);
    const int listHeight = std::max(ClientHeight - buttonsHeight, rows * cell.height() + frame);
    const int height = listHeight + buttonsHeight;
    setFixedSize(width, height);
    Panel1->setGeometry(0, 0, width, listHeight);
    CheckListBox1->setGeometry(Panel1->contentsRect());
    CheckListBox1->setGridSize(QSize((CheckListBox1->contentsRect().width() - 2) / Columns,
                                     (CheckListBox1->contentsRect().height() - 2) / rows));

    Panel2->setObjectName(u"Panel2"_s);
    // The buttons keep their designed place, centred when the window has grown.
    Panel2->setGeometry(112 + (width - ClientWidth) / 2, height - buttonsHeight, 177,
                        buttonsHeight);
    SpeedButton1->setObjectName(u"SpeedButton1"_s);
    SpeedButton1->setText(u"Ok"_s);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(0, 0, 89, buttonsHeight);
    SpeedButton2->setObjectName(u"SpeedButton2"_s);
    SpeedButton2->setText(u"Закрыть"_s);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setGeometry(89, 0, 88, buttonsHeight);

    connect(CheckListBox1, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { CheckListBox1ClickCheck(item); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { ShowChosenColumns(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { CloseWindow(); });
}

void TColumnForm::Bind(TDataSet* table, TDBGrid* grid)
{
    FTable = table;
    FGrid = grid;
}

void TColumnForm::ShowVisibility()
{
    FLoading = true;
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        const bool visible = FTable && i < FTable->FieldCount() && FTable->Fields(i)->Visible();
        CheckListBox1->item(i)->setCheckState(visible ? Qt::Checked : Qt::Unchecked);
    }
    FLoading = false;
}

void TColumnForm::CheckListBox1ClickCheck(QListWidgetItem* item)
{
    if (FLoading || !FTable)
        return;
    const int i = CheckListBox1->row(item);
    if (i < 0 || i >= FTable->FieldCount())
        return;
    FTable->Fields(i)->SetVisible(item->checkState() == Qt::Checked);
    if (FGrid)
        FGrid->RefreshColumns();
}

void TColumnForm::ShowChosenColumns()
{
    // The captions follow "Выбрано" as they are, each with a blank after it.
    QString text = u"Выбрано"_s;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked)
            text += CheckListBox1->item(i)->text() + u' ';
    Dialogs().MessageBox(this, text, u"Внимание!"_s, TMsgButtons::mbOK, TMsgIcon::miNone);
}

void TColumnForm::CloseWindow() { close(); }

void TColumnForm::CentreOnOwner()
{
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner)
        return;
    QRect placed(QPoint(), size());
    placed.moveCenter(owner->geometry().center());
    setGeometry(placed);
}

void TColumnForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        ShowVisibility();
        CentreOnOwner();
    }
    QDialog::showEvent(event);
}
