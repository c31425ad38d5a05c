#include "store/catalogue/dataset.h"

#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/datasource.h"
#include "store/rows/dberrors.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ClosedText = u"Cannot perform this operation on a closed dataset"_s;
const QString EmptyText = u"Cannot perform this operation on an empty dataset"_s;

std::vector<TRowStore::TFieldSlot> SlotsOf(const QVector<TFieldDef>& defs)
{
    std::vector<TRowStore::TFieldSlot> fieldSlots;
    for (const TFieldDef& d : defs)
        fieldSlots.push_back({d.Type, d.Kind == TFieldKind::fkData});
    return fieldSlots;
}

QVector<TSqlGateway::TColumnSlot> ColumnsOf(const QVector<TFieldDef>& defs)
{
    QVector<TSqlGateway::TColumnSlot> columns;
    for (int i = 0; i < defs.size(); ++i)
        if (defs[i].Kind == TFieldKind::fkData)
            columns.push_back({i, defs[i].FieldName, defs[i].Type});
    return columns;
}

int KeyFieldOf(const QString& tableName, const QVector<TFieldDef>& defs)
{
    const TTableDef* table = Schema::FindTable(tableName);
    for (int i = 0; table && i < defs.size(); ++i)
        if (defs[i].Kind == TFieldKind::fkData &&
            defs[i].FieldName.compare(table->KeyColumn, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Restores a value on scope exit, so callbacks can borrow the dataset's context.
template <typename T> struct TRestore {
    T& ref;
    T saved;
    explicit TRestore(T& r) : ref(r), saved(r) {}
    ~TRestore() { ref = saved; }
};

} // namespace

// ---------------------------------------------------------------- TField

TField::TField(TDataSet* ds, TFieldDef def, int index)
    : FDataSet(ds), FDef(std::move(def)), FIndex(index), FVisible(FDef.Visible),
      FDisplayWidth(FDef.DisplayWidth)
{
}

QVariant TField::Value() const { return FDataSet->ActiveValue(FIndex); }

QString TField::AsString() const
{
    if (std::optional<QString> stored = FDataSet->StoredText(FIndex))
        return *std::move(stored);
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    if (FDef.Type == TFieldType::ftBoolean)
        return v.toBool() ? u"True"_s : u"False"_s;
    return v.toString();
}

std::optional<QUtf8StringView> TField::StoredUtf8() const { return FDataSet->StoredUtf8(FIndex); }

int TField::AsInteger() const { return Value().toInt(); }

bool TField::AsBoolean() const { return Value().toBool(); }

void TField::SetValue(const QVariant& v) { FDataSet->SetFieldValue(*this, v); }

void TField::SetLookupDataSet(TDataSet* ds)
{
    // Resolved once: a sort by a lookup field reads it for every comparison.
    FLookupKeyIndex = ds ? ds->FieldByName(FDef.LookupKeyFields)->Index() : -1;
    FLookupResultIndex = ds ? ds->FieldByName(FDef.LookupResultField)->Index() : -1;
    FLookupDataSet = ds;
}

void TField::SetAsString(const QString& s)
{
    switch (FDef.Type) {
    case TFieldType::ftString:
        SetValue(s);
        return;
    case TFieldType::ftBoolean: {
        const QString t = s.trimmed();
        if (t.isEmpty())
            SetValue(QVariant());
        else if (t.compare(u"True"_s, Qt::CaseInsensitive) == 0 || t == u"1"_s)
            SetValue(true);
        else if (t.compare(u"False"_s, Qt::CaseInsensitive) == 0 || t == u"0"_s)
            SetValue(false);
        else
            throw EDatabaseError(u"«"_s + s + u"» — недопустимое логическое значение для поля «"_s +
                                     FDef.FieldName + u'»',
                                 u"'"_s + s + u"' is not a valid boolean value for field '"_s +
                                     FDef.FieldName + u'\'');
        return;
    }
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc: {
        const QString t = s.trimmed();
        if (t.isEmpty()) {
            SetValue(QVariant());
            return;
        }
        bool ok = false;
        const int n = t.toInt(&ok);
        if (!ok)
            throw EDatabaseError(u"«"_s + s + u"» — недопустимое целое значение для поля «"_s +
                                     FDef.FieldName + u'»',
                                 u"'"_s + s + u"' is not a valid integer value for field '"_s +
                                     FDef.FieldName + u'\'');
        SetValue(n);
        return;
    }
    }
}

// ---------------------------------------------------------------- TDataSet: setup

TDataSet::TDataSet(TADOConnection* connection, const QString& tableName)
    : TDataSet(connection, tableName, Schema::FieldDefs(tableName))
{
}

TDataSet::TDataSet(TADOConnection* connection, const QString& tableName,
                   const QVector<TFieldDef>& defs)
    : FConnection(connection), FTableName(tableName), FTableDef(Schema::FindTable(tableName)),
      FRows(SlotsOf(defs)), FGateway(tableName, ColumnsOf(defs), KeyFieldOf(tableName, defs)),
      FKeyField(FGateway.KeyField())
{
    if (!FTableDef)
        throw EDatabaseError(u"Unknown table "_s + tableName);
    for (int i = 0; i < defs.size(); ++i) {
        FFields.push_back(std::unique_ptr<TField>(new TField(this, defs[i], i)));
        FFieldIndex.insert(defs[i].FieldName, i);
        FFieldIndex.insert(defs[i].FieldName.toLower(), i);
    }
    for (const auto& f : FFields)
        FKeyFieldOf.push_back(f->IsLookup() ? FieldByName(f->Def().KeyFields)->Index() : -1);
    FBuf.resize(FieldCount());
    FCalcBuf.resize(FieldCount());
    // Sorting and the expression filter read lookup and calculated fields through us.
    FRows.SetComputedReader([this](int row, int field) { return RowValue(row, field); });
    FRows.SetRecordFilter([this](int row) { return PassesRecordFilter(row); });
    if (FConnection)
        FConnection->RegisterDataSet(this);
}

TDataSet::~TDataSet()
{
    if (FConnection)
        FConnection->UnregisterDataSet(this);
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->SetDataSet(nullptr);
}

void TDataSet::DetachConnection()
{
    FGateway.Release();
    FState = TDataSetState::dsInactive;
    FRows.Clear();
    FCur = -1;
    FConnection = nullptr;
}

TField* TDataSet::FindField(const QString& name) const
{
    auto it = FFieldIndex.constFind(name);
    if (it == FFieldIndex.constEnd())
        it = FFieldIndex.constFind(name.toLower());
    return it == FFieldIndex.constEnd() ? nullptr : FFields[*it].get();
}

TField* TDataSet::FieldByName(const QString& name) const
{
    TField* f = FindField(name);
    if (!f)
        throw EDatabaseError(FTableName + u": поле «"_s + name + u"» не найдено"_s,
                             FTableName + u": Field '"_s + name + u"' not found"_s);
    return f;
}

void TDataSet::AttachDataSource(TDataSource* ds) { FDataSources.push_back(ds); }

void TDataSet::DetachDataSource(TDataSource* ds)
{
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), ds),
                       FDataSources.end());
}

