#include "export/sheetwriter.h"

#include "export/zipwriter.h"

#include <QByteArray>
#include <QStringBuilder>

#include <array>
#include <cmath>
#include <cstring>

namespace {

// Bytes a text of N code units may take at worst: a control character spelt _xHHHH_.
constexpr size_t WorstBytesPerUnit = 7;
// Everything around a cell's text: its reference, type, style and tags.
constexpr size_t CellOverhead = 96;

// What the writer does with an ASCII code unit.
enum : uint8_t { Plain, Amp, Lt, Gt, Control, Underscore };

constexpr auto AsciiClasses = [] {
    std::array<uint8_t, 128> t{};
    for (int c = 0; c < 0x20; ++c)
        t[c] = Control;
    t['\t'] = Plain;
    t['\n'] = Plain;
    t['&'] = Amp;
    t['<'] = Lt;
    t['>'] = Gt;
    t['_'] = Underscore;
    return t;
}();

bool IsHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "_xHHHH_" starting at P (which holds the underscore), END the end of the text.
bool IsEscapeAt(const char16_t* p, const char16_t* end)
{
    return end - p >= 7 && p[1] == u'x' && IsHex(p[2]) && IsHex(p[3]) && IsHex(p[4]) &&
           IsHex(p[5]) && p[6] == u'_';
}

char* PutEscape(char* out, unsigned code)
{
    static const char hex[] = "0123456789ABCDEF";
    *out++ = '_';
    *out++ = 'x';
    *out++ = hex[(code >> 12) & 0xF];
    *out++ = hex[(code >> 8) & 0xF];
    *out++ = hex[(code >> 4) & 0xF];
    *out++ = hex[code & 0xF];
    *out++ = '_';
    return out;
}

// TEXT as UTF-8, spelt for an inline string, from OUT on; returns the new end.
char* PutText(char* out, const char16_t* p, const char16_t* end)
{
    while (p < end) {
        const char16_t c = *p;
        if (c < 0x80) {
            switch (AsciiClasses[c]) {
            case Plain:
                *out++ = char(c);
                break;
            case Amp:
                std::memcpy(out, "&amp;", 5);
                out += 5;
                break;
            case Lt:
                std::memcpy(out, "&lt;", 4);
                out += 4;
                break;
            case Gt:
                std::memcpy(out, "&gt;", 4);
                out += 4;
                break;
            case Control:
                out = PutEscape(out, c);
                break;
            case Underscore:
                if (IsEscapeAt(p, end)) {
                    out = PutEscape(out, '_');
                } else {
                    *out++ = '_';
                }
                break;
            }
            ++p;
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (c < 0xDC00 && end - p >= 2 && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
                const char32_t u = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (p[1] - 0xDC00);
                *out++ = char(0xF0 | (u >> 18));
                *out++ = char(0x80 | ((u >> 12) & 0x3F));
                *out++ = char(0x80 | ((u >> 6) & 0x3F));
                *out++ = char(0x80 | (u & 0x3F));
                p += 2;
            } else {
                // A lone half of a pair is no character: the replacement character.
                std::memcpy(out, "\xEF\xBF\xBD", 3);
                out += 3;
                ++p;
            }
        } else if (c >= 0xFFFE) {
            // Not allowed in XML at all; the format's escape carries it.
            out = PutEscape(out, c);
            ++p;
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
            ++p;
        }
    }
    return out;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

char* PutDecimal(char* out, int64_t v)
{
    char digits[24];
    int n = 0;
    uint64_t u = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *out++ = '-';
    while (n)
        *out++ = digits[--n];
    return out;
}

// The column's letters, A to XFD, for a 0-based COLUMN.
QByteArray ColumnName(int column)
{
    QByteArray name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(char('A' + (c - 1) % 26));
    return name;
}

// The width the file stores for N characters of the standard font, whose digits are
// 7 pixels wide with 5 pixels of padding, in 1/256 of a character.
double StoredWidth(int characters)
{
    return std::trunc((characters * 7.0 + 5.0) / 7.0 * 256.0) / 256.0;
}

} // namespace

void TSheetWriter::Put(const char* data, size_t size) { FZip.Append(data, size); }

void TSheetWriter::Begin(int lastRow, int columns, const std::vector<int>& widths, int frozenRows)
{
    FColumns = columns;
    QByteArray head =
        QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<dimension ref=\"A1:") +
        ColumnName(columns - 1) + QByteArray::number(lastRow) +
        "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">";
    if (frozenRows > 0)
        head += QByteArray("<pane ySplit=\"") + QByteArray::number(frozenRows) +
                "\" topLeftCell=\"A" + QByteArray::number(frozenRows + 1) +
                "\" activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\"/>";
    head += "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><cols>";
    for (int c = 0; c < int(widths.size()); ++c)
        head += QByteArray("<col min=\"") + QByteArray::number(c + 1) + "\" max=\"" +
                QByteArray::number(c + 1) + "\" width=\"" +
                QByteArray::number(StoredWidth(widths[c]), 'g', 17) + "\" customWidth=\"1\"/>";
    head += "</cols><sheetData>";
    Put(head.constData(), size_t(head.size()));
}

