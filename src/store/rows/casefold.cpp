#include "store/rows/casefold.h"

#include <cstring>

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

char16_t* WriteUtf8(QUtf8StringView bytes, char16_t* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        // Eight characters at a time while they are ASCII, most of any catalogue's
        // text: the capitals among them are found and lowered all at once.
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                // A byte's top bit is set by adding 0x3F from 'A' on and by adding
                // 0x25 from the character after 'Z' on; no byte carries into the next.
                const quint64 fromA = word + 0x3F3F3F3F3F3F3F3Full;
                const quint64 pastZ = word + 0x2525252525252525ull;
                word |= (fromA & ~pastZ & 0x8080808080808080ull) >> 2;
                unsigned char lowered[8];
                std::memcpy(lowered, &word, 8);
                for (int i = 0; i < 8; ++i)
                    out[i] = lowered[i];
                out += 8;
                p += 8;
                continue;
            }
        }
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
