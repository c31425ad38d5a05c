#pragma once
// The XML of one worksheet, written row by row into a streamed zip entry: texts as
// inline strings (so nothing is held back for a shared-string table), integers as
// numbers, row styles, frozen rows and column widths.
//
// A text is spelt as the workbook format wants it: markup characters as entities,
// control characters other than tab and line feed as _xHHHH_, a literal _xHHHH_ with
// its underscore escaped (_x005F_), so a reader gets back exactly the text written.

#include <QStringView>

#include <cstdint>
#include <vector>

class TZipWriter;

class TSheetWriter {
public:
    // The most UTF-16 code units a cell may hold.
    static constexpr int MaxTextLength = 32767;
    // The last row a sheet has.
    static constexpr int MaxRow = 1048576;

    explicit TSheetWriter(TZipWriter& zip) : FZip(zip) {}

    // Opens the sheet (at most 702 columns): LASTROW rows and COLUMNS columns in use (for the
    // dimension), the column WIDTHS in characters of the standard font, FROZENROWS rows at the top
    // kept in view.
    void Begin(int lastRow, int columns, const std::vector<int>& widths, int frozenRows);
    // Row ROW (1-based), its cells formatted by STYLE (0: none) unless they say otherwise.
    void BeginRow(int row, int style = 0);
    // A cell of the open row, COLUMN 0-based, left to right. TEXT at most MaxTextLength
    // long; an empty one writes a cell only when it has a style.
    void Text(int column, QStringView text, int style = 0);
    void Number(int column, int64_t value);
    void EndRow() { Put("</row>"); }
    // Closes the sheet; QUIETNUMBERS asks the reader not to flag number-like texts of
    // the rows from FIRSTQUIETROW on.
    void End(bool quietNumbers, int firstQuietRow);

private:
    template <size_t N> void Put(const char (&literal)[N]) { Put(literal, N - 1); }
    void Put(const char* data, size_t size);
    char* PutCellStart(char* out, int column) const;

    TZipWriter& FZip;
    int FColumns = 0;
    char FRowDigits[12] = {};
    int FRowDigitCount = 0;
};
