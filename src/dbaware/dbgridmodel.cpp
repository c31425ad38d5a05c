#include "dbaware/dbgridmodel.h"

#include "platform/command.h"
#include "store/catalogue/dataset.h"

#include <QApplication>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent) {}

TDBGridModel::~TDBGridModel() { FLink.SetDataSource(nullptr); }

TDataSet* TDBGridModel::DataSet() const
{
    TDataSet* ds = FLink.DataSet();
    return ds && ds->Active() ? ds : nullptr;
}

QVector<int> TDBGridModel::VisibleFields() const
{
    QVector<int> fields;
    if (const TDataSet* ds = DataSet())
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible())
                fields << i;
    return fields;
}

TField* TDBGridModel::ColumnField(int column) const
{
    const TDataSet* ds = DataSet();
    if (!ds || column < 0 || column >= FFields.size())
        return nullptr;
    return ds->Fields(FFields[column]);
}

int TDBGridModel::FieldColumn(const TField* field) const
{
    return field ? int(FFields.indexOf(field->Index())) : -1;
}

void TDBGridModel::Rebuild()
{
    beginResetModel();
    FFields = VisibleFields();
    const TDataSet* ds = DataSet();
    FRows = ds ? ds->ViewRowCount() : 0;
    FIndicatorRow = ds ? ds->ViewCurrentRow() : -1;
    endResetModel();
    WatchLookups();
    emit CurrentRowChanged();
}

void TDBGridModel::WatchLookups()
{
    std::vector<TDataSet*> refs;
    if (const TDataSet* ds = DataSet())
        for (int f : FFields)
            if (TField* field = ds->Fields(f);
                field->IsLookup() && field->LookupDataSet() &&
                std::find(refs.begin(), refs.end(), field->LookupDataSet()) == refs.end())
                refs.push_back(field->LookupDataSet());
    std::vector<TDataSet*> watched;
    for (const auto& w : FLookupWatches)
        watched.push_back(w->Source.DataSet());
    if (watched == refs)
        return;
    FLookupWatches.clear();
    for (TDataSet* ref : refs) {
        auto watch = std::make_unique<TLookupWatch>(this, ref);
        // Bound only once the watch stands where it lives; binding tells the link.
        TLookupWatch* w = watch.get();
        FLookupWatches.push_back(std::move(watch));
        w->Link.SetDataSource(&w->Source);
    }
}

void TDBGridModel::LookupsChanged(const TDataSet* ref)
{
    // A reference dataset going away is no news to paint; nor is anything while the
    // model's own rows are being changed.
    const TDataSet* ds = DataSet();
    if (!ref || !ds || FRows == 0 || Changing())
        return;
    for (int c = 0; c < FFields.size(); ++c)
        if (const TField* f = ds->Fields(FFields[c]); f->IsLookup() && f->LookupDataSet() == ref)
            emit dataChanged(index(0, c), index(FRows - 1, c), {Qt::DisplayRole});
}

void TDBGridModel::RefreshColumns()
{
    if (VisibleFields() != FFields)
        Rebuild();
}

// The dataset has already changed when it tells us. Until the model has passed the
// change on, its rows stand where they stood before: SourceRow() finds each one in
// the dataset's new view. Values that changed in place (the moved row, row numbers)
// are announced first, in the old places, and the row operation itself then moves
// no data but the row's own, which is what views and proxies expect.
void TDBGridModel::RowChanged(const TRowChange& change)
{
    const TDataSet* ds = DataSet();
    const int row = change.Row;
    const bool inRange =
        ds && row >= 0 && row < FRows + (change.Kind == TRowChange::TKind::Inserted ? 1 : 0) &&
        (change.Kind != TRowChange::TKind::Moved || (change.To >= 0 && change.To < FRows));
    if (!inRange) {
        Rebuild();
        return;
    }
    FPending = change;
    FMapped = true;
    switch (change.Kind) {
    case TRowChange::TKind::Inserted:
        Renumbered(row, FRows - 1);
        beginInsertRows(QModelIndex(), row, row);
        FMapped = false;
        ++FRows;
        endInsertRows();
        break;
    case TRowChange::TKind::Removed:
        Renumbered(row + 1, FRows - 1);
        beginRemoveRows(QModelIndex(), row, row);
        FMapped = false;
        --FRows;
        endRemoveRows();
        break;
    case TRowChange::TKind::Moved:
        RowValuesChanged(row);
        Renumbered(std::min(row, change.To), std::max(row, change.To));
        // Qt counts the destination before the row leaves its old place.
        beginMoveRows(QModelIndex(), row, row, QModelIndex(),
                      change.To > row ? change.To + 1 : change.To);
        FMapped = false;
        endMoveRows();
        break;
    case TRowChange::TKind::Changed:
        FMapped = false;
        RowValuesChanged(row);
        break;
    }
    FPending.reset();
}

