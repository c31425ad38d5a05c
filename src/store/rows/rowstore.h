#pragma once
// The rows of one table, held in memory column by column, and the views a cursor
// walks over them. No database here: rows come in through AppendRow and the setters,
// and this class knows nothing of where they came from or go to.
//
// Three index lists give the views:
//   Ordered()  every live row in sort order,
//   counted    the rows of Ordered() that pass the expression filter (they are numbered
//              and counted),
//   Visible()  the counted rows that the record filter accepts (walked and shown).
// Place() moves one added, changed or deleted row to its places in the lists, so a
// post or a delete costs no re-sort. Narrow() filters within the lists as they stand,
// for a filter that accepts fewer rows than the last one (one more character typed). The lists stay
// sorted by Less(), so a row is found in them by binary search; a row appended to the table's own
// order goes to the ends of the lists, so a harvest costs the same per record at any catalogue
// size. While no filter is on, the three lists are one.

#include "store/rows/fieldtype.h"
#include "store/rows/filterexpr.h"
#include "store/rows/textcolumn.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TRowStore {
public:
    // One slot per field of the table. A stored field has a column here; any other
    // (lookup, calculated) is computed by the owner through the computed reader.
    struct TFieldSlot {
        TFieldType Type = TFieldType::ftString;
        bool Stored = true;
    };
    using TComputedReader = std::function<QVariant(int row, int field)>;
    using TRecordFilter = std::function<bool(int row)>;

    explicit TRowStore(std::vector<TFieldSlot> fields);

    // --- rows (deleted rows stay as tombstones until the next Clear)
    int RowCount() const { return FRowCount; }
    bool Deleted(int row) const { return FDeleted[row] != 0; }
    void Clear();
    int AppendRow(); // every value null
    // The room a table read with ROWS rows is given: a quarter more, so that the first
    // records added to a large table (a harvest) do not move every column at once.
    // Room never written costs address space, not memory.
    static int RoomFor(int rows) { return rows + rows / 4 + 64; }
    void MarkDeleted(int row)
    {
        FDeleted[row] = 1;
        ++FDataVersion;
    }

    // A stored field's values. A table being read fills its columns apart from the
    // store (on more than one thread), then hands them over whole by Adopt.
    struct TColumn {
        TTextColumn Text;      // text fields
        std::vector<int> Ints; // integer and Boolean fields
        std::vector<char> Nulls;
    };
    // Replaces every row by ROWS rows whose stored fields hold COLUMNS (by field, each
    // column ROWS long).
    void Adopt(int rows, std::vector<TColumn> columns);

    bool IsStored(int field) const { return FFields[field].Stored; }
    bool IsText(int field) const { return FFields[field].Type == TFieldType::ftString; }
    // A stored field's value: null, text, an integer, or a Boolean.
    QVariant Value(int row, int field) const;
    // A stored text field's value (null text for null).
    QString Text(int row, int field) const { return FColumns[field].Text[row]; }
    // The same in place, as UTF-8 (see textcolumn.h): valid until the store is cleared
    // or its columns are replaced.
    QUtf8StringView Utf8(int row, int field) const { return FColumns[field].Text.Utf8(row); }
    void SetValue(int row, int field, const QVariant& v);
    // Quick setters for loading; the field must be of the matching kind.
    void SetText(int row, int field, QString text)
    {
        FColumns[field].Text.Set(row, std::move(text));
        Changed(row, field);
    }
    // The same from UTF-8 as the file holds it; repeated texts are held once.
    void SetTextUtf8(int row, int field, const char* utf8, int bytes)
    {
        FColumns[field].Text.SetUtf8(row, utf8, bytes);
        Changed(row, field);
    }
    void SetInt(int row, int field, int value)
    {
        FColumns[field].Nulls[row] = 0;
        FColumns[field].Ints[row] = value;
        Changed(row, field);
    }
    // A stored text field's value case-folded (see casefold.h), read in place; empty
    // for null. The field's folded column is made on first use and kept in step.
    QStringView FoldedText(int row, int field) const;

    // --- how the views are built; nothing is rebuilt until Rebuild or Place.
    void SetComputedReader(TComputedReader reader) { FComputed = std::move(reader); }
    int SortField() const { return FSortField; }
    void SetSortField(int field) // -1: the table's own order
    {
        FOrderStale = FOrderStale || field != FSortField;
        FSortField = field;
    }
    void SetExpression(TFilterExpr expr) { FExpr = std::move(expr); }
    void SetFiltered(bool on) { FFiltered = on; }
    void SetRecordFilter(TRecordFilter accept) { FRecordFilter = std::move(accept); }
    // What the record filter's owner promises of it: it accepts no row whose text in
    // FIELD (a stored text field), case-folded, does not begin with PREFIX case-folded.
    // Rows that fail this are hidden without asking it. FIELD -1: no promise.
    void SetRecordFilterPrefix(int field, const QString& prefix);

    // Builds the views again; RESORT also re-reads which rows live and sorts them.
    void Rebuild(bool resort);
    // Builds the views again for an expression and a record filter that accept no row
    // the last ones rejected, testing only the rows the views hold. When anything else
    // changed since the views were last built (a value, a row, the order, the switch),
    // the views may hold rows they should not, and it does what Rebuild(false) does.
    void Narrow();
    // Moves ROW, just added, changed or deleted, to its places in the views.
    void Place(int row);

    const std::vector<int>& Ordered() const { return FOrder; }
    const std::vector<int>& Visible() const { return FViewsFiltered ? FVis : FOrder; }
    int VisibleCount() const { return int(Visible().size()); }
    // Index of ROW in Visible(), -1 when it is not shown.
    int VisibleIndexOf(int row) const;
    int CountedCount() const { return int(Counted().size()); }
    // 0-based place of ROW among the counted rows, -1 when the expression hides it.
    int CountedPos(int row) const;
    // Bumped on every change of rows, order or filter, for caches of readers.
    quint64 Version() const { return FVersion; }

    // --- queries for reference tables
    // The RESULTFIELD of the first row whose KEYFIELD (an integer field) equals KEY;
    // null when none does.
    QVariant Lookup(int keyField, int key, int resultField) const;
    // The RESULTFIELD of the first row in sort order whose FIELD equals TEXT.
    QVariant Locate(int field, const QString& text, int resultField) const;

    // Orders two values as sorting does: empty first, numbers by value, text without
    // regard to case, then by case.
    static int CompareValues(const QVariant& a, const QVariant& b);
    static int CompareText(const QString& a, const QString& b);

