#include "store/textcolumn.h"

using namespace Qt::Literals::StringLiterals;

TTextColumn::TTextColumn() : FValues{QString(), u""_s}, FShared{1, 1} {}

void TTextColumn::Clear() { *this = TTextColumn(); }

void TTextColumn::Set(int row, QString text)
{
    if (text.isNull()) {
        FSlot[row] = NullSlot;
        return;
    }
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

void TTextColumn::SetUtf8(int row, const char* utf8, int bytes)
{
    if (bytes == 0) {
        FSlot[row] = EmptySlot;
        return;
    }
    if (FSharing) {
        const std::string_view key(utf8, size_t(bytes));
        ++FTries;
        const auto it = FSeen.find(key);
        if (it != FSeen.end()) {
            ++FHits;
            FSlot[row] = it->second;
            FShared[it->second] = 1;
            return;
        }
        if ((FTries >= 4096 && FHits * 4 < FTries) || FSeen.size() >= 65536) {
            FSharing = false;
            FSeen = {};
            FSeenBytes = {};
        } else {
            // Listed values count as shared: rows read later may take them.
            FSeenBytes.emplace_back(key);
            FSeen.emplace(FSeenBytes.back(), quint32(FValues.size()));
            FSlot[row] = quint32(FValues.size());
            FValues.push_back(QString::fromUtf8(utf8, bytes));
            FShared.push_back(1);
            return;
        }
    }
    FSlot[row] = quint32(FValues.size());
    FValues.push_back(QString::fromUtf8(utf8, bytes));
    FShared.push_back(0);
}
