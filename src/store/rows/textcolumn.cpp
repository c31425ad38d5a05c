#include "store/rows/textcolumn.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>

namespace {

// The most texts a column lists for sharing; a column with more distinct texts than
// this is no column of repeated values.
constexpr quint32 MaxSeen = 65536;
// The bytes of a column's first block of texts and of its largest, and the longest
// text laid in one; a longer text has a block of its own. Blocks double as the column
// fills, so that a small catalogue keeps small blocks and a large one large blocks,
// which the allocator maps apart and gives back to the system whole when the column
// is cleared.
constexpr size_t FirstBlock = 16384, LargestBlock = size_t(4) << 20, MaxLaid = 4096;

} // namespace

QString TTextColumn::Read(QUtf8StringView bytes)
{
    if (bytes.isNull())
        return QString();
    if (bytes.size() >= 3 && bytes.data()[0] == '\xEF' && bytes.data()[1] == '\xBB' &&
        bytes.data()[2] == '\xBF')
        return QChar(0xFEFF) + QString::fromUtf8(bytes.sliced(3));
    return QString::fromUtf8(bytes);
}

QUtf8StringView TTextColumn::Bytes(quint32 value) const
{
    if (value == NullSlot)
        return QUtf8StringView();
    if (value == EmptySlot)
        return QUtf8StringView("", 0);
    const quint64 at = FValues[value];
    const char* p = FBlocks[size_t(at >> 32)].get() + quint32(at);
    size_t size = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(*p++);
        size |= size_t(b & 0x7F) << shift;
        if (b < 0x80)
            break;
    }
    return QUtf8StringView(p, qsizetype(size));
}

void TTextColumn::Reserve(int rows)
{
    FRoom = rows;
    if (!FAllNull)
        FSlot.reserve(size_t(rows));
}

void TTextColumn::FillSlots()
{
    FSlot.reserve(size_t(std::max(FRoom, FRows)));
    FSlot.assign(size_t(FRows), NullSlot);
    FAllNull = false;
}

void TTextColumn::Clear() { *this = TTextColumn(); }

quint64 TTextColumn::Lay(std::string_view bytes)
{
    int lengthBytes = 1;
    for (size_t n = bytes.size() >> 7; n != 0; n >>= 7)
        ++lengthBytes;
    const size_t need = size_t(lengthBytes) + bytes.size();
    size_t block, offset;
    if (need > MaxLaid) {
        FBlocks.push_back(std::make_unique_for_overwrite<char[]>(need));
        block = FBlocks.size() - 1;
        offset = 0;
    } else {
        if (FBlocks.empty() || FFillUsed + need > FFillSize) {
            FNextSize = std::clamp(FNextSize * 2, FirstBlock, LargestBlock);
            FBlocks.push_back(std::make_unique_for_overwrite<char[]>(FNextSize));
            FFill = FBlocks.size() - 1;
            FFillUsed = 0;
            FFillSize = FNextSize;
        }
        block = FFill;
        offset = FFillUsed;
        FFillUsed += need;
    }
    char* p = FBlocks[block].get() + offset;
    for (size_t n = bytes.size();; n >>= 7) {
        *p++ = char((n & 0x7F) | (n >= 0x80 ? 0x80 : 0));
        if (n < 0x80)
            break;
    }
    std::memcpy(p, bytes.data(), bytes.size());
    return (quint64(block) << 32) | quint64(offset);
}

void TTextColumn::SetOwn(int row, std::string_view bytes)
{
    const quint64 at = Lay(bytes);
    // A value of this row alone is changed in place; a shared one is left to the others.
    const quint32 slot = FSlot[row];
    if (!FShared[slot]) {
        FValues[slot] = at;
        return;
    }
    FSlot[row] = quint32(FValues.size());
    FValues.push_back(at);
    FShared.push_back(0);
}

