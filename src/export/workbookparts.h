#pragma once
// The small parts of a one-sheet workbook around its sheet: content types,
// relationships, document properties, the workbook and its styles. The sheet itself
// (xl/worksheets/sheet1.xml) is the caller's, written after these.

#include <QString>

#include <cstdint>
#include <vector>

class TZipWriter;

namespace WorkbookParts {

// A cell format: its font, on the standard font's face.
struct TFont {
    bool Bold = false;
    int Size = 11;
    uint32_t Rgb = 0x000000; // 0xRRGGBB
};

// The part name the sheet goes under.
inline constexpr char SheetPart[] = "xl/worksheets/sheet1.xml";

// Adds every part but the sheet to ZIP for a workbook whose one sheet is SHEETNAME.
// Cell style n (from 1) of the sheet is FONTS[n - 1]; style 0 is the standard font.
void Write(TZipWriter& zip, const QString& sheetName, const std::vector<TFont>& fonts);

} // namespace WorkbookParts