void TDataSet::CheckActive() const
{
    if (FState == TDataSetState::dsInactive)
        throw EDatabaseError(ClosedText);
}

void TDataSet::CheckEditing() const
{
    CheckActive();
    if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert)
        throw EDatabaseError(u"Dataset not in edit or insert mode"_s);
}

TADOConnection& TDataSet::OpenConnection() const
{
    if (!FConnection || !FConnection->Connected())
        throw EDatabaseError(TDbAction::None, TDbFault::Closed, QString(), FTableName);
    return *FConnection;
}

TSqlGateway::TValues TDataSet::RowValues(int row) const
{
    TSqlGateway::TValues values(FieldCount());
    for (int i = 0; i < FieldCount(); ++i)
        if (FRows.IsStored(i))
            values[i] = FRows.Value(row, i);
    return values;
}

// ---------------------------------------------------------------- open and close

void TDataSet::Open()
{
    if (Active())
        return;
    FGateway.Load(OpenConnection(), FRows);
    FState = TDataSetState::dsBrowse;
    FModified = false;
    FRows.Rebuild(true);
    FCur = FRows.VisibleCount() == 0 ? -1 : 0;
    ResetFlags();
    NotifyActiveChanged();
    if (AfterOpen)
        AfterOpen(*this);
    if (!IsEmpty())
        DoAfterScroll();
}