int TDBGridModel::SourceRow(int row) const
{
    if (!FMapped)
        return row;
    const int at = FPending->Row;
    switch (FPending->Kind) {
    case TRowChange::TKind::Inserted:
        return row >= at ? row + 1 : row;
    case TRowChange::TKind::Removed:
        return row < at ? row : (row == at ? -1 : row - 1);
    case TRowChange::TKind::Moved: {
        const int to = FPending->To;
        if (row == at)
            return to;
        if (at < to && row > at && row <= to)
            return row - 1;
        if (to < at && row >= to && row < at)
            return row + 1;
        return row;
    }
    case TRowChange::TKind::Changed:
        break;
    }
    return row;
}

void TDBGridModel::RowValuesChanged(int row)
{
    if (row >= 0 && row < FRows && !FFields.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(FFields.size()) - 1));
}

void TDBGridModel::Renumbered(int first, int last)
{
    const TDataSet* ds = DataSet();
    first = std::max(first, 0);
    last = std::min(last, FRows - 1);
    if (!ds || first > last)
        return;
    for (int c = 0; c < FFields.size(); ++c)
        if (ds->Fields(FFields[c])->FieldKind() == TFieldKind::fkCalculated)
            emit dataChanged(index(first, c), index(last, c));
}

void TDBGridModel::Scrolled()
{
    const TDataSet* ds = DataSet();
    if (!ds)
        return;
    // Every change of rows has been told before the current row moves.
    Q_ASSERT(FRows == ds->ViewRowCount());
    const int old = FIndicatorRow;
    FIndicatorRow = ds->ViewCurrentRow();
    if (old >= 0 && old < FRows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (FIndicatorRow >= 0 && FIndicatorRow < FRows && FIndicatorRow != old)
        emit headerDataChanged(Qt::Vertical, FIndicatorRow, FIndicatorRow);
    emit CurrentRowChanged();
}

void TDBGridModel::FieldChanged(TField* field)
{
    const TDataSet* ds = DataSet();
    const int row = ds ? ds->ViewCurrentRow() : -1;
    if (!field || row < 0 || row >= FRows)
        return;
    // The field's own column, and the lookup columns that show a text for it.
    for (int c = 0; c < FFields.size(); ++c) {
        const TField* shown = ds->Fields(FFields[c]);
        if (shown == field ||
            (shown->IsLookup() &&
             shown->Def().KeyFields.compare(field->FieldName(), Qt::CaseInsensitive) == 0))
            emit dataChanged(index(row, c), index(row, c));
    }
}

void TDBGridModel::EditingChanged()
{
    const TDataSet* ds = DataSet();
    if (!ds)
        return;
    const int row = ds->ViewCurrentRow();
    if (row >= 0 && row < FRows)
        emit headerDataChanged(Qt::Vertical, row, row);
    emit StateChanged();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TDBGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(FFields.size());
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const
{
    const TDataSet* ds = DataSet();
    if (!ds || !index.isValid() || index.row() >= FRows || index.column() >= FFields.size())
        return QVariant();
    const int field = FFields[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const int row = SourceRow(index.row());
        return row < 0 ? QVariant() : QVariant(ds->ViewText(row, field));
    }
    case Qt::TextAlignmentRole: {
        const TFieldType t = ds->Fields(field)->DataType();
        if (t == TFieldType::ftInteger || t == TFieldType::ftAutoInc)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return QVariant();
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const TDataSet* ds = DataSet();
    if (role != Qt::DisplayRole || !ds)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= FFields.size())
            return QVariant();
        const TField* field = ds->Fields(FFields[section]);
        return field->DisplayLabel().isEmpty() ? field->FieldName() : field->DisplayLabel();
    }
    // The row indicator: an arrow on the current row, an I-beam while it is being
    // edited, a star on a new row.
    if (section < 0 || section >= FRows || SourceRow(section) != ds->ViewCurrentRow())
        return QString();
    switch (ds->State()) {
    case TDataSetState::dsEdit:
        return u"I"_s;
    case TDataSetState::dsInsert:
        return u"*"_s;
    default:
        return u"\u25B6"_s;
    }
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (const TField* field = ColumnField(index.column()))
        if (!field->ReadOnly() && field->FieldKind() != TFieldKind::fkCalculated &&
            field->DataType() != TFieldType::ftAutoInc)
            f |= Qt::ItemIsEditable;
    return f;
}

bool TDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    // While a row goes away the view commits an editor that was open on it; that text
    // belongs to the row that went, never to the row that now stands in its place.
    if (Changing())
        return false;
    TField* field = ColumnField(index.column());
    TDataSet* ds = DataSet();
    if (!field || !ds)
        return false;
    QWidget* parent = QApplication::activeWindow();
    return RunCommand(parent, [&] {
        if (ds->ViewCurrentRow() != index.row())
            ds->MoveToViewRow(index.row());
        if (ds->State() == TDataSetState::dsBrowse)
            ds->Edit();
        field->SetAsString(value.toString());
    });
}