void TSheetWriter::BeginRow(int row, int style)
{
    char* end = PutDecimal(FRowDigits, row);
    FRowDigitCount = int(end - FRowDigits);
    char* out = FZip.Room(64);
    char* const start = out;
    std::memcpy(out, "<row r=\"", 8);
    out += 8;
    std::memcpy(out, FRowDigits, size_t(FRowDigitCount));
    out += FRowDigitCount;
    if (style) {
        std::memcpy(out, "\" s=\"", 5);
        out = PutDecimal(out + 5, style);
        std::memcpy(out, "\" customFormat=\"1", 17);
        out += 17;
    }
    std::memcpy(out, "\">", 2);
    out += 2;
    FZip.Advance(size_t(out - start));
}

// '<c r="B7' for COLUMN 1 of the open row 7. The sheets written here stay within
// the 702 columns that two letters name.
char* TSheetWriter::PutCellStart(char* out, int column) const
{
    std::memcpy(out, "<c r=\"", 6);
    out += 6;
    if (column >= 26)
        *out++ = char('A' + column / 26 - 1);
    *out++ = char('A' + column % 26);
    std::memcpy(out, FRowDigits, size_t(FRowDigitCount));
    return out + FRowDigitCount;
}

void TSheetWriter::Text(int column, QStringView text, int style)
{
    if (text.isEmpty() && !style)
        return;
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const auto* end = p + text.size();
    char* out = FZip.Room(size_t(text.size()) * WorstBytesPerUnit + CellOverhead);
    char* const start = out;
    out = PutCellStart(out, column);
    if (style) {
        std::memcpy(out, "\" s=\"", 5);
        out = PutDecimal(out + 5, style);
    }
    const bool preserve = !text.isEmpty() && (IsBlank(p[0]) || IsBlank(end[-1]));
    if (preserve) {
        static constexpr char open[] = "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
        std::memcpy(out, open, sizeof open - 1);
        out += sizeof open - 1;
    } else {
        static constexpr char open[] = "\" t=\"inlineStr\"><is><t>";
        std::memcpy(out, open, sizeof open - 1);
        out += sizeof open - 1;
    }
    out = PutText(out, p, end);
    static constexpr char close[] = "</t></is></c>";
    std::memcpy(out, close, sizeof close - 1);
    out += sizeof close - 1;
    FZip.Advance(size_t(out - start));
}

void TSheetWriter::Number(int column, int64_t value)
{
    char* out = FZip.Room(CellOverhead);
    char* const start = out;
    out = PutCellStart(out, column);
    std::memcpy(out, "\"><v>", 5);
    out = PutDecimal(out + 5, value);
    std::memcpy(out, "</v></c>", 8);
    out += 8;
    FZip.Advance(size_t(out - start));
}

void TSheetWriter::End(bool quietNumbers, int firstQuietRow)
{
    QByteArray tail = "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
                      "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>";
    if (quietNumbers)
        tail += QByteArray("<ignoredErrors><ignoredError sqref=\"A") +
                QByteArray::number(firstQuietRow) + ":" + ColumnName(FColumns - 1) +
                QByteArray::number(MaxRow) + "\" numberStoredAsText=\"1\"/></ignoredErrors>";
    tail += "</worksheet>";
    Put(tail.constData(), size_t(tail.size()));
}
