#pragma once
// The text of one column of a table in memory: a 4-byte slot per row into a list of
// values, each value's text in UTF-8 in blocks the column owns. A null or empty cell
// costs its slot alone, and a text that many rows repeat (a maker, a language, a size)
// is held once when it is read from the file, so a catalogue of a million records fits
// in memory. A column no row has filled yet (the registration details of most
// catalogues) has no slots at all.
//
// Readers get either a QString of their own (operator[]), or the UTF-8 bytes in place
// (Utf8). Those bytes never move: a view of them stays valid until the column is
// cleared (Clear, which a new read of the table and its close run), whatever is set
// meanwhile. A text set again is written anew; its old bytes stay until the clear.
//
// Texts are held as valid UTF-8, so equal bytes are equal texts: bytes from the file
// that are not valid UTF-8 are held as the text they read as, and a text given with
// half of a surrogate pair is held as UTF-8 has it, as the file does.

#include <QString>
#include <QStringView>
#include <QUtf8StringView>

#include <memory>
#include <string_view>
#include <vector>

class TTextColumn {
public:
    TTextColumn() = default;
    TTextColumn(TTextColumn&&) noexcept = default;
    TTextColumn& operator=(TTextColumn&&) noexcept = default;

    int size() const { return FRows; }
    // ROW's text, a copy: null for a null cell, empty and not null for an empty one.
    QString operator[](int row) const { return Read(Utf8(row)); }
    // BYTES, from a view of a column, as a text; a byte-order mark at their start is
    // kept as the character it is, as it was given.
    static QString Read(QUtf8StringView bytes);
    // ROW's text where it lies (see above): a null view for a null cell, an empty one
    // that is not null for an empty cell.
    QUtf8StringView Utf8(int row) const { return Bytes(Slot(row)); }
    bool IsNull(int row) const { return Slot(row) == NullSlot; }
    // At least the UTF-8 bytes of all the rows' texts together, and so at least their
    // UTF-16 length (a text set again counts again).
    size_t BytesBound() const { return FBytes; }

    void AppendNull()
    {
        if (!FAllNull)
            FSlot.push_back(NullSlot);
        ++FRows;
    }
    // Room for ROWS rows, so that reading a large table does not move the column
    // again and again while it grows.
    void Reserve(int rows);
    void Clear();
    // Sets ROW's text; a null text makes the cell null.
    void Set(int row, QStringView text);
    // Sets ROW's text from UTF-8 read from the file, sharing it with earlier rows that
    // hold the same bytes while the column's texts repeat.
    void SetUtf8(int row, const char* utf8, int bytes);

private:
    enum : quint32 { NullSlot = 0, EmptySlot = 1 };

    quint32 Slot(int row) const { return FAllNull ? quint32(NullSlot) : FSlot[row]; }
    QUtf8StringView Bytes(quint32 value) const;
    // Gives every row its slot, before the first that is not null.
    void FillSlots();

    // The value listed for these bytes, or ~0u; HASH is theirs.
    quint32 FindSeen(std::string_view key, quint32 hash) const;
    void AddSeen(std::string_view key, quint32 hash, quint32 value);
    void StopSharing();
    // Lays BYTES (valid UTF-8, not empty) in the block being filled; where they lie.
    quint64 Lay(std::string_view bytes);
    // A new value for ROW alone, holding BYTES.
    void SetOwn(int row, std::string_view bytes);

    int FRows = 0;
    size_t FBytes = 0;
    bool FAllNull = true;       // no slots yet: every row is null
    int FRoom = 0;              // the rows reserved for
    std::vector<quint32> FSlot; // by row, once a row is not null
    // By value, from 2 on (0 and 1 are null and empty): where its text lies, the
    // block's number in the high half and the offset in the low; there a length
    // (7 bits a byte, low first, the top bit for more) and the bytes.
    std::vector<quint64> FValues{0, 0};
    std::vector<char> FShared{1, 1}; // by value: held by more than one row

    // Texts seen so far, by their bytes: an open-addressed table (its size a power of
    // two) of the texts' hashes and values, the bytes kept one after another, close
    // together where the blocks would be read all over. Given up on for a column whose
    // texts are nearly all different (names, paths), where it would only cost time.
    struct TSeen {
        quint32 Hash = 0;
        quint32 Value = ~0u; // ~0u: an empty place
        quint32 Start = 0, Bytes = 0;
    };
    std::vector<TSeen> FSeen;
    std::vector<char> FSeenBytes;
    quint32 FSeenCount = 0;
    int FTries = 0, FHits = 0;
    bool FSharing = true;

    // Texts are laid one after another in large blocks: one allocation for thousands
    // of texts, where one each made reading a large table mostly a matter of
    // allocating (and closing it one of freeing).
    // A long text has a block of its own.
    std::vector<std::unique_ptr<char[]>> FBlocks;
    size_t FFill = 0;                    // the block being filled
    size_t FFillUsed = 0, FFillSize = 0; // its bytes used and its size
    size_t FNextSize = 0;                // the size of the next block to fill
};
