#include "store/rowstore.h"

#include "store/casefold.h"

#include <algorithm>
#include <limits>
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
        c.Text.Clear();
        c.Ints.clear();
        c.Nulls.clear();
        c.Ints.shrink_to_fit();
        c.Nulls.shrink_to_fit();
    }
    FDeleted.clear();
    FOrder.clear();
    FCounted.clear();
    FVis.clear();
    FCountedPos.clear();
    FCountedPosComplete = true;
    FPlaced.clear();
    FMoved.clear();
    FFolded.clear();
    FSortCache = {};
    FRowCount = 0;
    ++FVersion;
    ++FDataVersion;
}

void TRowStore::Reserve(int rows)
{
    for (int f : FTextFields)
        FColumns[f].Text.Reserve(rows);
    for (int f : FNumberFields) {
        FColumns[f].Ints.reserve(size_t(rows));
        FColumns[f].Nulls.reserve(size_t(rows));
    }
    FDeleted.reserve(size_t(rows));
    FCountedPos.reserve(size_t(rows));
    FPlaced.reserve(size_t(rows));
}

int TRowStore::AppendRow()
{
    for (int f : FTextFields)
        FColumns[f].Text.AppendNull();
    for (int f : FNumberFields) {
        FColumns[f].Ints.push_back(0);
        FColumns[f].Nulls.push_back(1);
    }
    FDeleted.push_back(0);
    FCountedPos.push_back(-1);
    FPlaced.push_back(0);
    for (const std::unique_ptr<TFoldedColumn>& f : FFolded)
        if (f)
            f->Span.emplace_back(0, 0);
    ++FDataVersion;
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
        QString text = v.isNull() ? QString() : v.toString();
        // An empty text is a value, not a null: keep it apart.
        if (!v.isNull() && text.isNull())
            text = u""_s;
        c.Text.Set(row, std::move(text));
        Changed(row, field);
        return;
    }
    c.Nulls[row] = v.isNull();
    c.Ints[row] = v.isNull() ? 0 : v.toInt();
    Changed(row, field);
}

// ---------------------------------------------------------------- folded text

const TRowStore::TFoldedColumn& TRowStore::Folded(int field) const
{
    if (field >= int(FFolded.size()))
        FFolded.resize(FFields.size());
    if (!FFolded[field]) {
        auto folded = std::make_unique<TFoldedColumn>();
        const TTextColumn& text = FColumns[field].Text;
        size_t chars = 0;
        for (int r = 0; r < text.size(); ++r)
            chars += size_t(text[r].size());
        folded->Pool.reserve(chars);
        folded->Span.reserve(size_t(text.size()));
        for (int r = 0; r < text.size(); ++r) {
            const QString& t = text[r];
            const size_t start = folded->Pool.size();
            CaseFold::Append(t, folded->Pool);
            folded->Span.emplace_back(quint32(start), quint32(t.size()));
        }
        FFolded[field] = std::move(folded);
    }
    return *FFolded[field];
}

void TRowStore::Refold(int row, int field) const
{
    TFoldedColumn& f = *FFolded[field];
    const QString& t = FColumns[field].Text[row];
    // A changed row's old text stays in the pool; should the pool ever outgrow its
    // 32-bit spans, the column is folded again from scratch on next use.
    if (f.Pool.size() + size_t(t.size()) >= std::numeric_limits<quint32>::max()) {
        FFolded[field].reset();
        return;
    }
    const size_t start = f.Pool.size();
    CaseFold::Append(t, f.Pool);
    f.Span[row] = {quint32(start), quint32(t.size())};
}

