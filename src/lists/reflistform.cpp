#include "lists/reflistform.h"

#include "dbaware/dbgrid.h"
#include "platform/command.h"
#include "platform/fitwindow.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"
#include "store/rows/dberrors.h"

#include "ui_reflistform.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

using namespace Qt::Literals::StringLiterals;

TRefListForm::TRefListForm(const TSetup& setup, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<::Ui::TRefListForm>()), FSource(setup.Source)
{
    ui->setupUi(this);
    setObjectName(setup.ObjectName);
    // A fixed border with only the system menu and the close box; without the
    // customising hint window managers add minimise and maximise buttons of their own.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(378, 171);

    ui->DBGrid1->resize(setup.GridWidth, ui->DBGrid1->height());
    ui->Frame1->move(ui->Frame1->x() - setup.FrameShift, ui->Frame1->y());
    if (setup.LoweredPanel) {
        ui->Frame1->setObjectName(u"Panel1"_s);
        ui->Frame1->setFrameShape(QFrame::Panel);
        ui->Frame1->setFrameShadow(QFrame::Sunken);
    }
    if (setup.OwnIcon)
        setWindowIcon(style()->standardIcon(QStyle::SP_DriveCDIcon));
    else if (parent)
        setWindowIcon(parent->windowIcon());
    // A dialog with a parent opens centred on it unless it has been placed.
    if (setup.FixedPosition)
        move(300, 397);
    else
        FitWindow::PlaceWhenShown(this, FitWindow::TPlace::OnOwner);
    if (setup.SaveFirst) {
        setTabOrder(ui->BitBtn3, ui->BitBtn4);
        setTabOrder(ui->BitBtn4, ui->BitBtn2);
        setTabOrder(ui->BitBtn2, ui->BitBtn1);
        setTabOrder(ui->BitBtn1, ui->DBGrid1);
        ui->BitBtn3->setFocus();
    } else {
        ui->BitBtn1->setFocus();
    }
    // "Удалить" does not take the focus when clicked: an open new row then stays in the
    // grid until the button removes it, rather than being dropped as the grid loses
    // the focus and the delete falling on the stored row beneath it.
    ui->BitBtn2->setFocusPolicy(Qt::TabFocus);

    // The list's one text column fills the grid; the key is hidden by its field.
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->SetDataSource(FSource);
    ui->DBGrid1->SetPostOnEnter(true);

    connect(ui->BitBtn1, &QPushButton::clicked, this, [this] { AddItem(); });
    connect(ui->BitBtn2, &QPushButton::clicked, this, [this] { DeleteItem(); });
    connect(ui->BitBtn3, &QPushButton::clicked, this, [this] { SaveItem(); });
    connect(ui->BitBtn4, &QPushButton::clicked, this, [this] { CloseList(); });
}

TRefListForm::~TRefListForm() = default;

void TRefListForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TRefListForm::closeEvent(QCloseEvent* event)
{
    TDataSet* table = Table();
    if (!FLeavingPending && table && table->Active() &&
        !RunCommand(this, [table] { table->CheckBrowseMode(); })) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

TDataSet* TRefListForm::Table() const { return FSource ? FSource->DataSet() : nullptr; }

namespace {

// The list's cursor, or the engine's closed-table error when there is none to edit.
TDataSet& Open(TDataSet* table)
{
    if (!table)
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    return *table;
}

} // namespace

void TRefListForm::AddItem()
{
    RunCommand(this, [this] {
        Open(Table()).Insert();
        ui->DBGrid1->setFocus();
    });
}

void TRefListForm::DeleteItem()
{
    RunCommand(this, [this] { RecordOps::DeleteReference(Open(Table())); });
}

void TRefListForm::SaveItem()
{
    RunCommand(this, [this] {
        if (TDataSet* table = Table())
            RecordOps::SaveIfModified(*table);
    });
}

void TRefListForm::CloseList()
{
    RunCommand(this, [this] {
        FLeavingPending = true;
        close();
        FLeavingPending = false;
    });
}

TAddManufacturerForm::TAddManufacturerForm(TDataModule1* dm, QWidget* parent)
    : TRefListForm({.ObjectName = u"AddManufacturerForm"_s,
                    .Source = dm ? &dm->ManufacturerDataSource : nullptr,
                    .FrameShift = 8},
                   parent)
{
}

TTypeDiscForm::TTypeDiscForm(TDataModule1* dm, QWidget* parent)
    : TRefListForm({.ObjectName = u"TypeDiscForm"_s,
                    .Source = dm ? &dm->TypeDiscDataSource : nullptr,
                    .GridWidth = 217,
                    .LoweredPanel = true,
                    .OwnIcon = true},
                   parent)
{
}

TPlatformForm::TPlatformForm(TDataModule1* dm, QWidget* parent)
    : TRefListForm(
          {.ObjectName = u"PlatformForm"_s, .Source = dm ? &dm->PlatformDataSource : nullptr},
          parent)
{
}

TCategoryForm::TCategoryForm(TDataModule1* dm, QWidget* parent)
    : TRefListForm({.ObjectName = u"CategoryForm"_s,
                    .Source = dm ? &dm->CategoryDataSource : nullptr,
                    .FixedPosition = true,
                    .SaveFirst = true},
                   parent)
{
}

TProgramTypeForm::TProgramTypeForm(TDataModule1* dm, QWidget* parent)
    : TRefListForm(
          {.ObjectName = u"ProgramTypeForm"_s, .Source = dm ? &dm->ProgramTypeDataSource : nullptr},
          parent)
{
}
