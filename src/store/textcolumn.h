#pragma once
// The text of one column of a table in memory: a 4-byte slot per row into a list of
// values. A null or empty cell costs its slot alone, and a text that many rows repeat
// (a maker, a language, a size) is held once when it is read from the file, so a
// catalogue of a million records fits in memory. A column no row has filled yet (the
// registration details of most catalogues) has no slots at all.

#include <QString>
#include <QStringDecoder>

#include <string_view>
#include <vector>

class TTextColumn {
public:
    TTextColumn();

    int size() const { return FRows; }
    const QString& operator[](int row) const { return FValues[Slot(row)]; }
    bool IsNull(int row) const { return Slot(row) == NullSlot; }

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
    void Set(int row, QString text);
    // Sets ROW's text from UTF-8 read from the file, sharing it with earlier rows that
    // hold the same bytes while the column's texts repeat.
    void SetUtf8(int row, const char* utf8, int bytes);

private:
    enum : quint32 { NullSlot = 0, EmptySlot = 1 };

    quint32 Slot(int row) const { return FAllNull ? quint32(NullSlot) : FSlot[row]; }
    // Gives every row its slot, before the first that is not null.
    void FillSlots();

    // The value listed for these bytes, or ~0u; HASH is theirs.
    quint32 FindSeen(std::string_view key, quint32 hash) const;
    void AddSeen(std::string_view key, quint32 hash, quint32 value);
    void StopSharing();
    // UTF8 as a text laid in the block being filled.
    QString Decode(const char* utf8, int bytes);

    int FRows = 0;
    bool FAllNull = true;       // no slots yet: every row is null
    int FRoom = 0;              // the rows reserved for
    std::vector<quint32> FSlot; // by row, once a row is not null
    std::vector<QString> FValues;
    std::vector<char> FShared; // by value: held by more than one row

    // Texts seen so far, by their bytes: an open-addressed table (its size a power of
    // two) of the texts' hashes and values, the bytes kept one after another. Given up
    // on for a column whose texts are nearly all different (names, paths), where it
    // would only cost time.
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

    // Texts read from the file are laid one after another in large blocks, each a
    // QString over its part of its block that shares the block's count of users: one
    // allocation for thousands of texts, where one each made reading a large table
    // mostly a matter of allocating (and ending the program one of freeing). A block
    // lives while any of its texts, or a copy of one, does; a text changed later
    // leaves its block as any shared text does.
    QString::DataPointer FBlock; // the block being filled
    qsizetype FBlockChars;       // the size of the next block
    QStringDecoder FDecoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};