void TDataSet::Close()
{
    // Whatever the state: the connection closes its file next.
    FGateway.Release();
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(*this);
    // Closing discards a pending change, as the catalogue's disconnect expects;
    // callers that must keep it post first.
    FState = TDataSetState::dsInactive;
    FModified = false;
    FEditRow = -1;
    FRows.Clear();
    FCur = -1;
    FBof = FEof = true;
    NotifyActiveChanged();
}

// ---------------------------------------------------------------- the current row

bool TDataSet::PassesRecordFilter(int row) const
{
    if (!OnFilterRecord)
        return true;
    TRestore<int> restore(FCtxRow);
    FCtxRow = row;
    bool accept = true;
    OnFilterRecord(const_cast<TDataSet&>(*this), accept);
    return accept;
}

int TDataSet::CurrentRow() const
{
    return FCur >= 0 && FCur < FRows.VisibleCount() ? FRows.Visible()[FCur] : -1;
}

void TDataSet::SetCurrentToRow(int row, int fallbackVisIndex)
{
    const int at = FRows.VisibleIndexOf(row);
    if (at >= 0)
        FCur = at;
    else if (FRows.VisibleCount() == 0)
        FCur = -1;
    else
        FCur = std::clamp(fallbackVisIndex, 0, FRows.VisibleCount() - 1);
}

void TDataSet::ResetFlags()
{
    FBof = FCur <= 0;
    FEof = FRows.VisibleCount() == 0;
}

// ---------------------------------------------------------------- reading fields

int TDataSet::ActiveRow() const
{
    if (FCtxRow >= 0)
        return FCtxRow;
    return CurrentRow();
}

QVariant TDataSet::RowValue(int row, int fieldIndex) const
{
    switch (FFields[fieldIndex]->FieldKind()) {
    case TFieldKind::fkData:
        return FRows.Value(row, fieldIndex);
    case TFieldKind::fkLookup:
        return LookupValue(*FFields[fieldIndex], FRows.Value(row, FKeyFieldOf[fieldIndex]));
    case TFieldKind::fkCalculated:
        return CalcValue(row, fieldIndex);
    }
    return QVariant();
}

QString TDataSet::StoredRowText(int row, int fieldIndex) const
{
    if (row < 0 || row >= FRows.RowCount() || fieldIndex < 0 || fieldIndex >= FieldCount() ||
        !FRows.IsStored(fieldIndex) || !FRows.IsText(fieldIndex))
        return QString();
    return FRows.Text(row, fieldIndex);
}

int TDataSet::StoredRow(int fieldIndex) const
{
    if (!FRows.IsStored(fieldIndex) || !FRows.IsText(fieldIndex))
        return -1;
    if (FCtxRow >= 0)
        return FCtxRow;
    return FState == TDataSetState::dsBrowse ? CurrentRow() : -1;
}

std::optional<QString> TDataSet::StoredText(int fieldIndex) const
{
    const int row = StoredRow(fieldIndex);
    if (row < 0)
        return std::nullopt;
    return FRows.Text(row, fieldIndex);
}

std::optional<QUtf8StringView> TDataSet::StoredUtf8(int fieldIndex) const
{
    const int row = StoredRow(fieldIndex);
    if (row < 0)
        return std::nullopt;
    return FRows.Utf8(row, fieldIndex);
}

QVariant TDataSet::ActiveValue(int fieldIndex) const
{
    const TField& f = *FFields[fieldIndex];
    if (FInCalc && f.FieldKind() == TFieldKind::fkCalculated)
        return FCalcBuf[fieldIndex];
    const bool pending =
        FCtxRow < 0 && (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert);
    if (pending) {
        switch (f.FieldKind()) {
        case TFieldKind::fkData:
            return FBuf[fieldIndex];
        case TFieldKind::fkLookup:
            return LookupValue(f, FBuf[FKeyFieldOf[fieldIndex]]);
        case TFieldKind::fkCalculated:
            return CalcValue(FState == TDataSetState::dsInsert ? -1 : FEditRow, fieldIndex);
        }
    }
    const int row = ActiveRow();
    return row < 0 ? QVariant() : RowValue(row, fieldIndex);
}

