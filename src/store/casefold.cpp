#include "store/casefold.h"

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
