#include "harvest/versionblock.h"

#include "harvest/bytesource.h"

#include <unicode/ucnv.h>

#include <QList>

namespace {

constexpr qsizetype WideHeaderSize = 6;   // wLength, wValueLength, wType
constexpr qsizetype NarrowHeaderSize = 4; // wLength, wValueLength
constexpr quint16 WideTypeText = 1;

// Rounds OFFSET up to a multiple of 4 counted from BASE.
qsizetype Align4(qsizetype offset, qsizetype base)
{
    return base + (((offset - base) + 3) & ~qsizetype(3));
}

} // namespace

TVersionBlock::TVersionBlock(const QByteArray& block) : FBlock(block)
{
    // In the 32-bit form the key starts after the type word, whose high byte is
    // zero; in the older form the key's first letter sits right there.
    FNarrow = block.size() > 4 && static_cast<quint8>(block[4]) >= 0x20;
}

std::optional<TVersionBlock::TNode> TVersionBlock::ParseNode(qsizetype start, qsizetype limit) const
{
    const qsizetype header = FNarrow ? NarrowHeaderSize : WideHeaderSize;
    if (start < 0 || start > limit || limit - start < header)
        return std::nullopt;
    const char* b = FBlock.constData();
    const qsizetype length = LeU16(b + start);
    if (length < header)
        return std::nullopt;
    const quint16 valueLength = LeU16(b + start + 2);

    TNode node;
    node.Start = start;
    node.End = qMin(start + length, limit);

    // The key runs to its zero terminator, or to the end of the node.
    qsizetype pos = start + header;
    if (FNarrow) {
        while (pos < node.End && b[pos] != 0)
            ++pos;
        pos += 1;
    } else {
        while (pos + 2 <= node.End && LeU16(b + pos) != 0)
            pos += 2;
        pos += 2;
    }

    // The value starts on a 4-byte boundary counted from the node's start. The
    // value length counts characters for text, bytes for binary data (and bytes
    // always in the older form); it never reaches past the node.
    qsizetype valueBytes = valueLength;
    if (!FNarrow && LeU16(b + start + 4) == WideTypeText)
        valueBytes *= 2;
    node.ValueStart = qMin(Align4(pos, start), node.End);
    node.ValueLength = qMin(valueBytes, node.End - node.ValueStart);
    node.ChildrenStart = qMin(Align4(node.ValueStart + valueBytes, start), node.End);
    return node;
}

bool TVersionBlock::KeyIs(qsizetype keyStart, qsizetype end, QStringView key) const
{
    // The key in the block runs to its zero terminator or to the end of the node;
    // it must hold exactly KEY's characters, compared without regard to case.
    const char* b = FBlock.constData();
    const qsizetype unit = FNarrow ? 1 : 2;
    qsizetype pos = keyStart;
    for (const QChar wanted : key) {
        if (end - pos < unit)
            return false;
        const QChar mine(FNarrow ? char16_t(static_cast<quint8>(b[pos]))
                                 : char16_t(LeU16(b + pos)));
        if (mine.isNull() || (mine != wanted && mine.toCaseFolded() != wanted.toCaseFolded()))
            return false;
        pos += unit;
    }
    return end - pos < unit || (FNarrow ? b[pos] == 0 : LeU16(b + pos) == 0);
}

std::optional<TVersionBlock::TNode> TVersionBlock::Child(const TNode& parent, QStringView key) const
{
    // Only the lengths are read on the way; a node is parsed once its key matches.
    const qsizetype header = FNarrow ? NarrowHeaderSize : WideHeaderSize;
    qsizetype pos = parent.ChildrenStart;
    while (pos >= 0 && pos <= parent.End && parent.End - pos >= header) {
        const qsizetype length = LeU16(FBlock.constData() + pos);
        if (length < header)
            break;
        if (KeyIs(pos + header, qMin(pos + length, parent.End), key))
            return ParseNode(pos, parent.End);
        pos = Align4(pos + length, parent.Start); // always past the child's header
    }
    return std::nullopt;
}

std::optional<TVersionBlock::TValue> TVersionBlock::Query(QStringView path) const
{
    std::optional<TNode> node = ParseNode(0, FBlock.size());
    // Each component of the path, without building a list of them.
    qsizetype from = 0;
    while (node && from < path.size()) {
        qsizetype to = path.indexOf(u'\\', from);
        if (to < 0)
            to = path.size();
        const QStringView part = path.sliced(from, to - from);
        from = to + 1;
        if (!part.isEmpty())
            node = Child(*node, part);
    }
    if (!node)
        return std::nullopt;
    return ValueOf(*node);
}

std::optional<TVersionBlock::TNode>
TVersionBlock::Node(std::initializer_list<QStringView> components) const
{
    std::optional<TNode> node = ParseNode(0, FBlock.size());
    for (const QStringView part : components) {
        if (!node)
            break;
        node = Child(*node, part);
    }
    return node;
}

TVersionBlock::TValue TVersionBlock::ValueOf(const TNode& node)
{
    return TValue{node.ValueStart, node.ValueLength, node.End - node.ValueStart};
}

std::optional<TVersionBlock::TValue> TVersionBlock::ChildValue(const TNode& parent,
                                                               QStringView key) const
{
    const std::optional<TNode> node = Child(parent, key);
    if (!node)
        return std::nullopt;
    return ValueOf(*node);
}

std::optional<TVersionBlock::TValue>
TVersionBlock::Query(std::initializer_list<QStringView> components) const
{
    const std::optional<TNode> node = Node(components);
    if (!node)
        return std::nullopt;
    return ValueOf(*node);
}

QString TVersionBlock::Text(const TValue& value, quint16 codePage) const
{
    if (value.Length == 0)
        return QString();
    const char* b = FBlock.constData() + value.Offset;
    if (FNarrow) {
        const qsizetype n = qstrnlen(b, static_cast<size_t>(value.Room));
        return DecodeCodePage(QByteArrayView(b, n), codePage);
    }
    qsizetype length = 0;
    while ((length + 1) * 2 <= value.Room && LeU16(b + 2 * length) != 0)
        ++length;
    QString text(length, Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < length; ++i)
        to[i] = LeU16(b + 2 * i);
    return text;
}

QString DecodeCodePage(QByteArrayView bytes, quint16 codePage)
{
    if (bytes.isEmpty())
        return QString();
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = nullptr;
    // The UTF-16 and UTF-32 code pages make no sense for single-byte text.
    const bool wideCodePage =
        codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
    for (const char* form : {"windows-%u", "cp%u", "ibm-%u"}) {
        char name[32];
        if (wideCodePage || codePage == 0)
            break;
        qsnprintf(name, sizeof name, form, unsigned(codePage));
        status = U_ZERO_ERROR;
        converter = ucnv_open(name, &status);
        if (U_SUCCESS(status))
            break;
        converter = nullptr;
    }
    if (!converter) {
        status = U_ZERO_ERROR;
        converter = ucnv_open("windows-1252", &status);
        if (U_FAILURE(status))
            return QString::fromLatin1(bytes);
    }
    QString text(bytes.size() * 2 + 1, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(text.data()),
                                    static_cast<int32_t>(text.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    ucnv_close(converter);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return QString::fromLatin1(bytes);
    text.truncate(n);
    return text;
}