QVariant TDataSet::CalcValue(int row, int fieldIndex) const
{
    if (!OnCalcFields)
        return QVariant();
    TRestore<int> restoreRow(FCtxRow);
    TRestore<bool> restoreCalc(FInCalc);
    FCtxRow = row;
    FInCalc = true;
    std::fill(FCalcBuf.begin(), FCalcBuf.end(), QVariant());
    const_cast<TDataSet*>(this)->OnCalcFields(const_cast<TDataSet&>(*this));
    return FCalcBuf[fieldIndex];
}

QVariant TDataSet::LookupValue(const TField& f, const QVariant& key) const
{
    TDataSet* ref = f.LookupDataSet();
    if (key.isNull() || !ref || !ref->Active())
        return QVariant();
    const QVariant v = ref->FRows.Lookup(f.FLookupKeyIndex, key.toInt(), f.FLookupResultIndex);
    if (v.isNull())
        return QVariant();
    return v.toString().left(f.Size());
}

QVariant TDataSet::Lookup(const QString& keyField, const QVariant& key,
                          const QString& resultField) const
{
    if (!Active() || key.isNull())
        return QVariant();
    return FRows.Lookup(FieldByName(keyField)->Index(), key.toInt(),
                        FieldByName(resultField)->Index());
}

QVariant TDataSet::Locate(const QString& field, const QString& text,
                          const QString& resultField) const
{
    if (!Active())
        return QVariant();
    return FRows.Locate(FieldByName(field)->Index(), text, FieldByName(resultField)->Index());
}

// ---------------------------------------------------------------- writing fields

void TDataSet::SetFieldValue(TField& f, const QVariant& value)
{
    if (FInCalc && f.FieldKind() == TFieldKind::fkCalculated) {
        FCalcBuf[f.Index()] = value;
        return;
    }
    CheckEditing();
    if (f.ReadOnly())
        throw EDatabaseError(u"Поле «"_s + f.FieldName() + u"» нельзя изменить"_s,
                             u"Field '"_s + f.FieldName() + u"' cannot be modified"_s);
    if (f.FieldKind() == TFieldKind::fkCalculated)
        throw EDatabaseError(u"Поле «"_s + f.FieldName() + u"» вычисляется"_s,
                             u"Field '"_s + f.FieldName() + u"' is calculated"_s);
    if (f.FieldKind() == TFieldKind::fkLookup) {
        TField* key = FFields[FKeyFieldOf[f.Index()]].get();
        const QString text = value.toString();
        if (text.isEmpty()) {
            SetFieldValue(*key, QVariant());
        } else {
            TDataSet* ref = f.LookupDataSet();
            const QVariant k =
                ref ? ref->Locate(f.Def().LookupResultField, text, f.Def().LookupKeyFields)
                    : QVariant();
            if (k.isNull())
                throw EDatabaseError(
                    u"«"_s + text + u"» нет в списке «"_s + f.DisplayLabel() + u'»',
                    u"'"_s + text + u"' is not in the list of "_s + f.DisplayLabel());
            SetFieldValue(*key, k);
        }
        NotifyRecordChanged(&f);
        return;
    }
    QVariant v = value;
    if (f.DataType() == TFieldType::ftString && !v.isNull())
        v = v.toString().left(f.Size());
    FBuf[f.Index()] = Cells::Normal(f.DataType(), v);
    FModified = true;
    NotifyRecordChanged(&f);
}

// ---------------------------------------------------------------- moves

bool TDataSet::IsEmpty() const
{
    return FRows.VisibleCount() == 0 && FState != TDataSetState::dsInsert;
}

int TDataSet::RecNo() const
{
    if (FCtxRow >= 0)
        return FRows.CountedPos(FCtxRow) < 0 ? -1 : FRows.CountedPos(FCtxRow) + 1;
    if (FState == TDataSetState::dsInsert || FState == TDataSetState::dsInactive)
        return -1;
    const int pos = FRows.CountedPos(CurrentRow());
    return pos < 0 ? -1 : pos + 1;
}

