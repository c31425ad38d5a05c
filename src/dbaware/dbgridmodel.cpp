#include "dbaware/dbgridmodel.h"

#include "platform/command.h"
#include "store/dataset.h"

#include <QApplication>

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
    emit CurrentRowChanged();
}

void TDBGridModel::RefreshColumns()
{
    if (VisibleFields() != FFields)
        Rebuild();
}

bool TDBGridModel::RebuildIfRowsChanged()
{
    const TDataSet* ds = DataSet();
    if (ds && ds->ViewRowCount() == FRows)
        return false;
    if (ds)
        Rebuild();
    return true;
}

void TDBGridModel::Scrolled()
{
    if (RebuildIfRowsChanged())
        return;
    const TDataSet* ds = DataSet();
    const int old = FIndicatorRow;
    FIndicatorRow = ds->ViewCurrentRow();
    if (old >= 0 && old < FRows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (FIndicatorRow >= 0 && FIndicatorRow < FRows && FIndicatorRow != old)
        emit headerDataChanged(Qt::Vertical, FIndicatorRow, FIndicatorRow);
    emit CurrentRowChanged();
}

void TDBGridModel::RowChanged()
{
    if (RebuildIfRowsChanged())
        return;
    const TDataSet* ds = DataSet();
    const int row = ds->ViewCurrentRow();
    if (row >= 0 && row < FRows && !FFields.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(FFields.size()) - 1));
}

void TDBGridModel::EditingChanged()
{
    if (RebuildIfRowsChanged())
        return;
    const TDataSet* ds = DataSet();
    const int row = ds->ViewCurrentRow();
    if (row >= 0 && row < FRows)
        emit headerDataChanged(Qt::Vertical, row, row);
    emit StateChanged();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FRows;
}

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
    case Qt::EditRole:
        return ds->ViewText(index.row(), field);
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
        return ds->Fields(FFields[section])->DisplayLabel();
    }
    // The row indicator: an arrow on the current row, an I-beam while it is being
    // edited, a star on a new row.
    if (section < 0 || section >= FRows || section != ds->ViewCurrentRow())
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