QStringView TRowStore::FoldedText(int row, int field) const
{
    const TFoldedColumn& f = Folded(field);
    const auto [start, size] = f.Span[row];
    return QStringView(f.Pool.data() + start, qsizetype(size));
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
            // As CompareText, over the folded column.
            const QString& x = FColumns[FSortField].Text[a];
            const QString& y = FColumns[FSortField].Text[b];
            if (x.isNull() || y.isNull()) {
                c = x.isNull() == y.isNull() ? 0 : (x.isNull() ? -1 : 1);
            } else {
                c = FoldedText(a, FSortField).compare(FoldedText(b, FSortField));
                if (c == 0)
                    c = x.compare(y);
            }
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
    // Sorting by a text field again, with nothing changed since, takes the last order.
    if (FSortCache.Field == FSortField && FSortCache.DataVersion == FDataVersion &&
        FSortCache.Order.size() == FOrder.size()) {
        FOrder = FSortCache.Order;
        return;
    }
    SortByText();
    FSortCache.Field = FSortField;
    FSortCache.DataVersion = FDataVersion;
    FSortCache.Order = FOrder;
}

void TRowStore::SortByFoldedText()
{
    const TTextColumn& text = FColumns[FSortField].Text;
    const TFoldedColumn& folded = Folded(FSortField);
    // Each row carries the first eight folded characters packed into two integers, so
    // most comparisons never read the text.
    struct TKey {
        quint64 Head[2];
        int Row;
    };
    std::vector<int> nulls;
    std::vector<TKey> keys;
    keys.reserve(FOrder.size());
    for (int r : FOrder) {
        if (text[r].isNull()) {
            nulls.push_back(r);
            continue;
        }
        TKey k{{0, 0}, r};
        const auto [start, size] = folded.Span[r];
        const char16_t* p = folded.Pool.data() + start;
        for (quint32 i = 0; i < 8 && i < size; ++i)
            k.Head[i / 4] |= quint64(p[i]) << (48 - 16 * (i % 4));
        keys.push_back(k);
    }
    const auto view = [&folded](int r) {
        const auto [start, size] = folded.Span[r];
        return QStringView(folded.Pool.data() + start, qsizetype(size));
    };
    std::sort(keys.begin(), keys.end(), [&](const TKey& x, const TKey& y) {
        if (x.Head[0] != y.Head[0])
            return x.Head[0] < y.Head[0];
        if (x.Head[1] != y.Head[1])
            return x.Head[1] < y.Head[1];
        int c = view(x.Row).compare(view(y.Row));
        if (c == 0)
            c = text[x.Row].compare(text[y.Row]);
        return c != 0 ? c < 0 : x.Row < y.Row;
    });
    // Null text first, in the table's own order, as Less() has it.
    FOrder = std::move(nulls);
    FOrder.reserve(FOrder.size() + keys.size());
    for (const TKey& k : keys)
        FOrder.push_back(k.Row);
}

