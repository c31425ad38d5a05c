#pragma once
// The text of one column of a table in memory: a 4-byte slot per row into a list of
// values. A null or empty cell costs its slot alone, and a text that many rows repeat
// (a maker, a language, a size) is held once when it is read from the file, so a
// catalogue of a million records fits in memory.

#include <QString>

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TTextColumn {
public:
    TTextColumn();

    int size() const { return int(FSlot.size()); }
    const QString& operator[](int row) const { return FValues[FSlot[row]]; }
    bool IsNull(int row) const { return FSlot[row] == NullSlot; }

    void AppendNull() { FSlot.push_back(NullSlot); }
    void Clear();
    // Sets ROW's text; a null text makes the cell null.
    void Set(int row, QString text);
    // Sets ROW's text from UTF-8 read from the file, sharing it with earlier rows that
    // hold the same bytes while the column's texts repeat.
    void SetUtf8(int row, const char* utf8, int bytes);

private:
    enum : quint32 { NullSlot = 0, EmptySlot = 1 };

    std::vector<quint32> FSlot; // by row
    std::vector<QString> FValues;
    std::vector<char> FShared; // by value: held by more than one row
    // Texts seen so far by their bytes; given up on for a column whose texts are
    // nearly all different (names, paths), where it would only cost time.
    std::unordered_map<std::string_view, quint32> FSeen;
    std::deque<std::string> FSeenBytes; // the keys' storage
    int FTries = 0, FHits = 0;
    bool FSharing = true;
};