int TDataSet::RecordCount() const
{
    CheckActive();
    return FRows.CountedCount();
}

void TDataSet::First()
{
    CheckActive();
    CheckBrowseMode();
    const bool empty = FRows.VisibleCount() == 0;
    FCur = empty ? -1 : 0;
    FBof = true;
    FEof = empty;
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckActive();
    CheckBrowseMode();
    FCur = FRows.VisibleCount() - 1;
    FEof = true;
    FBof = FRows.VisibleCount() == 0;
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Next()
{
    CheckActive();
    CheckBrowseMode();
    if (FEof)
        return;
    if (FCur + 1 < FRows.VisibleCount()) {
        ++FCur;
        FBof = FEof = false;
    } else {
        FEof = true;
    }
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Prior()
{
    CheckActive();
    CheckBrowseMode();
    if (FBof)
        return;
    if (FCur > 0) {
        --FCur;
        FBof = FEof = false;
    } else {
        FBof = true;
    }
    NotifyScrolled();
    DoAfterScroll();
}

// ---------------------------------------------------------------- changes

void TDataSet::Insert()
{
    CheckActive();
    CheckBrowseMode();
    StartInsert(FCur < 0 ? 0 : FCur);
}

void TDataSet::Append()
{
    CheckActive();
    CheckBrowseMode();
    StartInsert(FRows.VisibleCount());
}

void TDataSet::StartInsert(int viewRow)
{
    FInsertVis = viewRow;
    std::fill(FBuf.begin(), FBuf.end(), QVariant());
    for (const auto& f : FFields)
        if (f->FieldKind() == TFieldKind::fkData && f->DataType() == TFieldType::ftBoolean)
            FBuf[f->Index()] = false;
    FState = TDataSetState::dsInsert;
    FModified = false;
    FBof = FEof = false;
    NotifyRowChanged({TRowChange::TKind::Inserted, viewRow});
    NotifyStateChanged();
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Edit()
{
    CheckActive();
    if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert)
        return;
    if (CurrentRow() < 0) {
        Insert();
        return;
    }
    FEditRow = CurrentRow();
    FBuf = RowValues(FEditRow);
    FState = TDataSetState::dsEdit;
    FModified = false;
    NotifyStateChanged();
}

void TDataSet::UpdateRecord()
{
    CheckActive();
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.UpdateData(); });
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    UpdateRecord();
    if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert) {
        if (FModified)
            Post();
        else
            Cancel();
    }
}

void TDataSet::Post()
{
    CheckActive();
    UpdateRecord();
    int row, shownAt;
    if (FState == TDataSetState::dsInsert) {
        shownAt = FInsertVis;
        // A new row's Booleans are never null; and the row in memory holds what the
        // file now holds, read back under the catalogue's rule.
        for (int i = 0; i < FieldCount(); ++i) {
            if (!FRows.IsStored(i))
                continue;
            const TFieldType type = Fields(i)->DataType();
            if (type == TFieldType::ftBoolean && FBuf[i].isNull())
                FBuf[i] = false;
            FBuf[i] = Cells::Normal(type, FBuf[i]);
        }
        const int key = FGateway.Insert(OpenConnection(), FBuf);
        row = FRows.AppendRow();
        for (int i = 0; i < FieldCount(); ++i)
            if (FRows.IsStored(i))
                FRows.SetValue(row, i, i == FKeyField ? QVariant(key) : FBuf[i]);
    } else if (FState == TDataSetState::dsEdit) {
        shownAt = FCur;
        row = FEditRow;
        FGateway.Update(OpenConnection(), RowValues(row), FBuf);
        for (int i = 0; i < FieldCount(); ++i)
            if (FRows.IsStored(i) && i != FKeyField)
                FRows.SetValue(row, i, FBuf[i]);
    } else {
        return;
    }
    FinishPost(row, shownAt);
    if (AfterPost)
        AfterPost(*this);
}

void TDataSet::FinishPost(int row, int viewRow)
{
    FRows.Place(row);
    SetCurrentToRow(row, viewRow);
    FState = TDataSetState::dsBrowse;
    FModified = false;
    FEditRow = -1;
    ResetFlags();
    NotifyRowPlaced(viewRow, row);
    NotifyStateChanged();
    NotifyScrolled();
}

