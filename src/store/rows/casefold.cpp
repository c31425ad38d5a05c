#include "store/rows/casefold.h"

namespace CaseFold {

namespace {

template <typename TPut> void Fold(QStringView text, TPut&& put)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80) {
            put(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(c, p[i + 1]));
            put(QChar::highSurrogate(folded));
            put(QChar::lowSurrogate(folded));
            ++i;
        } else {
            put(char16_t(QChar::toCaseFolded(char32_t(c))));
        }
    }
}

} // namespace

qsizetype Utf16Length(QUtf8StringView bytes)
{
    // A character for each byte that begins one, two for those of four bytes.
    qsizetype n = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        n += qsizetype((b & 0xC0) != 0x80) + qsizetype(b >= 0xF0);
    }
    return n;
}

char16_t* WriteUtf8(QUtf8StringView bytes, char16_t* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            *out++ = char16_t(lead >= 'A' && lead <= 'Z' ? lead + 32 : lead);
            ++p;
            continue;
        }
        const int more = lead >= 0xF0 ? 3 : (lead >= 0xE0 ? 2 : 1);
        char32_t code = lead & (0x3Fu >> more);
        for (int i = 1; i <= more; ++i)
            code = (code << 6) | (p[i] & 0x3F);
        p += more + 1;
        // As Fold has it: a character of the basic plane folds as one code unit.
        if (code < 0x10000) {
            *out++ = char16_t(QChar::toCaseFolded(code));
        } else {
            const char32_t folded = QChar::toCaseFolded(code);
            *out++ = QChar::highSurrogate(folded);
            *out++ = QChar::lowSurrogate(folded);
        }
    }
    return out;
}

char16_t* Write(QStringView text, char16_t* out)
{
    Fold(text, [&out](char16_t c) { *out++ = c; });
    return out;
}

QString Folded(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    char16_t* at = reinterpret_cast<char16_t*>(out.data());
    Fold(text, [&at](char16_t c) { *at++ = c; });
    return out;
}

} // namespace CaseFold
