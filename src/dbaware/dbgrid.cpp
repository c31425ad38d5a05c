#include "dbaware/dbgrid.h"

#include "platform/command.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/recordops.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>

// ---------------------------------------------------------------- delegate

TDBGridDelegate::TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

QWidget* TDBGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex& index) const
{
    const TField* field = FGrid->GridModel()->ColumnField(index.column());
    if (!field)
        return nullptr;
    QWidget* editor = nullptr;
    if (field->IsLookup()) {
        auto* box = new QComboBox(parent);
        box->setFrame(false);
        box->addItem(QString());
        if (const TDataSet* ref = field->LookupDataSet(); ref && ref->Active()) {
            const TField* text = ref->FindField(field->Def().LookupResultField);
            if (text)
                for (int row = 0; row < ref->ViewRowCount(); ++row)
                    box->addItem(ref->ViewText(row, text->Index()));
        }
        connect(box, &QComboBox::activated, this, [this] { Typed(); });
        editor = box;
    } else {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        if (field->DataType() == TFieldType::ftString && field->Size() > 0)
            edit->setMaxLength(field->Size());
        connect(edit, &QLineEdit::textEdited, this, [this] { Typed(); });
        editor = edit;
    }
    FEditor = editor;
    FEditorIndex = index;
    FDirty = false;
    return editor;
}

void TDBGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (FDirty)
        return; // keep what the user typed
    FLoading = true;
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        // A reference text longer than the lookup field shows cut; find its entry.
        int at = box->findText(text);
        for (int i = 0; at < 0 && i < box->count(); ++i)
            if (!text.isEmpty() && box->itemText(i).startsWith(text))
                at = i;
        box->setCurrentIndex(std::max(at, 0));
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
    }
    FLoading = false;
}

void TDBGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const
{
    if (!FDirty || editor != FEditor)
        return;
    QString text;
    if (auto* box = qobject_cast<QComboBox*>(editor))
        text = box->currentText();
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        text = edit->text();
    FDirty = false;
    if (!model->setData(index, text, Qt::EditRole))
        FDirty = true;
}

void TDBGridDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (editor == FEditor) {
        FEditor = nullptr;
        FDirty = false;
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

void TDBGridDelegate::Typed() const
{
    if (FLoading)
        return;
    FDirty = true;
    FGrid->StartEditing();
}

// Every cell is one line of text: it is drawn here directly, as the style would draw
// it (selection, margins, elision, focus frame), at a fraction of the cost of the
// style's general item painting. The grid repaints after every file of a scan.
void TDBGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    const bool selected = (option.state & QStyle::State_Selected) ||
                          (index.isValid() && index == FGrid->currentIndex());
    TCellColors colors;
    if (selected)
        colors.Background = option.palette.color(group, QPalette::Highlight);
    colors.Text =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    if (const auto& hook = FGrid->OnDrawColumnCell())
        hook(index.row(), index.column(), selected, colors);
    if (colors.Background.isValid())
        painter->fillRect(option.rect, colors.Background);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
        const auto align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
        painter->save();
        painter->setFont(option.font);
        painter->setPen(colors.Text);
        painter->drawText(box, int(align) | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(text, Qt::ElideRight, box.width()));
        painter->restore();
    }
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = colors.Background.isValid()
                                    ? colors.Background
                                    : option.palette.color(group, QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

void TDBGridDelegate::CommitHeld()
{
    if (FEditor && FDirty && FEditorIndex.isValid())
        setModelData(FEditor, FGrid->GridModel(), FEditorIndex);
}

// ---------------------------------------------------------------- grid

namespace {

// The row indicator column has a fixed width, so its size hint need not measure the
// rows' headers, which the view would otherwise do again after every row inserted,
// removed or moved.
class TRowHeader : public QHeaderView {
public:
    explicit TRowHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
    {
        setSectionsClickable(true);
    }
    QSize sizeHint() const override { return {minimumWidth(), defaultSectionSize()}; }
};

} // namespace

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent), FModel(new TDBGridModel(this)), FDelegate(new TDBGridDelegate(this))
{
    setVerticalHeader(new TRowHeader(this));
    setModel(FModel);
    setItemDelegate(FDelegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setAlternatingRowColors(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->setMinimumSectionSize(fontMetrics().height());
    rows->setFixedWidth(fontMetrics().horizontalAdvance(QChar(0x25B6)) + 10);
    rows->setDefaultAlignment(Qt::AlignCenter);
    QHeaderView* cols = horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Interactive);
    cols->setHighlightSections(false);
    rows->setHighlightSections(false);
    cols->setSectionsMovable(false);
    cols->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // While the rows are rebuilt the view may move its current cell by itself (closing
    // an editor that has the focus acts like Tab); the dataset's row decides instead.
    connect(FModel, &TDBGridModel::modelAboutToBeReset, this, [this] { FSyncing = true; });
    connect(FModel, &TDBGridModel::modelReset, this, [this] {
        FSyncing = false;
        ApplyColumnWidths();
    });
    connect(FModel, &TDBGridModel::CurrentRowChanged, this, [this] { SyncCurrent(); });
    connect(FModel, &TDBGridModel::UpdateDataRequested, this, [this] { FDelegate->CommitHeld(); });
    connect(cols, &QHeaderView::sectionResized, this, &TDBGrid::SectionResized);
}

TDBGrid::~TDBGrid()
{
    // Unbound while the grid is still whole: the model, a child, would otherwise tell a
    // grid that is half destroyed that its rows went.
    FModel->SetDataSource(nullptr);
    // From here on the grid hears nothing: the model and the delegate outlive this
    // body (QWidget deletes its children later), and whatever they say while they go
    // would reach handlers of a grid that is no longer one.
    FModel->disconnect(this);
    FDelegate->disconnect(this);
    horizontalHeader()->disconnect(this);
    setModel(nullptr);
    delete FModel;
    FModel = nullptr;
}

void TDBGrid::SetDataSource(TDataSource* ds) { FModel->SetDataSource(ds); }

int TDBGrid::PixelsForChars(int chars) const
{
    return chars * fontMetrics().horizontalAdvance(u'0') + 4;
}

int TDBGrid::DesignedWidth(const TField* field) const
{
    const QString title =
        field->DisplayLabel().isEmpty() ? field->FieldName() : field->DisplayLabel();
    const int titleWidth = horizontalHeader()->fontMetrics().horizontalAdvance(title) + 4;
    return std::max(PixelsForChars(field->DisplayWidth()), titleWidth);
}

void TDBGrid::ApplyColumnWidths()
{
    FApplyingWidths = true;
    for (int c = 0; c < FModel->columnCount(); ++c) {
        const TField* f = FModel->ColumnField(c);
        if (!f)
            continue;
        const auto it = FWidths.constFind(f->FieldName());
        setColumnWidth(c, it != FWidths.constEnd() ? *it : DesignedWidth(f));
    }
    FApplyingWidths = false;
}

void TDBGrid::SectionResized(int column, int, int newSize)
{
    if (FApplyingWidths)
        return;
    if (TField* f = FModel->ColumnField(column)) {
        FWidths.insert(f->FieldName(), newSize);
        const int charWidth = std::max(1, fontMetrics().horizontalAdvance(u'0'));
        f->SetDisplayWidth(std::max(1, (newSize - 4 + charWidth / 2) / charWidth));
    }
}

void TDBGrid::SyncCurrent()
{
    if (FSyncing)
        return;
    const TDataSet* ds = DataSet();
    const int row = ds ? ds->ViewCurrentRow() : -1;
    FSyncing = true;
    if (row < 0 || row >= FModel->rowCount() || FModel->columnCount() == 0) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    } else {
        const int column = std::clamp(currentIndex().isValid() ? currentIndex().column() : 0, 0,
                                      FModel->columnCount() - 1);
        const QModelIndex target = FModel->index(row, column);
        // Through the view, so that it knows a current cell is set and does not pick
        // the first one itself when the focus comes back.
        if (currentIndex() != target)
            setCurrentIndex(target);
        scrollTo(target, QAbstractItemView::EnsureVisible);
    }
    FSyncing = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // While a row is inserted, removed or moved the view shifts its current cell
    // itself; the dataset tells the grid its current row once the change is through.
    if (FSyncing || FModel->Changing() || !current.isValid())
        return;
    TDataSet* ds = DataSet();
    if (!ds || current.row() == ds->ViewCurrentRow())
        return;
    const int row = current.row();
    FSyncing = true;
    RunCommand(window(), [&] { ds->MoveToViewRow(row); });
    FSyncing = false;
    SyncCurrent();
}