void TDataSet::Cancel()
{
    CheckActive();
    if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert)
        return;
    const bool wasInsert = FState == TDataSetState::dsInsert;
    FState = TDataSetState::dsBrowse;
    FModified = false;
    FEditRow = -1;
    if (wasInsert && FCur >= FRows.VisibleCount())
        FCur = FRows.VisibleCount() - 1;
    ResetFlags();
    if (wasInsert)
        NotifyRowChanged({TRowChange::TKind::Removed, FInsertVis});
    else
        NotifyRowChanged({TRowChange::TKind::Changed, FCur});
    NotifyStateChanged();
    if (wasInsert) {
        NotifyScrolled();
        DoAfterScroll();
    }
}

void TDataSet::Delete()
{
    CheckActive();
    if (FState == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (FState == TDataSetState::dsEdit)
        Cancel();
    const int row = CurrentRow();
    if (row < 0)
        throw EDatabaseError(EmptyText);
    FGateway.Delete(OpenConnection(), RowValues(row));
    const int shownAt = FCur;
    FRows.MarkDeleted(row);
    FRows.Place(row);
    SetCurrentToRow(-1, shownAt);
    ResetFlags();
    NotifyRowChanged({TRowChange::TKind::Removed, shownAt});
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Refresh()
{
    CheckActive();
    CheckBrowseMode();
    const int row = CurrentRow();
    const QVariant key = row >= 0 ? FRows.Value(row, FKeyField) : QVariant();
    const int current = FCur;
    FGateway.Load(OpenConnection(), FRows);
    FRows.Rebuild(true);
    int found = -1;
    if (!key.isNull())
        for (int r = 0; r < FRows.RowCount() && found < 0; ++r)
            if (FRows.Value(r, FKeyField) == key)
                found = r;
    SetCurrentToRow(found, current);
    ResetFlags();
    NotifyDataSetChanged();
}

// ---------------------------------------------------------------- order and filters

void TDataSet::SetSort(const QString& fieldName)
{
    int field = -1;
    if (!fieldName.isEmpty())
        field = FieldByName(fieldName)->Index();
    if (Active())
        CheckBrowseMode();
    FSort = fieldName;
    FRows.SetSortField(field);
    if (!Active())
        return;
    const int row = CurrentRow();
    FRows.Rebuild(true);
    SetCurrentToRow(row, 0);
    ResetFlags();
    NotifyDataSetChanged();
}

void TDataSet::SetFilter(const QString& expression) { ApplyFilter(expression, false); }

void TDataSet::NarrowFilter(const QString& expression) { ApplyFilter(expression, true); }

void TDataSet::ApplyFilter(const QString& expression, bool narrows)
{
    TFilterExpr parsed = TFilterExpr::Parse(expression, [this](const QString& name) {
        const TField* f = FindField(name);
        return f ? f->Index() : -1;
    });
    if (Active() && FFiltered)
        CheckBrowseMode();
    FFilterText = expression;
    FRows.SetExpression(std::move(parsed));
    if (Active() && FFiltered) {
        if (narrows)
            FRows.Narrow();
        else
            FRows.Rebuild(false);
        NotifyDataSetChanged();
        First();
    }
}

void TDataSet::SetRecordFilterPrefix(const QString& fieldName, const QString& prefix)
{
    FRows.SetRecordFilterPrefix(FieldByName(fieldName)->Index(), prefix);
}

void TDataSet::SetFiltered(bool on)
{
    if (FFiltered == on)
        return;
    if (Active())
        CheckBrowseMode();
    FFiltered = on;
    FRows.SetFiltered(on);
    if (Active()) {
        FRows.Rebuild(false);
        NotifyDataSetChanged();
        First();
    }
}

// ---------------------------------------------------------------- grid view

int TDataSet::ViewRowCount() const
{
    return FRows.VisibleCount() + (FState == TDataSetState::dsInsert ? 1 : 0);
}

int TDataSet::ViewCurrentRow() const
{
    if (FState == TDataSetState::dsInsert)
        return FInsertVis;
    return FCur;
}

QVariant TDataSet::ViewValue(int viewRow, int fieldIndex) const
{
    if (FState == TDataSetState::dsInsert) {
        if (viewRow == FInsertVis) {
            TRestore<int> restore(FCtxRow);
            FCtxRow = -1;
            return ActiveValue(fieldIndex);
        }
        if (viewRow > FInsertVis)
            --viewRow;
    }
    if (viewRow < 0 || viewRow >= FRows.VisibleCount())
        return QVariant();
    const int row = FRows.Visible()[viewRow];
    if (FState == TDataSetState::dsEdit && row == FEditRow) {
        TRestore<int> restore(FCtxRow);
        FCtxRow = -1;
        return ActiveValue(fieldIndex);
    }
    return RowValue(row, fieldIndex);
}

QString TDataSet::ViewText(int viewRow, int fieldIndex) const
{
    const QVariant v = ViewValue(viewRow, fieldIndex);
    if (v.isNull())
        return QString();
    if (FFields[fieldIndex]->DataType() == TFieldType::ftBoolean)
        return v.toBool() ? u"True"_s : u"False"_s;
    return v.toString();
}

std::optional<QString> TDataSet::ViewStoredText(int viewRow, int fieldIndex) const
{
    if (FState != TDataSetState::dsBrowse || viewRow < 0 || viewRow >= FRows.VisibleCount() ||
        !FRows.IsStored(fieldIndex) || !FRows.IsText(fieldIndex))
        return std::nullopt;
    return FRows.Text(FRows.Visible()[viewRow], fieldIndex);
}

void TDataSet::MoveToViewRow(int viewRow)
{
    CheckActive();
    if (viewRow == ViewCurrentRow())
        return;
    const bool wasInsert = FState == TDataSetState::dsInsert;
    const int insertAt = FInsertVis;
    CheckBrowseMode();
    // A dropped new row no longer takes a place in the view.
    if (wasInsert && FState == TDataSetState::dsBrowse && viewRow > insertAt &&
        ViewRowCount() < FRows.VisibleCount() + 1)
        --viewRow;
    if (FRows.VisibleCount() == 0)
        return;
    FCur = std::clamp(viewRow, 0, FRows.VisibleCount() - 1);
    FBof = FEof = false;
    NotifyScrolled();
    DoAfterScroll();
}

// ---------------------------------------------------------------- notifications

void TDataSet::DoAfterScroll()
{
    if (AfterScroll)
        AfterScroll(*this);
}

void TDataSet::DisableControls() { ++FDisableCount; }

void TDataSet::EnableControls()
{
    if (FDisableCount == 0 || --FDisableCount > 0 || !FControlsStale)
        return;
    FControlsStale = false;
    if (!Active())
        return;
    NotifyDataSetChanged();
    NotifyStateChanged();
    NotifyScrolled();
}

bool TDataSet::HoldNotice()
{
    if (FDisableCount == 0)
        return false;
    FControlsStale = true;
    return true;
}

void TDataSet::NotifyDataSetChanged()
{
    if (HoldNotice())
        return;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.DataSetChanged(); });
}

void TDataSet::NotifyRowChanged(const TRowChange& change)
{
    if (HoldNotice())
        return;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([&change](TDataLink& l) { l.RowChanged(change); });
}

void TDataSet::NotifyRowPlaced(int from, int row)
{
    if (HoldNotice())
        return;
    const int to = FRows.VisibleIndexOf(row);
    if (to < 0)
        NotifyRowChanged({TRowChange::TKind::Removed, from});
    else if (to == from)
        NotifyRowChanged({TRowChange::TKind::Changed, from});
    else
        NotifyRowChanged({TRowChange::TKind::Moved, from, to});
}

void TDataSet::NotifyScrolled()
{
    if (HoldNotice())
        return;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.DataSetScrolled(); });
}

void TDataSet::NotifyRecordChanged(TField* field)
{
    if (HoldNotice())
        return;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([field](TDataLink& l) { l.RecordChanged(field); });
}

void TDataSet::NotifyStateChanged()
{
    if (HoldNotice())
        return;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.EditingChanged(); });
}

void TDataSet::NotifyActiveChanged()
{
    // Opened or closed: the widgets start over from here, held still or not.
    FControlsStale = false;
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.ActiveChanged(); });
}