private:
    // A case-folded text column: each row's span in one pool of characters, and its
    // first characters packed in one integer (HeadAt), by which most comparisons end
    // without reading the pool.
    // Characters a pool is made with are written before they are read: it is
    // allocated without clearing them, so that what is never written (the room a
    // column's UTF-8 size leaves above its UTF-16 length) is never touched either.
    template <class T> struct TUnclearedAllocator : std::allocator<T> {
        template <class U> struct rebind {
            using other = TUnclearedAllocator<U>;
        };
        TUnclearedAllocator() = default;
        template <class U> TUnclearedAllocator(const TUnclearedAllocator<U>&) noexcept {}
        template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
        template <class U, class... A> void construct(U* p, A&&... args)
        {
            ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
        }
    };
    struct TFoldedColumn {
        std::vector<char16_t, TUnclearedAllocator<char16_t>> Pool;
        std::vector<std::pair<quint32, quint32>> Span; // start, length
        std::vector<quint64> Head;
    };
    // The expression when it is one comparison of a stored text field, answered from
    // the folded column; Field is -1 when the expression is anything else.
    struct TTextCompare {
        int Field = -1;
        TFilterExpr::TSingleCompare Compare;
        quint64 LiteralHead = 0;
        const TTextColumn* Text = nullptr;
        const TFoldedColumn* Folded = nullptr;
        bool Passes(int row) const;
    };

    const std::vector<int>& Counted() const { return FViewsFiltered ? FCounted : FOrder; }
    void Changed(int row, int field)
    {
        ++FDataVersion;
        if (field == FSortField && row < int(FPlaced.size()) && FPlaced[row] &&
            (FMoved.empty() || FMoved.back() != row))
            FMoved.push_back(row);
        if (field < int(FFolded.size()) && FFolded[field])
            Refold(row, field);
    }
    void Refold(int row, int field) const;
    const TFoldedColumn& Folded(int field) const;
    // True while every list is sorted by Less(), so a binary search finds a row.
    bool OrderTrusted() const;
    // Index of ROW in LIST, -1 when it is not there.
    int IndexIn(const std::vector<int>& list, int row) const;

    QVariant SortKey(int row) const;
    bool Less(int a, int b) const;
    void SortOrder();
    void SortByText();
    void SortByFoldedText();
    bool PassesExpr(int row) const;
    TTextCompare TextCompare() const;
    // The rows of LIST, in its order, that pass the expression.
    std::vector<int> PassingExpr(const std::vector<int>& list) const;
    // Fills FCountedPos from FCounted, then FVis with the rows of CANDIDATES that are
    // counted and accepted by the record filter.
    void BuildVisible(const std::vector<int>& candidates);
    bool ViewsCurrent() const;
    bool PassesRecordFilter(int row) const;
    // False for a row that the record filter's promised prefix rules out.
    bool MayPassRecordFilter(const TFoldedColumn* folded, int row) const;
    void RebuildCountedPos();
    void RemoveFromViews(int row);
    // True when ROW, changed, is still where the views hold it and passes the filters
    // as it did.
    bool KeepsItsPlaces(int row) const;

    std::vector<TFieldSlot> FFields;
    std::vector<TColumn> FColumns;               // by field; empty for fields not stored
    std::vector<int> FTextFields, FNumberFields; // the stored fields of each kind
    std::vector<char> FDeleted;
    int FRowCount = 0;

    std::vector<int> FOrder, FCounted, FVis; // the last two only while filtered
    bool FViewsFiltered = false;             // how the views were last built
    quint64 FViewsDataVersion = ~0ull;       // FDataVersion when they were last built
    // Row -> index in Counted(), -1 when filtered out; once a row has been placed
    // inside the list, an entry may be out of date and is checked before use.
    mutable std::vector<int> FCountedPos;
    bool FCountedPosComplete = true;
    std::vector<char> FPlaced; // row -> is in the views
    std::vector<int> FMoved;   // placed rows whose sort value changed since
    bool FOrderStale = false;  // the sort field changed since the last sort
    quint64 FDataVersion = 0;  // bumped on every change of a value or of the rows
    // The last order of the rows by a text field, for sorting by it again.
    struct TSortCache {
        int Field = -1;
        quint64 DataVersion = 0;
        std::vector<int> Order;
    } FSortCache;
    mutable std::vector<std::unique_ptr<TFoldedColumn>> FFolded; // by field, on first use
    int FSortField = -1;
    TFilterExpr FExpr;
    bool FFiltered = false;
    TRecordFilter FRecordFilter;
    int FPrefixField = -1;
    QString FPrefixFolded;
    quint64 FPrefixHead = 0;
    TComputedReader FComputed;
    quint64 FVersion = 0;

    mutable quint64 FLookupVersion = ~0ull;
    mutable int FLookupKeyField = -1, FLookupResultField = -1;
    mutable QHash<int, QVariant> FLookupCache;
};