void TTextColumn::Set(int row, QStringView text)
{
    if (text.isNull()) {
        if (!FAllNull)
            FSlot[row] = NullSlot;
        return;
    }
    if (FAllNull)
        FillSlots();
    if (text.isEmpty()) {
        FSlot[row] = EmptySlot;
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    FBytes += size_t(utf8.size());
    SetOwn(row, std::string_view(utf8.constData(), size_t(utf8.size())));
}

quint32 TTextColumn::FindSeen(std::string_view key, quint32 hash) const
{
    if (FSeen.empty())
        return ~0u;
    const size_t mask = FSeen.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const TSeen& s = FSeen[at];
        if (s.Value == ~0u)
            return ~0u;
        if (s.Hash == hash && s.Bytes == key.size() &&
            std::memcmp(FSeenBytes.data() + s.Start, key.data(), key.size()) == 0)
            return s.Value;
    }
}

void TTextColumn::AddSeen(std::string_view key, quint32 hash, quint32 value)
{
    // Kept at most half full, so that a search ends after a step or two.
    if ((FSeenCount + 1) * 2 > FSeen.size()) {
        std::vector<TSeen> old = std::move(FSeen);
        FSeen.assign(old.empty() ? 64 : old.size() * 2, TSeen());
        const size_t mask = FSeen.size() - 1;
        for (const TSeen& s : old) {
            if (s.Value == ~0u)
                continue;
            size_t at = s.Hash & mask;
            while (FSeen[at].Value != ~0u)
                at = (at + 1) & mask;
            FSeen[at] = s;
        }
    }
    const size_t mask = FSeen.size() - 1;
    size_t at = hash & mask;
    while (FSeen[at].Value != ~0u)
        at = (at + 1) & mask;
    FSeen[at] = {hash, value, quint32(FSeenBytes.size()), quint32(key.size())};
    FSeenBytes.insert(FSeenBytes.end(), key.begin(), key.end());
    ++FSeenCount;
}

void TTextColumn::StopSharing()
{
    FSharing = false;
    // From here on every row brings a value of its own.
    const size_t values = std::max({FValues.size(), FSlot.capacity(), size_t(FRoom)}) + 2;
    FValues.reserve(values);
    FShared.reserve(values);
    FSeen = {};
    FSeenBytes = {};
    FSeenCount = 0;
}

void TTextColumn::SetUtf8(int row, const char* utf8, int bytes)
{
    if (FAllNull)
        FillSlots();
    if (bytes == 0) {
        FSlot[row] = EmptySlot;
        return;
    }
    std::string_view key(utf8, size_t(bytes));
    QByteArray repaired;
    // Bytes seen before are valid: only new ones are checked. Valid is UTF-8 as RFC
    // 3629 has it (no overlong forms, no surrogates, nothing past U+10FFFF): such bytes
    // read as a text that writes back to the same bytes.
    const auto repair = [&] {
        if (QByteArrayView(key.data(), qsizetype(key.size())).isValidUtf8())
            return false;
        repaired = QString::fromUtf8(utf8, bytes).toUtf8();
        FBytes += size_t(repaired.size()) - key.size();
        key = std::string_view(repaired.constData(), size_t(repaired.size()));
        return true;
    };
    const quint32 value = quint32(FValues.size());
    // The bytes held, when they are valid: repaired ones are counted below.
    FBytes += key.size();
    if (FSharing) {
        const auto hashOf = [](std::string_view k) {
            return quint32(qHash(QByteArrayView(k.data(), qsizetype(k.size()))));
        };
        quint32 hash = hashOf(key);
        ++FTries;
        quint32 seen = FindSeen(key, hash);
        if (seen == ~0u && repair()) {
            hash = hashOf(key);
            seen = FindSeen(key, hash);
        }
        if (seen != ~0u) {
            ++FHits;
            FSlot[row] = seen;
            FShared[seen] = 1;
            return;
        }
        if ((FTries >= 4096 && FHits * 4 < FTries) || FSeenCount >= MaxSeen) {
            StopSharing();
        } else {
            // Listed values count as shared: rows read later may take them.
            FSlot[row] = value;
            FValues.push_back(Lay(key));
            FShared.push_back(1);
            AddSeen(key, hash, value);
            return;
        }
    } else {
        repair();
    }
    FSlot[row] = value;
    FValues.push_back(Lay(key));
    FShared.push_back(0);
}
