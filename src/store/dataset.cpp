#include "store/dataset.h"

#include "store/connection.h"
#include "store/datasource.h"
#include "store/dberrors.h"

#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ClosedText = u"Cannot perform this operation on a closed dataset"_s;
const QString EmptyText = u"Cannot perform this operation on an empty dataset"_s;

QString SqlName(const QString& name) { return u'"' + name + u'"'; }

bool IsTextType(TFieldType t) { return t == TFieldType::ftString; }

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
    if (const QString* stored = FDataSet->StoredText(FIndex))
        return *stored;
    const QVariant v = Value();
    if (v.isNull())
        return QString();
    if (FDef.Type == TFieldType::ftBoolean)
        return v.toBool() ? u"True"_s : u"False"_s;
    return v.toString();
}

int TField::AsInteger() const { return Value().toInt(); }

bool TField::AsBoolean() const { return Value().toBool(); }

void TField::SetValue(const QVariant& v) { FDataSet->SetFieldValue(*this, v); }

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
            throw EDatabaseError(u"'"_s + s + u"' is not a valid boolean value for field '"_s +
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
            throw EDatabaseError(u"'"_s + s + u"' is not a valid integer value for field '"_s +
                                 FDef.FieldName + u'\'');
        SetValue(n);
        return;
    }
    }
}

// ---------------------------------------------------------------- TDataSet: setup

TDataSet::TDataSet(TADOConnection* connection, const QString& tableName)
    : FConnection(connection), FTableName(tableName), FTableDef(Schema::FindTable(tableName))
{
    if (!FTableDef)
        throw EDatabaseError(u"Unknown table "_s + tableName);
    const QVector<TFieldDef> defs = Schema::FieldDefs(tableName);
    for (int i = 0; i < defs.size(); ++i) {
        FFields.push_back(std::unique_ptr<TField>(new TField(this, defs[i], i)));
        FFieldIndex.insert(defs[i].FieldName, i);
        FFieldIndex.insert(defs[i].FieldName.toLower(), i);
        int column = -1;
        if (defs[i].Kind == TFieldKind::fkData) {
            column = int(FColumns.size());
            FColumns.push_back({defs[i].Type, {}, {}, {}});
            FFieldOfColumn.push_back(i);
            if (defs[i].FieldName.compare(FTableDef->KeyColumn, Qt::CaseInsensitive) == 0)
                FKeyColumn = column;
        }
        FColumnOfField.push_back(column);
    }
    FBuf.resize(FieldCount());
    FCalcBuf.resize(FieldCount());
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
    FState = TDataSetState::dsInactive;
    ClearRows();
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
        throw EDatabaseError(FTableName + u": Field '"_s + name + u"' not found"_s);
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

// ---------------------------------------------------------------- storage

QVariant TDataSet::Stored(int row, int column) const
{
    const TColumn& c = FColumns[column];
    if (IsTextType(c.Type)) {
        const QString& s = c.Text[row];
        return s.isNull() ? QVariant() : QVariant(s);
    }
    if (c.Nulls[row])
        return QVariant();
    if (c.Type == TFieldType::ftBoolean)
        return QVariant(c.Ints[row] != 0);
    return QVariant(c.Ints[row]);
}

void TDataSet::SetStored(int row, int column, const QVariant& v)
{
    TColumn& c = FColumns[column];
    if (IsTextType(c.Type)) {
        c.Text[row] = v.isNull() ? QString() : v.toString();
        if (!v.isNull() && c.Text[row].isNull())
            c.Text[row] = u""_s;
        return;
    }
    c.Nulls[row] = v.isNull();
    c.Ints[row] = v.isNull() ? 0 : v.toInt();
}

int TDataSet::AppendRow()
{
    for (TColumn& c : FColumns) {
        if (IsTextType(c.Type)) {
            c.Text.emplace_back();
        } else {
            c.Ints.push_back(0);
            c.Nulls.push_back(1);
        }
    }
    FDeleted.push_back(0);
    FExprPos.push_back(-1);
    return FRowCount++;
}

void TDataSet::ClearRows()
{
    for (TColumn& c : FColumns) {
        c.Text.clear();
        c.Ints.clear();
        c.Nulls.clear();
        c.Text.shrink_to_fit();
        c.Ints.shrink_to_fit();
        c.Nulls.shrink_to_fit();
    }
    FDeleted.clear();
    FOrder.clear();
    FExpr.clear();
    FVis.clear();
    FExprPos.clear();
    FRowCount = 0;
    FCur = -1;
    ++FVersion;
}

void TDataSet::Load()
{
    if (!FConnection || !FConnection->Connected())
        throw EDatabaseError(FTableName + u": the connection to the catalogue file is closed"_s);
    QStringList names;
    for (int column = 0; column < int(FColumns.size()); ++column)
        names << SqlName(FFields[FFieldOfColumn[column]]->FieldName());
    const QByteArray sql = (u"SELECT "_s + names.join(u", "_s) + u" FROM "_s +
                            SqlName(FTableName) + u" ORDER BY "_s +
                            SqlName(FTableDef->KeyColumn)).toUtf8();
    // Reading goes straight through SQLite: a large catalogue is read cell by cell,
    // and Qt SQL's QVariant per cell would double the time it takes to open.
    sqlite3* db = FConnection->SqliteHandle();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        throw EDatabaseError(FTableName + u": "_s +
                             FConnection->DescribeSqlError(QString::fromUtf8(sqlite3_errmsg(db))));
    ClearRows();
    const int ncols = int(FColumns.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int row = AppendRow();
        for (int column = 0; column < ncols; ++column) {
            if (sqlite3_column_type(st, column) == SQLITE_NULL)
                continue;
            TColumn& c = FColumns[column];
            if (IsTextType(c.Type)) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
                const int bytes = sqlite3_column_bytes(st, column);
                c.Text[row] = bytes ? QString::fromUtf8(text, bytes) : u""_s;
            } else {
                c.Nulls[row] = 0;
                c.Ints[row] = sqlite3_column_int(st, column);
            }
        }
    }
    const QString error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    if (!error.isEmpty())
        throw EDatabaseError(FTableName + u": "_s + FConnection->DescribeSqlError(error));
}

