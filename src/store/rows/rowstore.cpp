#include "store/rows/rowstore.h"

#include "store/rows/casefold.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

// Four characters of a folded text from FROM on, the first in the highest bits, those
// past its end as 0: two texts whose heads differ compare as their heads do.
quint64 HeadAt(const char16_t* text, quint32 size, quint32 from)
{
    quint64 head = 0;
    for (quint32 i = from; i < from + 4; ++i)
        head = (head << 16) | (i < size ? quint64(text[i]) : 0);
    return head;
}

// The rows of LIST, in its order, that PASSES accepts. When the list holds most of the
// table they are asked in storage order, which reads the columns front to back instead
// of all over memory.
template <class Passes>
std::vector<int> Selected(const std::vector<int>& list, int rowCount, Passes passes)
{
    std::vector<int> selected;
    if (list.size() < size_t(rowCount) / 8) {
        for (int r : list)
            if (passes(r))
                selected.push_back(r);
        return selected;
    }
    std::vector<char> keep(static_cast<size_t>(rowCount));
    for (int r : list)
        keep[size_t(r)] = 1;
    for (int r = 0; r < rowCount; ++r)
        if (keep[size_t(r)])
            keep[size_t(r)] = passes(r);
    for (int r : list)
        if (keep[size_t(r)])
            selected.push_back(r);
    return selected;
}

// The keys of a sort by name: at a million rows some forty megabytes, written once
// and then read all over by the sort. Asked for huge pages, they cost the kernel one
// fault per 2 MB instead of one per 4 kB, which on a virtual machine is most of the
// time a sort by name takes, from 50,000 rows on. Arrays smaller than one huge page
// are allocated as usual.
template <typename T> struct TSortKeyAllocator {
    using value_type = T;
    static constexpr size_t HugePage = size_t(2) << 20;
    TSortKeyAllocator() = default;
    template <typename U> TSortKeyAllocator(const TSortKeyAllocator<U>&) noexcept {}
    static size_t Rounded(size_t bytes) { return (bytes + HugePage - 1) / HugePage * HugePage; }
    T* allocate(size_t n)
    {
        const size_t bytes = n * sizeof(T);
        if (bytes < HugePage)
            return static_cast<T*>(::operator new(bytes));
        void* block = std::aligned_alloc(HugePage, Rounded(bytes));
        if (!block)
            throw std::bad_alloc();
        madvise(block, Rounded(bytes), MADV_HUGEPAGE);
        return static_cast<T*>(block);
    }
    void deallocate(T* p, size_t n)
    {
        if (n * sizeof(T) < HugePage)
            ::operator delete(p);
        else
            std::free(p);
    }
    template <typename U> bool operator==(const TSortKeyAllocator<U>&) const { return true; }
};

} // namespace

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
        if (f) {
            f->Span.emplace_back(0, 0);
            f->Head.push_back(0);
        }
    ++FDataVersion;
    return FRowCount++;
}

void TRowStore::Adopt(int rows, std::vector<TColumn> columns)
{
    Clear();
    columns.resize(FFields.size());
    FColumns = std::move(columns);
    const size_t room = size_t(RoomFor(rows));
    FDeleted.reserve(room);
    FCountedPos.reserve(room);
    FPlaced.reserve(room);
    FDeleted.assign(size_t(rows), 0);
    FCountedPos.assign(size_t(rows), -1);
    FPlaced.assign(size_t(rows), 0);
    FRowCount = rows;
}

QVariant TRowStore::Value(int row, int field) const
{
    const TColumn& c = FColumns[field];
    if (IsText(field)) {
        return c.Text.IsNull(row) ? QVariant() : QVariant(c.Text[row]);
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
        // Room for the UTF-8 bytes, which are at least as many as the characters: the
        // column is read once.
        folded->Pool.resize(text.BytesBound());
        folded->Span.reserve(size_t(text.size()));
        folded->Head.reserve(size_t(text.size()));
        char16_t* const pool = folded->Pool.data();
        char16_t* at = pool;
        for (int r = 0; r < text.size(); ++r) {
            char16_t* const start = at;
            at = CaseFold::WriteUtf8(text.Utf8(r), at);
            const auto size = quint32(at - start);
            folded->Span.emplace_back(quint32(start - pool), size);
            folded->Head.push_back(HeadAt(start, size, 0));
        }
        Q_ASSERT(size_t(at - pool) <= folded->Pool.size());
        folded->Pool.resize(size_t(at - pool));
        FFolded[field] = std::move(folded);
    }
    return *FFolded[field];
}

