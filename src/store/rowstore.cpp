#include "store/rowstore.h"

#include <algorithm>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

TRowStore::TRowStore(std::vector<TFieldSlot> fields)
    : FFields(std::move(fields)), FColumns(FFields.size())
{
    for (int f = 0; f < int(FFields.size()); ++f)
        if (FFields[f].Stored)
            (IsText(f) ? FTextFields : FNumberFields).push_back(f);
}

// ---------------------------------------------------------------- rows

void TRowStore::Clear()
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
    FCounted.clear();
    FVis.clear();
    FCountedPos.clear();
    FRowCount = 0;
    ++FVersion;
}

int TRowStore::AppendRow()
{
    for (int f : FTextFields)
        FColumns[f].Text.emplace_back();
    for (int f : FNumberFields) {
        FColumns[f].Ints.push_back(0);
        FColumns[f].Nulls.push_back(1);
    }
    FDeleted.push_back(0);
    FCountedPos.push_back(-1);
    return FRowCount++;
}

QVariant TRowStore::Value(int row, int field) const
{
    const TColumn& c = FColumns[field];
    if (IsText(field)) {
        const QString& s = c.Text[row];
        return s.isNull() ? QVariant() : QVariant(s);
    }
    if (c.Nulls[row])
        return QVariant();
    if (FFields[field].Type == TFieldType::ftBoolean)
        return QVariant(c.Ints[row] != 0);
    return QVariant(c.Ints[row]);
}

void TRowStore::SetValue(int row, int field, const QVariant& v)
{
    TColumn& c = FColumns[field];
    if (IsText(field)) {
        c.Text[row] = v.isNull() ? QString() : v.toString();
        // An empty text is a value, not a null: keep it apart.
        if (!v.isNull() && c.Text[row].isNull())
            c.Text[row] = u""_s;
        return;
    }
    c.Nulls[row] = v.isNull();
    c.Ints[row] = v.isNull() ? 0 : v.toInt();
}

// ---------------------------------------------------------------- order

QVariant TRowStore::SortKey(int row) const
{
    if (FSortField < 0)
        return QVariant();
    if (IsStored(FSortField))
        return Value(row, FSortField);
    return FComputed ? FComputed(row, FSortField) : QVariant();
}

int TRowStore::CompareValues(const QVariant& a, const QVariant& b)
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

int TRowStore::CompareText(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    int c = a.compare(b, Qt::CaseInsensitive);
    if (c == 0)
        c = a.compare(b, Qt::CaseSensitive);
    return c;
}

bool TRowStore::Less(int a, int b) const
{
    if (FSortField >= 0) {
        int c = 0;
        if (IsStored(FSortField) && IsText(FSortField)) {
            c = CompareText(FColumns[FSortField].Text[a], FColumns[FSortField].Text[b]);
        } else if (IsStored(FSortField)) {
            const TColumn& col = FColumns[FSortField];
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

void TRowStore::SortOrder()
{
    if (FSortField < 0 || !IsStored(FSortField) || !IsText(FSortField)) {
        std::sort(FOrder.begin(), FOrder.end(), [this](int a, int b) { return Less(a, b); });
        return;
    }
    const std::vector<QString>& text = FColumns[FSortField].Text;
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
    std::sort(FOrder.begin(), FOrder.end(),
              [&rank](int a, int b) { return rank[a] != rank[b] ? rank[a] < rank[b] : a < b; });
}

// ---------------------------------------------------------------- filters and views

bool TRowStore::PassesExpr(int row) const
{
    if (!FFiltered || FExpr.IsEmpty())
        return true;
    using TValue = TFilterExpr::TValue;
    return FExpr.Evaluate([&](int field, QString& holder) {
        TValue value;
        if (IsStored(field)) {
            const TColumn& c = FColumns[field];
            if (IsText(field)) {
                if (!c.Text[row].isNull())
                    value = {TValue::TKind::Text, 0, c.Text[row]};
            } else if (!c.Nulls[row]) {
                value = {TValue::TKind::Number, double(c.Ints[row]), {}};
            }
            return value;
        }
        const QVariant v = FComputed ? FComputed(row, field) : QVariant();
        if (v.isNull())
            return value;
        if (v.typeId() == QMetaType::QString) {
            holder = v.toString();
            return TValue{TValue::TKind::Text, 0, holder};
        }
        return TValue{TValue::TKind::Number, v.toDouble(), {}};
    });
}

bool TRowStore::PassesRecordFilter(int row) const
{
    return !FFiltered || !FRecordFilter || FRecordFilter(row);
}

void TRowStore::RebuildCountedPos()
{
    FCountedPos.assign(FRowCount, -1);
    for (int i = 0; i < int(FCounted.size()); ++i)
        FCountedPos[FCounted[i]] = i;
}

void TRowStore::Rebuild(bool resort)
{
    if (resort) {
        FOrder.clear();
        for (int r = 0; r < FRowCount; ++r)
            if (!FDeleted[r])
                FOrder.push_back(r);
        if (FSortField >= 0)
            SortOrder();
    }
    FCounted.clear();
    FVis.clear();
    if (!FFiltered) {
        FCounted = FOrder;
        FVis = FOrder;
        RebuildCountedPos();
    } else {
        for (int r : FOrder)
            if (PassesExpr(r))
                FCounted.push_back(r);
        // The record filter may ask for the row's number: positions first.
        RebuildCountedPos();
        for (int r : FCounted)
            if (PassesRecordFilter(r))
                FVis.push_back(r);
    }
    ++FVersion;
}

void TRowStore::RemoveFromViews(int row)
{
    for (std::vector<int>* list : {&FOrder, &FCounted, &FVis}) {
        const auto it = std::find(list->begin(), list->end(), row);
        if (it != list->end())
            list->erase(it);
    }
}

void TRowStore::Place(int row)
{
    RemoveFromViews(row);
    bool counted = false;
    const auto less = [this](int a, int b) { return Less(a, b); };
    if (!FDeleted[row]) {
        FOrder.insert(std::upper_bound(FOrder.begin(), FOrder.end(), row, less), row);
        counted = PassesExpr(row);
        if (counted)
            FCounted.insert(std::upper_bound(FCounted.begin(), FCounted.end(), row, less), row);
    }
    // The record filter may ask for the row's number: positions first.
    RebuildCountedPos();
    if (counted && PassesRecordFilter(row))
        FVis.insert(std::upper_bound(FVis.begin(), FVis.end(), row, less), row);
    ++FVersion;
}

int TRowStore::VisibleIndexOf(int row) const
{
    if (row < 0)
        return -1;
    const auto it = std::find(FVis.begin(), FVis.end(), row);
    return it == FVis.end() ? -1 : int(it - FVis.begin());
}

// ---------------------------------------------------------------- queries

QVariant TRowStore::Lookup(int keyField, int key, int resultField) const
{
    if (FLookupVersion != FVersion || FLookupKeyField != keyField ||
        FLookupResultField != resultField) {
        FLookupCache.clear();
        for (int r = FRowCount - 1; r >= 0; --r) { // the first row of a key wins
            const QVariant k = Value(r, keyField);
            if (!FDeleted[r] && !k.isNull())
                FLookupCache.insert(k.toInt(), Value(r, resultField));
        }
        FLookupVersion = FVersion;
        FLookupKeyField = keyField;
        FLookupResultField = resultField;
    }
    return FLookupCache.value(key);
}

QVariant TRowStore::Locate(int field, const QString& text, int resultField) const
{
    for (int r : FOrder)
        if (Value(r, field).toString() == text)
            return Value(r, resultField);
    return QVariant();
}