QString TDataSet::SqlError(const QSqlQuery& q) const
{
    const QString text = q.lastError().databaseText().isEmpty() ? q.lastError().text()
                                                                 : q.lastError().databaseText();
    return FConnection ? FConnection->DescribeSqlError(text) : text;
}

// ---------------------------------------------------------------- open and close

void TDataSet::Open()
{
    if (Active())
        return;
    Load();
    FState = TDataSetState::dsBrowse;
    FModified = false;
    RebuildViews(true);
    FCur = FVis.empty() ? -1 : 0;
    ResetFlags();
    NotifyActiveChanged();
    if (AfterOpen)
        AfterOpen(*this);
    if (!IsEmpty())
        DoAfterScroll();
}

void TDataSet::Close()
{
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(*this);
    // Closing discards a pending change, as the catalogue's disconnect expects;
    // callers that must keep it post first.
    FState = TDataSetState::dsInactive;
    FModified = false;
    FEditRow = -1;
    ClearRows();
    FBof = FEof = true;
    NotifyActiveChanged();
}

// ---------------------------------------------------------------- views

QVariant TDataSet::SortKey(int row) const
{
    if (FSortField < 0)
        return QVariant();
    return RowValue(row, FSortField);
}

int TDataSet::CompareValues(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    const auto numeric = [](int t) {
        return t == QMetaType::Int || t == QMetaType::LongLong || t == QMetaType::Double ||
               t == QMetaType::Bool;
    };
    if (numeric(a.typeId()) && numeric(b.typeId())) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const int c = CompareText(a.toString(), b.toString());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int TDataSet::CompareText(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    int c = a.compare(b, Qt::CaseInsensitive);
    if (c == 0)
        c = a.compare(b, Qt::CaseSensitive);
    return c;
}

bool TDataSet::Less(int a, int b) const
{
    if (FSortField >= 0) {
        const int column = FColumnOfField[FSortField];
        int c = 0;
        if (column >= 0 && IsTextType(FColumns[column].Type)) {
            c = CompareText(FColumns[column].Text[a], FColumns[column].Text[b]);
        } else if (column >= 0) {
            const TColumn& col = FColumns[column];
            if (col.Nulls[a] != col.Nulls[b])
                c = col.Nulls[a] ? -1 : 1;
            else if (!col.Nulls[a])
                c = col.Ints[a] < col.Ints[b] ? -1 : (col.Ints[a] > col.Ints[b] ? 1 : 0);
        } else {
            c = CompareValues(SortKey(a), SortKey(b));
        }
        if (c != 0)
            return c < 0;
    }
    return a < b; // rows of equal value keep the table's own order
}

void TDataSet::SortOrder()
{
    const int column = FSortField >= 0 ? FColumnOfField[FSortField] : -1;
    if (column < 0 || !IsTextType(FColumns[column].Type)) {
        std::sort(FOrder.begin(), FOrder.end(), [this](int a, int b) { return Less(a, b); });
        return;
    }
    const std::vector<QString>& text = FColumns[column].Text;
    // Names are nearly all different: fold each row's text once and sort by it.
    // Sizes, languages and the like repeat a few texts many times: those are ranked
    // first (equal texts share a rank, only the distinct texts are sorted) and the
    // rows then sort by integer rank. A sample of the rows tells which case this is;
    // both give exactly the order Less() defines.
    QHash<QStringView, int> ids;
    const int sample = std::min(int(FOrder.size()), 2000);
    for (int i = 0; i < sample; ++i)
        ids.insert(QStringView(text[FOrder[i]]), 0);
    if (ids.size() * 2 > sample) {
        std::vector<QString> folded(FRowCount);
        for (int r : FOrder)
            folded[r] = text[r].toCaseFolded();
        std::sort(FOrder.begin(), FOrder.end(), [&](int a, int b) {
            if (text[a].isNull() || text[b].isNull()) {
                if (text[a].isNull() != text[b].isNull())
                    return text[a].isNull();
                return a < b;
            }
            int c = folded[a].compare(folded[b]);
            if (c == 0)
                c = text[a].compare(text[b]);
            return c != 0 ? c < 0 : a < b;
        });
        return;
    }
    ids.clear();
    ids.reserve(int(FOrder.size()));
    std::vector<int> idOfRow(FRowCount, -1);
    std::vector<int> firstRowOfId;
    for (int r : FOrder) {
        if (text[r].isNull())
            continue;
        const auto it = ids.constFind(QStringView(text[r]));
        if (it != ids.constEnd()) {
            idOfRow[r] = *it;
        } else {
            idOfRow[r] = int(firstRowOfId.size());
            ids.insert(QStringView(text[r]), idOfRow[r]);
            firstRowOfId.push_back(r);
        }
    }
    // Folding once per distinct text makes each comparison a plain one.
    std::vector<QString> folded(firstRowOfId.size());
    for (size_t id = 0; id < folded.size(); ++id)
        folded[id] = text[firstRowOfId[id]].toCaseFolded();
    std::vector<int> byText(firstRowOfId.size());
    std::iota(byText.begin(), byText.end(), 0);
    std::sort(byText.begin(), byText.end(), [&](int x, int y) {
        const int c = folded[x].compare(folded[y]);
        if (c != 0)
            return c < 0;
        return text[firstRowOfId[x]].compare(text[firstRowOfId[y]]) < 0;
    });
    std::vector<int> rankOfId(byText.size());
    for (int i = 0; i < int(byText.size()); ++i)
        rankOfId[byText[i]] = i;
    std::vector<int> rank(FRowCount, -1); // null text sorts first
    for (int r : FOrder)
        if (idOfRow[r] >= 0)
            rank[r] = rankOfId[idOfRow[r]];
    std::sort(FOrder.begin(), FOrder.end(), [&rank](int a, int b) {
        return rank[a] != rank[b] ? rank[a] < rank[b] : a < b;
    });
}

bool TDataSet::PassesExpr(int row) const
{
    if (!FFiltered || FFilterExpr.IsEmpty())
        return true;
    using TValue = TFilterExpr::TValue;
    return FFilterExpr.Evaluate([&](int field, QString& holder) {
        TValue value;
        const int column = FColumnOfField[field];
        if (column >= 0) {
            const TColumn& c = FColumns[column];
            if (IsTextType(c.Type)) {
                if (!c.Text[row].isNull())
                    value = {TValue::TKind::Text, 0, c.Text[row]};
            } else if (!c.Nulls[row]) {
                value = {TValue::TKind::Number, double(c.Ints[row]), {}};
            }
            return value;
        }
        const QVariant v = RowValue(row, field);
        if (v.isNull())
            return value;
        if (v.typeId() == QMetaType::QString) {
            holder = v.toString();
            return TValue{TValue::TKind::Text, 0, holder};
        }
        return TValue{TValue::TKind::Number, v.toDouble(), {}};
    });
}

bool TDataSet::PassesRecordFilter(int row) const
{
    if (!FFiltered || !OnFilterRecord)
        return true;
    TRestore<int> restore(FCtxRow);
    FCtxRow = row;
    bool accept = true;
    OnFilterRecord(const_cast<TDataSet&>(*this), accept);
    return accept;
}

void TDataSet::RebuildExprPos()
{
    FExprPos.assign(FRowCount, -1);
    for (int i = 0; i < int(FExpr.size()); ++i)
        FExprPos[FExpr[i]] = i;
}

void TDataSet::RebuildViews(bool resort)
{
    if (resort) {
        FOrder.clear();
        for (int r = 0; r < FRowCount; ++r)
            if (!FDeleted[r])
                FOrder.push_back(r);
        if (FSortField >= 0)
            SortOrder();
    }
    FExpr.clear();
    FVis.clear();
    if (!FFiltered) {
        FExpr = FOrder;
        FVis = FOrder;
        RebuildExprPos();
    } else {
        for (int r : FOrder)
            if (PassesExpr(r))
                FExpr.push_back(r);
        // The record filter may ask for the row's number: positions first.
        RebuildExprPos();
        for (int r : FExpr)
            if (PassesRecordFilter(r))
                FVis.push_back(r);
    }
    ++FVersion;
}

void TDataSet::RemoveRowFromViews(int row)
{
    for (std::vector<int>* list : {&FOrder, &FExpr, &FVis}) {
        const auto it = std::find(list->begin(), list->end(), row);
        if (it != list->end())
            list->erase(it);
    }
}

void TDataSet::PlaceRow(int row)
{
    RemoveRowFromViews(row);
    bool counted = false;
    const auto less = [this](int a, int b) { return Less(a, b); };
    if (!FDeleted[row]) {
        FOrder.insert(std::upper_bound(FOrder.begin(), FOrder.end(), row, less), row);
        counted = PassesExpr(row);
        if (counted)
            FExpr.insert(std::upper_bound(FExpr.begin(), FExpr.end(), row, less), row);
    }
    // The record filter may ask for the row's number: positions first.
    RebuildExprPos();
    if (counted && PassesRecordFilter(row))
        FVis.insert(std::upper_bound(FVis.begin(), FVis.end(), row, less), row);
    ++FVersion;
}

int TDataSet::CurrentRow() const
{
    return FCur >= 0 && FCur < int(FVis.size()) ? FVis[FCur] : -1;
}

void TDataSet::SetCurrentToRow(int row, int fallbackVisIndex)
{
    const auto it = std::find(FVis.begin(), FVis.end(), row);
    if (row >= 0 && it != FVis.end())
        FCur = int(it - FVis.begin());
    else if (FVis.empty())
        FCur = -1;
    else
        FCur = std::clamp(fallbackVisIndex, 0, int(FVis.size()) - 1);
}

void TDataSet::ResetFlags()
{
    FBof = FCur <= 0;
    FEof = FVis.empty();
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
    const TField& f = *FFields[fieldIndex];
    switch (f.FieldKind()) {
    case TFieldKind::fkData:
        return Stored(row, FColumnOfField[fieldIndex]);
    case TFieldKind::fkLookup:
        return LookupValue(f, Stored(row, FColumnOfField[FieldByName(f.Def().KeyFields)->Index()]));
    case TFieldKind::fkCalculated:
        return CalcValue(row, fieldIndex);
    }
    return QVariant();
}

const QString* TDataSet::StoredText(int fieldIndex) const
{
    const int column = FColumnOfField[fieldIndex];
    if (column < 0 || !IsTextType(FColumns[column].Type))
        return nullptr;
    int row = FCtxRow;
    if (row < 0) {
        if (FState != TDataSetState::dsBrowse)
            return nullptr;
        row = CurrentRow();
        if (row < 0)
            return nullptr;
    }
    return &FColumns[column].Text[row];
}

QVariant TDataSet::ActiveValue(int fieldIndex) const
{
    const TField& f = *FFields[fieldIndex];
    if (FInCalc && f.FieldKind() == TFieldKind::fkCalculated)
        return FCalcBuf[fieldIndex];
    const bool pending = FCtxRow < 0 && (FState == TDataSetState::dsEdit ||
                                         FState == TDataSetState::dsInsert);
    if (pending) {
        switch (f.FieldKind()) {
        case TFieldKind::fkData:
            return FBuf[fieldIndex];
        case TFieldKind::fkLookup:
            return LookupValue(f, FBuf[FieldByName(f.Def().KeyFields)->Index()]);
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
    const QVariant v = ref->Lookup(f.Def().LookupKeyFields, key, f.Def().LookupResultField);
    if (v.isNull())
        return QVariant();
    return v.toString().left(f.Size());
}

QVariant TDataSet::Lookup(const QString& keyField, const QVariant& key,
                          const QString& resultField) const
{
    if (!Active() || key.isNull())
        return QVariant();
    if (FLookupVersion != FVersion || FLookupKeyField != keyField ||
        FLookupResultField != resultField) {
        FLookupCache.clear();
        const int kc = FColumnOfField[FieldByName(keyField)->Index()];
        const int rc = FColumnOfField[FieldByName(resultField)->Index()];
        for (int r = FRowCount - 1; r >= 0; --r) // the first row of a key wins
            if (!FDeleted[r] && !Stored(r, kc).isNull())
                FLookupCache.insert(Stored(r, kc).toInt(), Stored(r, rc));
        FLookupVersion = FVersion;
        FLookupKeyField = keyField;
        FLookupResultField = resultField;
    }
    return FLookupCache.value(key.toInt());
}

QVariant TDataSet::Locate(const QString& field, const QString& text,
                          const QString& resultField) const
{
    if (!Active())
        return QVariant();
    const int fc = FColumnOfField[FieldByName(field)->Index()];
    const int rc = FColumnOfField[FieldByName(resultField)->Index()];
    for (int r : FOrder)
        if (Stored(r, fc).toString() == text)
            return Stored(r, rc);
    return QVariant();
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
        throw EDatabaseError(u"Field '"_s + f.FieldName() + u"' cannot be modified"_s);
    if (f.FieldKind() == TFieldKind::fkCalculated)
        throw EDatabaseError(u"Field '"_s + f.FieldName() + u"' is calculated"_s);
    if (f.FieldKind() == TFieldKind::fkLookup) {
        TField* key = FieldByName(f.Def().KeyFields);
        const QString text = value.toString();
        if (text.isEmpty()) {
            SetFieldValue(*key, QVariant());
        } else {
            TDataSet* ref = f.LookupDataSet();
            const QVariant k = ref ? ref->Locate(f.Def().LookupResultField, text,
                                                 f.Def().LookupKeyFields)
                                   : QVariant();
            if (k.isNull())
                throw EDatabaseError(u"'"_s + text + u"' is not in the list of "_s +
                                     f.DisplayLabel());
            SetFieldValue(*key, k);
        }
        NotifyRecordChanged(&f);
        return;
    }
    QVariant v = value;
    if (!v.isNull()) {
        switch (f.DataType()) {
        case TFieldType::ftString:
            v = v.toString().left(f.Size());
            break;
        case TFieldType::ftBoolean:
            v = v.toBool();
            break;
        default:
            v = v.toInt();
            break;
        }
    }
    FBuf[f.Index()] = v;
    FModified = true;
    NotifyRecordChanged(&f);
}

// ---------------------------------------------------------------- moves

bool TDataSet::IsEmpty() const { return FVis.empty() && FState != TDataSetState::dsInsert; }

int TDataSet::RecNo() const
{
    if (FCtxRow >= 0)
        return FExprPos[FCtxRow] < 0 ? -1 : FExprPos[FCtxRow] + 1;
    if (FState == TDataSetState::dsInsert || FState == TDataSetState::dsInactive)
        return -1;
    const int row = CurrentRow();
    return row < 0 || FExprPos[row] < 0 ? -1 : FExprPos[row] + 1;
}

int TDataSet::RecordCount() const
{
    CheckActive();
    return int(FExpr.size());
}

void TDataSet::First()
{
    CheckActive();
    CheckBrowseMode();
    FCur = FVis.empty() ? -1 : 0;
    FBof = true;
    FEof = FVis.empty();
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckActive();
    CheckBrowseMode();
    FCur = int(FVis.size()) - 1;
    FEof = true;
    FBof = FVis.empty();
    NotifyScrolled();
    DoAfterScroll();
}

void TDataSet::Next()
{
    CheckActive();
    CheckBrowseMode();
    if (FEof)
        return;
    if (FCur + 1 < int(FVis.size())) {
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
    FInsertVis = FCur < 0 ? 0 : FCur;
    std::fill(FBuf.begin(), FBuf.end(), QVariant());
    for (const auto& f : FFields)
        if (f->FieldKind() == TFieldKind::fkData && f->DataType() == TFieldType::ftBoolean)
            FBuf[f->Index()] = false;
    FState = TDataSetState::dsInsert;
    FModified = false;
    FBof = FEof = false;
    NotifyStateChanged();
    NotifyDataSetChanged();
    DoAfterScroll();
}

void TDataSet::Append()
{
    CheckActive();
    CheckBrowseMode();
    Insert();
    FInsertVis = int(FVis.size());
    NotifyDataSetChanged();
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
    for (int i = 0; i < FieldCount(); ++i)
        FBuf[i] = FColumnOfField[i] >= 0 ? Stored(FEditRow, FColumnOfField[i]) : QVariant();
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
    if (FState == TDataSetState::dsInsert)
        PostInsert();
    else if (FState == TDataSetState::dsEdit)
        PostEdit();
    else
        return;
    FState = TDataSetState::dsBrowse;
    FModified = false;
    FEditRow = -1;
    ResetFlags();
    NotifyStateChanged();
    NotifyDataSetChanged();
    if (AfterPost)
        AfterPost(*this);
}

void TDataSet::PostInsert()
{
    QStringList names, marks;
    QVector<QVariant> values;
    for (int column = 0; column < int(FColumns.size()); ++column) {
        if (column == FKeyColumn)
            continue;
        const int field = FFieldOfColumn[column];
        names << SqlName(FFields[field]->FieldName());
        marks << u"?"_s;
        QVariant v = FBuf[field];
        if (FColumns[column].Type == TFieldType::ftBoolean)
            v = v.toBool() ? 1 : 0;
        values << v;
    }
    QSqlQuery q(FConnection->Database());
    q.prepare(u"INSERT INTO "_s + SqlName(FTableName) + u" ("_s + names.join(u", "_s) +
              u") VALUES ("_s + marks.join(u", "_s) + u')');
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw EDatabaseError(u"Cannot save the record: "_s + SqlError(q));
    const int key = q.lastInsertId().toInt();

    const int row = AppendRow();
    for (int column = 0; column < int(FColumns.size()); ++column) {
        const int field = FFieldOfColumn[column];
        SetStored(row, column, column == FKeyColumn ? QVariant(key) : FBuf[field]);
    }
    PlaceRow(row);
    SetCurrentToRow(row, FInsertVis);
}

void TDataSet::PostEdit()
{
    const int row = FEditRow;
    QStringList sets, checks;
    QVector<QVariant> setValues, checkValues;
    for (int column = 0; column < int(FColumns.size()); ++column) {
        if (column == FKeyColumn)
            continue;
        const int field = FFieldOfColumn[column];
        const QString name = SqlName(FFields[field]->FieldName());
        QVariant now = FBuf[field], before = Stored(row, column);
        if (FColumns[column].Type == TFieldType::ftBoolean) {
            now = now.isNull() ? QVariant() : QVariant(now.toBool() ? 1 : 0);
            before = before.isNull() ? QVariant() : QVariant(before.toBool() ? 1 : 0);
        }
        // Optimistic locking: the row is only written if it still holds what we read.
        checks << name + u" IS ?"_s;
        checkValues << before;
        if (now != before || now.isNull() != before.isNull()) {
            sets << name + u" = ?"_s;
            setValues << now;
        }
    }
    const QVariant key = Stored(row, FKeyColumn);
    if (!sets.isEmpty()) {
        QSqlQuery q(FConnection->Database());
        q.prepare(u"UPDATE "_s + SqlName(FTableName) + u" SET "_s + sets.join(u", "_s) +
                  u" WHERE "_s + SqlName(FTableDef->KeyColumn) + u" = ? AND "_s +
                  checks.join(u" AND "_s));
        for (const QVariant& v : setValues)
            q.addBindValue(v);
        q.addBindValue(key);
        for (const QVariant& v : checkValues)
            q.addBindValue(v);
        if (!q.exec())
            throw EDatabaseError(u"Cannot save the record: "_s + SqlError(q));
        if (q.numRowsAffected() == 0) {
            QSqlQuery exists(FConnection->Database());
            exists.prepare(u"SELECT 1 FROM "_s + SqlName(FTableName) + u" WHERE "_s +
                           SqlName(FTableDef->KeyColumn) + u" = ?"_s);
            exists.addBindValue(key);
            const bool stillThere = exists.exec() && exists.next();
            throw EDatabaseError(
                stillThere ? u"Cannot save the record: another user changed it after it was "_s
                             u"read. Cancel your change and refresh to see theirs"_s
                           : u"Cannot save the record: another user deleted it after it was "_s
                             u"read"_s);
        }
    }
    const int current = FCur;
    for (int column = 0; column < int(FColumns.size()); ++column)
        if (column != FKeyColumn)
            SetStored(row, column, FBuf[FFieldOfColumn[column]]);
    PlaceRow(row);
    SetCurrentToRow(row, current);
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
    if (wasInsert && FCur >= int(FVis.size()))
        FCur = int(FVis.size()) - 1;
    ResetFlags();
    NotifyStateChanged();
    NotifyDataSetChanged();
    if (wasInsert)
        DoAfterScroll();
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

    QStringList checks;
    QVector<QVariant> checkValues;
    for (int column = 0; column < int(FColumns.size()); ++column) {
        if (column == FKeyColumn)
            continue;
        checks << SqlName(FFields[FFieldOfColumn[column]]->FieldName()) + u" IS ?"_s;
        QVariant v = Stored(row, column);
        if (FColumns[column].Type == TFieldType::ftBoolean && !v.isNull())
            v = v.toBool() ? 1 : 0;
        checkValues << v;
    }
    const QVariant key = Stored(row, FKeyColumn);
    QSqlQuery q(FConnection->Database());
    q.prepare(u"DELETE FROM "_s + SqlName(FTableName) + u" WHERE "_s +
              SqlName(FTableDef->KeyColumn) + u" = ? AND "_s + checks.join(u" AND "_s));
    q.addBindValue(key);
    for (const QVariant& v : checkValues)
        q.addBindValue(v);
    if (!q.exec())
        throw EDatabaseError(u"Cannot delete the record: "_s + SqlError(q));
    if (q.numRowsAffected() == 0) {
        QSqlQuery exists(FConnection->Database());
        exists.prepare(u"SELECT 1 FROM "_s + SqlName(FTableName) + u" WHERE "_s +
                       SqlName(FTableDef->KeyColumn) + u" = ?"_s);
        exists.addBindValue(key);
        if (exists.exec() && exists.next())
            throw EDatabaseError(u"Cannot delete the record: another user changed it after it "_s
                                 u"was read. Refresh to see the change"_s);
        // Already deleted elsewhere: what the user asked for is done.
    }
    const int current = FCur;
    FDeleted[row] = 1;
    PlaceRow(row);
    SetCurrentToRow(-1, current);
    ResetFlags();
    NotifyDataSetChanged();
    DoAfterScroll();
}

void TDataSet::Refresh()
{
    CheckActive();
    CheckBrowseMode();
    const int row = CurrentRow();
    const QVariant key = row >= 0 ? Stored(row, FKeyColumn) : QVariant();
    const int current = FCur;
    Load();
    RebuildViews(true);
    int found = -1;
    if (!key.isNull())
        for (int r = 0; r < FRowCount && found < 0; ++r)
            if (Stored(r, FKeyColumn) == key)
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
    FSortField = field;
    if (!Active())
        return;
    const int row = CurrentRow();
    RebuildViews(true);
    SetCurrentToRow(row, 0);
    ResetFlags();
    NotifyDataSetChanged();
}

void TDataSet::SetFilter(const QString& expression)
{
    TFilterExpr parsed = TFilterExpr::Parse(expression, [this](const QString& name) {
        const TField* f = FindField(name);
        return f ? f->Index() : -1;
    });
    if (Active() && FFiltered)
        CheckBrowseMode();
    FFilterText = expression;
    FFilterExpr = std::move(parsed);
    if (Active() && FFiltered) {
        RebuildViews(false);
        First();
        NotifyDataSetChanged();
    }
}

void TDataSet::SetFiltered(bool on)
{
    if (FFiltered == on)
        return;
    if (Active())
        CheckBrowseMode();
    FFiltered = on;
    if (Active()) {
        RebuildViews(false);
        First();
        NotifyDataSetChanged();
    }
}

// ---------------------------------------------------------------- grid view

int TDataSet::ViewRowCount() const
{
    return int(FVis.size()) + (FState == TDataSetState::dsInsert ? 1 : 0);
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
    if (viewRow < 0 || viewRow >= int(FVis.size()))
        return QVariant();
    const int row = FVis[viewRow];
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
        ViewRowCount() < int(FVis.size()) + 1)
        --viewRow;
    if (FVis.empty())
        return;
    FCur = std::clamp(viewRow, 0, int(FVis.size()) - 1);
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

void TDataSet::NotifyDataSetChanged()
{
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.DataSetChanged(); });
}

void TDataSet::NotifyScrolled()
{
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.DataSetScrolled(); });
}

void TDataSet::NotifyRecordChanged(TField* field)
{
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([field](TDataLink& l) { l.RecordChanged(field); });
}

void TDataSet::NotifyStateChanged()
{
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.EditingChanged(); });
}

void TDataSet::NotifyActiveChanged()
{
    for (TDataSource* ds : std::vector<TDataSource*>(FDataSources))
        ds->ForEachLink([](TDataLink& l) { l.ActiveChanged(); });
}