void TDBGrid::StartEditing()
{
    TDataSet* ds = DataSet();
    if (!ds)
        return;
    RunCommand(window(), [&] {
        if (ds->State() == TDataSetState::dsBrowse)
            ds->Edit();
    });
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    TDataSet* ds = DataSet();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (ds && plain && event->key() == Qt::Key_Insert) {
        RunCommand(window(), [&] { ds->Insert(); });
        event->accept();
        return;
    }
    if (ds && plain && event->key() == Qt::Key_Down &&
        ds->ViewCurrentRow() >= FModel->rowCount() - 1) {
        // Down from the last row appends a record, unless that row is an untouched new one.
        const bool untouched =
            ds->State() == TDataSetState::dsInsert && !ds->Modified() && !FDelegate->Holding();
        if (!untouched)
            RunCommand(window(), [&] { ds->Append(); });
        event->accept();
        return;
    }
    if (ds && plain && FPostOnEnter &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        state() != QAbstractItemView::EditingState) {
        PostRow();
        event->accept();
        return;
    }
    if (ds && plain && event->key() == Qt::Key_Escape &&
        state() != QAbstractItemView::EditingState && ds->State() != TDataSetState::dsBrowse) {
        RunCommand(window(), [&] { ds->Cancel(); });
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    // The cell's editor ends with this hint on Enter, its text handed to the record.
    if (FPostOnEnter && hint == QAbstractItemDelegate::SubmitModelCache)
        PostRow();
}

void TDBGrid::PostRow()
{
    if (TDataSet* ds = DataSet())
        RunCommand(window(), [ds] { RecordOps::SaveIfModified(*ds); });
}

void TDBGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // Focus that goes to the grid's own cell editor stays in the grid.
    const QWidget* now = QApplication::focusWidget();
    if (now && (now == this || isAncestorOf(now)))
        return;
    LeaveGrid();
}

void TDBGrid::LeaveGrid()
{
    TDataSet* ds = DataSet();
    if (!ds)
        return;
    RunCommand(window(), [&] {
        if (ds->State() == TDataSetState::dsInsert && !ds->Modified() && !FDelegate->Holding())
            ds->Cancel();
        else
            ds->UpdateRecord();
    });
}
