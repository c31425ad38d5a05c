#include "store/textcolumn.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

// The most texts a column lists for sharing; a column with more distinct texts than
// this is no column of repeated values.
constexpr quint32 MaxSeen = 65536;
// The characters of a column's first block of texts and of its largest, and the
// longest text laid in one; a longer text has a block of its own, as any QString does.
// Blocks double as the column fills, so that a small catalogue keeps small blocks and a
// large one gets blocks of a huge page (2 MB), which the heap hands out whole.
constexpr qsizetype FirstBlockChars = 32768, LargestBlockChars = qsizetype(1) << 20,
                    MaxLaidChars = 1024;

} // namespace

TTextColumn::TTextColumn() : FValues{QString(), u""_s}, FShared{1, 1}, FBlockChars(FirstBlockChars)
{
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

void TTextColumn::Set(int row, QString text)
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
    // A value of this row alone is changed in place; a shared one is left to the others.
    const quint32 slot = FSlot[row];
    if (!FShared[slot]) {
        FValues[slot] = std::move(text);
        return;
    }
    FSlot[row] = quint32(FValues.size());
    FValues.push_back(std::move(text));
    FShared.push_back(0);
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

QString TTextColumn::Decode(const char* utf8, int bytes)
{
    // UTF-16 takes no more characters than UTF-8 takes bytes; one more ends the text
    // with a zero, as QString keeps it.
    if (bytes >= MaxLaidChars)
        return QString::fromUtf8(utf8, bytes);
    if (!FBlock.d_ptr() || FBlock.freeSpaceAtEnd() < bytes + 1) {
        FBlock = QString::DataPointer(QTypedArrayData<char16_t>::allocate(FBlockChars));
        FBlockChars = std::min(FBlockChars * 2, LargestBlockChars);
    }
    char16_t* start = FBlock.data() + FBlock.size;
    const QChar* end =
        FDecoder.appendToBuffer(reinterpret_cast<QChar*>(start), QByteArrayView(utf8, bytes));
    const qsizetype chars = end - reinterpret_cast<const QChar*>(start);
    start[chars] = 0;
    FBlock.size += chars + 1;
    FBlock.d_ptr()->ref();
    return QString(QString::DataPointer(FBlock.d_ptr(), start, chars));
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
    const quint32 value = quint32(FValues.size());
    if (FSharing) {
        const std::string_view key(utf8, size_t(bytes));
        const quint32 hash = quint32(qHash(QByteArrayView(utf8, bytes)));
        ++FTries;
        const quint32 seen = FindSeen(key, hash);
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
            AddSeen(key, hash, value);
            FSlot[row] = value;
            FValues.push_back(Decode(utf8, bytes));
            FShared.push_back(1);
            return;
        }
    }
    FSlot[row] = value;
    FValues.push_back(Decode(utf8, bytes));
    FShared.push_back(0);
}