void TRowStore::Refold(int row, int field) const
{
    TFoldedColumn& f = *FFolded[field];
    const QString t = FColumns[field].Text[row];
    // A changed row's old text stays in the pool; should the pool ever outgrow its
    // 32-bit spans, the column is folded again from scratch on next use.
    if (f.Pool.size() + size_t(t.size()) >= std::numeric_limits<quint32>::max()) {
        FFolded[field].reset();
        return;
    }
    const size_t start = f.Pool.size();
    f.Pool.resize(start + size_t(t.size()));
    CaseFold::Write(t, f.Pool.data() + start);
    f.Span[row] = {quint32(start), quint32(t.size())};
    f.Head[row] = HeadAt(f.Pool.data() + start, quint32(t.size()), 0);
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
            const TTextColumn& text = FColumns[FSortField].Text;
            const bool xNull = text.IsNull(a), yNull = text.IsNull(b);
            if (xNull || yNull) {
                c = xNull == yNull ? 0 : (xNull ? -1 : 1);
            } else {
                c = FoldedText(a, FSortField).compare(FoldedText(b, FSortField));
                if (c == 0)
                    c = text[a].compare(text[b]);
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
    // The rows are sorted by sixteen folded characters at a time: by the first sixteen,
    // then each run of rows that share them by the next sixteen, and so on, so that a
    // row's text is read once per sixteen characters rather than at every comparison
    // of a plain sort, most of whose comparisons in a large table read far-apart
    // memory. REST is how many characters are left from those in the key on, Width + 1
    // standing for more: a text that ends inside the key sorts before a longer one with
    // the same characters, and two that end alike are equal when folded.
    constexpr int Parts = 4;
    constexpr quint32 Width = 4 * Parts, More = Width + 1;
    struct TKey {
        quint64 Part[Parts];
        quint32 Row;
        quint32 Rest;
    };
    const auto byKey = [](const TKey& x, const TKey& y) {
        for (int i = 0; i < Parts; ++i)
            if (x.Part[i] != y.Part[i])
                return x.Part[i] < y.Part[i];
        return x.Rest < y.Rest;
    };
    const auto sameKey = [](const TKey& x, const TKey& y) {
        for (int i = 0; i < Parts; ++i)
            if (x.Part[i] != y.Part[i])
                return false;
        return x.Rest == y.Rest;
    };
    const auto fill = [&folded](TKey& k, quint32 at) {
        const auto [start, size] = folded.Span[k.Row];
        const char16_t* p = folded.Pool.data() + start;
        for (int i = 0; i < Parts; ++i)
            k.Part[i] = HeadAt(p, size, at + quint32(4 * i));
        k.Rest = size - at < More ? size - at : More;
    };
    std::vector<int> nulls;
    std::vector<TKey, TSortKeyAllocator<TKey>> keys;
    keys.reserve(FOrder.size());
    // The table's own order reads the folded column front to back.
    for (int r : FOrder) {
        if (text.IsNull(r)) {
            nulls.push_back(r);
            continue;
        }
        keys.emplace_back();
        keys.back().Row = quint32(r);
        fill(keys.back(), 0);
    }
    std::sort(keys.begin(), keys.end(), byKey);
    // Runs still to be told apart, with the offset of the characters their keys hold.
    struct TRun {
        size_t First, Last;
        quint32 At;
    };
    std::vector<TRun> runs;
    const auto queueRuns = [&](size_t first, size_t last, quint32 at) {
        for (size_t a = first; a < last;) {
            size_t b = a + 1;
            while (b < last && sameKey(keys[b], keys[a]))
                ++b;
            if (b - a > 1)
                runs.push_back({a, b, at});
            a = b;
        }
    };
    queueRuns(0, keys.size(), 0);
    while (!runs.empty()) {
        const TRun run = runs.back();
        runs.pop_back();
        const auto first = keys.begin() + qsizetype(run.First);
        const auto last = keys.begin() + qsizetype(run.Last);
        if (first->Rest <= Width) {
            // Equal when folded: by case, then in the table's own order, as Less() has it.
            // Equal bytes are equal texts (see textcolumn.h).
            const QUtf8StringView one = text.Utf8(int(first->Row));
            if (std::all_of(first, last, [&](const TKey& k) {
                    return QByteArrayView(text.Utf8(int(k.Row))) == QByteArrayView(one);
                }))
                std::sort(first, last, [](const TKey& x, const TKey& y) { return x.Row < y.Row; });
            else
                std::sort(first, last, [&text](const TKey& x, const TKey& y) {
                    const int c = text[int(x.Row)].compare(text[int(y.Row)]);
                    return c != 0 ? c < 0 : x.Row < y.Row;
                });
            continue;
        }
        const quint32 at = run.At + Width;
        for (auto k = first; k != last; ++k)
            fill(*k, at);
        std::sort(first, last, byKey);
        queueRuns(run.First, run.Last, at);
    }
    // Null text first, in the table's own order, as Less() has it.
    FOrder = std::move(nulls);
    FOrder.reserve(FOrder.size() + keys.size());
    for (const TKey& k : keys)
        FOrder.push_back(int(k.Row));
}

void TRowStore::SortByText()
{
    const TTextColumn& text = FColumns[FSortField].Text;
    // Names are nearly all different: they sort by their folded column. Sizes,
    // languages and the like repeat a few texts many times: those are ranked first
    // (equal texts share a rank, only the distinct texts are sorted) and the rows then
    // sort by integer rank. A sample of the rows tells which case this is; both give
    // exactly the order Less() defines.
    // Equal bytes are equal texts (see textcolumn.h).
    const auto bytes = [&text](int row) { return QByteArrayView(text.Utf8(row)); };
    QHash<QByteArrayView, int> ids;
    const int sample = std::min(int(FOrder.size()), 2000);
    for (int i = 0; i < sample; ++i)
        ids.insert(bytes(FOrder[i]), 0);
    if (ids.size() * 2 > sample) {
        SortByFoldedText();
        return;
    }
    ids.clear();
    ids.reserve(int(FOrder.size()));
    std::vector<int> idOfRow(FRowCount, -1);
    std::vector<int> firstRowOfId;
    for (int r : FOrder) {
        if (text.IsNull(r))
            continue;
        const auto it = ids.constFind(bytes(r));
        if (it != ids.constEnd()) {
            idOfRow[r] = *it;
        } else {
            idOfRow[r] = int(firstRowOfId.size());
            ids.insert(bytes(r), idOfRow[r]);
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
                if (!c.Text.IsNull(row))
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

TRowStore::TTextCompare TRowStore::TextCompare() const
{
    TTextCompare test;
    TFilterExpr::TSingleCompare compare;
    if (!FExpr.IsSingleCompare(compare) || !IsStored(compare.Field) || !IsText(compare.Field))
        return test;
    test.Field = compare.Field;
    test.Compare = std::move(compare);
    const QString& literal = test.Compare.LiteralFolded;
    test.LiteralHead =
        HeadAt(reinterpret_cast<const char16_t*>(literal.utf16()), quint32(literal.size()), 0);
    test.Text = &FColumns[test.Field].Text;
    test.Folded = &Folded(test.Field);
    return test;
}

bool TRowStore::TTextCompare::Passes(int row) const
{
    // As PassesExpr() and the expression's own evaluation have it.
    const TCompareOp op = Compare.Op;
    if (Text->IsNull(row))
        return op == TCompareOp::IsNull;
    if (op == TCompareOp::IsNull || op == TCompareOp::IsNotNull)
        return op == TCompareOp::IsNotNull;
    if (Compare.LiteralIsNull)
        return false;
    int c;
    const quint64 head = Folded->Head[row];
    if (head != LiteralHead) {
        c = head < LiteralHead ? -1 : 1;
    } else {
        const auto [start, size] = Folded->Span[row];
        c = QStringView(Folded->Pool.data() + start, qsizetype(size))
                .compare(Compare.LiteralFolded);
    }
    return CompareHolds(op, c);
}

std::vector<int> TRowStore::PassingExpr(const std::vector<int>& list) const
{
    if (!FFiltered || FExpr.IsEmpty())
        return list;
    const TTextCompare test = TextCompare();
    if (test.Field < 0)
        return Selected(list, FRowCount, [this](int r) { return PassesExpr(r); });
    return Selected(list, FRowCount, [&test](int r) { return test.Passes(r); });
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
        FCounted = PassingExpr(FOrder);
        BuildVisible(FCounted);
    }
    FViewsDataVersion = FDataVersion;
    ++FVersion;
}

void TRowStore::SetRecordFilterPrefix(int field, const QString& prefix)
{
    FPrefixField = field >= 0 && IsStored(field) && IsText(field) ? field : -1;
    FPrefixFolded = CaseFold::Folded(prefix);
    FPrefixHead = HeadAt(reinterpret_cast<const char16_t*>(FPrefixFolded.utf16()),
                         quint32(FPrefixFolded.size()), 0);
}

bool TRowStore::MayPassRecordFilter(const TFoldedColumn* folded, int row) const
{
    if (!folded)
        return true;
    const auto [start, size] = folded->Span[row];
    const quint32 n = quint32(FPrefixFolded.size());
    if (size < n)
        return false;
    // The first four characters from the packed head, with those past the prefix
    // masked off, the rest from the pool.
    const quint32 inHead = std::min(n, 4u);
    const quint64 mask = ~0ull << (16 * (4 - inHead));
    if ((folded->Head[row] & mask) != (FPrefixHead & mask))
        return false;
    return n <= 4 || std::equal(folded->Pool.data() + start + 4, folded->Pool.data() + start + n,
                                reinterpret_cast<const char16_t*>(FPrefixFolded.utf16()) + 4);
}

void TRowStore::BuildVisible(const std::vector<int>& candidates)
{
    // The record filter may ask for the row's number: positions first.
    RebuildCountedPos();
    const TFoldedColumn* prefix =
        FPrefixField >= 0 && !FPrefixFolded.isEmpty() ? &Folded(FPrefixField) : nullptr;
    FVis = Selected(candidates, FRowCount, [&](int r) {
        return FCountedPos[r] >= 0 && MayPassRecordFilter(prefix, r) && PassesRecordFilter(r);
    });
}

bool TRowStore::ViewsCurrent() const
{
    return FViewsFiltered && FFiltered && FViewsDataVersion == FDataVersion && FMoved.empty() &&
           !FOrderStale;
}

void TRowStore::Narrow()
{
    if (!ViewsCurrent()) {
        Rebuild(false);
        return;
    }
    // Every row the new filter accepts is among those the views hold.
    FCounted = PassingExpr(FCounted);
    BuildVisible(std::vector<int>(FVis));
    FViewsDataVersion = FDataVersion;
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

bool TRowStore::KeepsItsPlaces(int row) const
{
    if (FDeleted[row] || !FPlaced[row] || FViewsFiltered != FFiltered || FOrderStale ||
        (FSortField >= 0 && !IsStored(FSortField)) ||
        std::any_of(FMoved.begin(), FMoved.end(), [row](int r) { return r != row; }))
        return false;
    // Every other row is where Less() puts it: when the row still sorts between its
    // neighbours, the whole order is sorted, and so are the filtered lists taken from
    // it, in which a binary search then tells for certain whether the row is there.
    const auto less = [this](int a, int b) { return Less(a, b); };
    const auto it = std::lower_bound(FOrder.begin(), FOrder.end(), row, less);
    if (it == FOrder.end() || *it != row || (it != FOrder.begin() && !Less(*(it - 1), row)) ||
        (it + 1 != FOrder.end() && !Less(row, *(it + 1))))
        return false;
    if (!FViewsFiltered)
        return true;
    const auto holds = [&](const std::vector<int>& list) {
        return std::binary_search(list.begin(), list.end(), row, less);
    };
    const bool counted = PassesExpr(row);
    if (counted != holds(FCounted))
        return false;
    return !counted || PassesRecordFilter(row) == holds(FVis);
}

void TRowStore::Place(int row)
{
    // A row changed where neither its order nor the filters see it stays put: moving it
    // out and back in would shift half of each list.
    if (KeepsItsPlaces(row)) {
        FMoved.erase(std::remove(FMoved.begin(), FMoved.end(), row), FMoved.end());
        ++FVersion;
        return;
    }
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
