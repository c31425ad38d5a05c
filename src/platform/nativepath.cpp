#include "platform/nativepath.h"

#include <QUtf8StringView>

namespace {

constexpr char16_t EscapeBase = 0xEF00;

bool IsEscapeAt(const QString& s, qsizetype i)
{
    const char16_t c = s.at(i).unicode();
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// The UTF-8 form of U+EF80..U+EFFF (EE BE xx, EE BF xx): such a character in a name
// is itself written as three escaped bytes, so that every escape in a text stands for
// a byte and the way back is exact.
bool HasEscapeRange(const QByteArray& bytes)
{
    return bytes.contains("\xEE\xBE") || bytes.contains("\xEE\xBF");
}

// Length of the well-formed UTF-8 sequence at P (of N bytes left), 0 when there is none.
int SequenceLength(const unsigned char* p, qsizetype n)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F; // no encoded surrogates
        else if (b == 0xEE)
            hi = 0xBD; // U+EF80..U+EFFF are escapes
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < len; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return len;
}

} // namespace

QString PathFromNative(const QByteArray& bytes)
{
    if (QUtf8StringView(bytes).isValidUtf8() && !HasEscapeRange(bytes))
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = SequenceLength(p + i, n - i);
        if (len == 0) {
            out += QChar(char16_t(EscapeBase + p[i]));
            ++i;
        } else {
            out += QString::fromUtf8(reinterpret_cast<const char*>(p + i), len);
            i += len;
        }
    }
    return out;
}

QByteArray PathToNative(const QString& path)
{
    if (!PathHasEscapes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 2);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n;) {
        if (IsEscapeAt(path, i)) {
            out += char(path.at(i).unicode() - EscapeBase);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && !IsEscapeAt(path, j))
            ++j;
        out += QStringView(path).mid(i, j - i).toUtf8();
        i = j;
    }
    return out;
}

bool PathHasEscapes(const QString& path)
{
    for (qsizetype i = 0; i < path.size(); ++i)
        if (IsEscapeAt(path, i))
            return true;
    return false;
}