void TRowStore::SortByText()
{
    const TTextColumn& text = FColumns[FSortField].Text;
    // Names are nearly all different: they sort by their folded column. Sizes,
    // languages and the like repeat a few texts many times: those are ranked first
    // (equal texts share a rank, only the distinct texts are sorted) and the rows then
    // sort by integer rank. A sample of the rows tells which case this is; both give
    // exactly the order Less() defines.
    QHash<QStringView, int> ids;
    const int sample = std::min(int(FOrder.size()), 2000);
    for (int i = 0; i < sample; ++i)
        ids.insert(QStringView(text[FOrder[i]]), 0);
    if (ids.size() * 2 > sample) {
        SortByFoldedText();
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
        folded[id] = CaseFold::Folded(text[firstRowOfId[id]]);
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
                // Folded once per change of the rows, not once per comparison.
                if (!c.Text[row].isNull())
                    value = {TValue::TKind::Text, 0, FoldedText(row, field), true};
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
    const std::vector<int>& counted = Counted();
    for (int i = 0; i < int(counted.size()); ++i)
        FCountedPos[counted[i]] = i;
    FCountedPosComplete = true;
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
        FPlaced.assign(FRowCount, 0);
        for (int r : FOrder)
            FPlaced[r] = 1;
        FMoved.clear();
        FOrderStale = false;
    }
    FCounted.clear();
    FVis.clear();
    FViewsFiltered = FFiltered;
    if (!FFiltered) {
        FCounted.shrink_to_fit();
        FVis.shrink_to_fit();
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

bool TRowStore::OrderTrusted() const
{
    return FMoved.empty() && !FOrderStale && (FSortField < 0 || IsStored(FSortField));
}

int TRowStore::IndexIn(const std::vector<int>& list, int row) const
{
    if (OrderTrusted()) {
        const auto it = std::lower_bound(list.begin(), list.end(), row,
                                         [this](int a, int b) { return Less(a, b); });
        return it != list.end() && *it == row ? int(it - list.begin()) : -1;
    }
    // A sort value changed after its row was placed, or the order reads values computed
    // elsewhere: the lists may not be sorted as Less() says today.
    const auto it = std::find(list.begin(), list.end(), row);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TRowStore::RemoveFromViews(int row)
{
    if (!FPlaced[row])
        return; // new: in no list yet
    // The row itself may hold a new sort value already; a binary search by it finds
    // the row when the value kept its place, and a plain search does otherwise.
    const bool othersSorted =
        !FOrderStale && (FSortField < 0 || IsStored(FSortField)) &&
        std::all_of(FMoved.begin(), FMoved.end(), [row](int r) { return r == row; });
    const auto remove = [&](std::vector<int>& list) {
        auto it = list.end();
        if (othersSorted) {
            it = std::lower_bound(list.begin(), list.end(), row,
                                  [this](int a, int b) { return Less(a, b); });
            if (it != list.end() && *it != row)
                it = list.end();
        }
        if (it == list.end())
            it = std::find(list.begin(), list.end(), row);
        if (it == list.end())
            return false;
        // Rows after it move up one place: their known positions are out of date.
        const bool last = it + 1 == list.end();
        list.erase(it);
        return !last;
    };
    const bool inside = remove(FOrder);
    if (FViewsFiltered) {
        if (remove(FCounted))
            FCountedPosComplete = false;
        remove(FVis);
    } else if (inside) {
        FCountedPosComplete = false;
    }
    FCountedPos[row] = -1;
    FPlaced[row] = 0;
}

void TRowStore::Place(int row)
{
    RemoveFromViews(row);
    FMoved.erase(std::remove(FMoved.begin(), FMoved.end(), row), FMoved.end());
    const auto less = [this](int a, int b) { return Less(a, b); };
    // A new row of the table's own order goes to the end: no search.
    const auto insert = [&](std::vector<int>& list) {
        const auto it = list.empty() || Less(list.back(), row)
                            ? list.end()
                            : std::upper_bound(list.begin(), list.end(), row, less);
        return int(list.insert(it, row) - list.begin());
    };
    if (FDeleted[row]) {
        ++FVersion;
        return;
    }
    const int atOrder = insert(FOrder);
    FPlaced[row] = 1;
    if (FViewsFiltered != FFiltered) {
        Rebuild(false); // the filter switch changed since the views were built
        return;
    }
    if (!FViewsFiltered) {
        if (atOrder != int(FOrder.size()) - 1)
            FCountedPosComplete = false;
        FCountedPos[row] = atOrder;
        ++FVersion;
        return;
    }
    if (PassesExpr(row)) {
        const int at = insert(FCounted);
        if (at != int(FCounted.size()) - 1)
            FCountedPosComplete = false;
        // The record filter may ask for the row's number: its position first.
        FCountedPos[row] = at;
        if (PassesRecordFilter(row))
            insert(FVis);
    }
    ++FVersion;
}

int TRowStore::CountedPos(int row) const
{
    if (row < 0)
        return -1;
    const std::vector<int>& counted = Counted();
    const int known = FCountedPos[row];
    if (known >= 0 && known < int(counted.size()) && counted[known] == row)
        return known;
    if (FCountedPosComplete)
        return -1;
    const int at = IndexIn(counted, row);
    FCountedPos[row] = at;
    return at;
}

int TRowStore::VisibleIndexOf(int row) const
{
    if (row < 0)
        return -1;
    if (!FViewsFiltered)
        return CountedPos(row);
    return IndexIn(FVis, row);
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
