#include "harvest/iconresource.h"

#include "harvest/bytesource.h"
#include "harvest/peimage.h"
#include "platform/localenames.h"

#include <QList>

#include <algorithm>

namespace {

// The group (GRPICONDIR): reserved word, type 1 for icons, count; then 14-byte
// entries: width, height, colour count, reserved, planes, bit count, bytes, and the
// numeric name of the image resource.
constexpr qsizetype GroupHeaderSize = 6;
constexpr qsizetype GroupEntrySize = 14;
constexpr quint16 GroupTypeIcon = 1;
// The file: the same header, then 16-byte entries that end in the image's offset
// from the start of the file instead of a resource name.
constexpr qsizetype FileEntrySize = 16;

// Bitmap headers an icon image may start with: the core, info and later versions.
constexpr quint32 BitmapHeaderSizes[] = {12, 40, 52, 56, 108, 124};

// More than any real icon holds. Every image read counts against it, kept or not,
// so that a damaged group naming one large resource again and again ends soon.
constexpr qsizetype MaxIconBytes = 16 * 1024 * 1024;
// Real groups list a few dozen images at most; the entries after these are not read.
constexpr qsizetype MaxGroupEntries = 256;

bool IsIconImage(const QByteArray& data)
{
    if (data.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8)))
        return true;
    if (data.size() < 4)
        return false;
    const quint32 header = LeU32(data.constData());
    for (const quint32 size : BitmapHeaderSizes)
        if (header == size)
            return quint64(data.size()) >= size;
    return false;
}

void AppendU16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void AppendU32(QByteArray& out, quint32 v)
{
    AppendU16(out, quint16(v & 0xFFFF));
    AppendU16(out, quint16(v >> 16));
}

} // namespace

std::optional<QByteArray> ReadMainIcon(TByteSource& source, quint16 userLangId)
{
    TResourceReader resources(source, userLangId);
    if (!resources.IsOpen())
        return std::nullopt;
    quint16 groupLang = 0;
    const auto groupData =
        resources.Find(ResourceTypeGroupIcon, std::nullopt, std::nullopt, &groupLang);
    QByteArray group;
    if (!groupData || !resources.Read(*groupData, group) || group.size() < GroupHeaderSize)
        return std::nullopt;
    const char* g = group.constData();
    if (LeU16(g) != 0 || LeU16(g + 2) != GroupTypeIcon)
        return std::nullopt;
    // Only the entries that lie inside the group's data count.
    const qsizetype count =
        std::min<qsizetype>({qsizetype(LeU16(g + 4)),
                             (group.size() - GroupHeaderSize) / GroupEntrySize, MaxGroupEntries});

    struct TImage {
        const char* Entry;
        QByteArray Data;
    };
    QList<TImage> images;
    qsizetype total = 0; // of the images kept
    qsizetype read = 0;  // of every image read
    for (qsizetype i = 0; i < count; ++i) {
        const char* e = g + GroupHeaderSize + i * GroupEntrySize;
        const auto found = resources.Find(ResourceTypeIcon, LeU16(e + 12), groupLang);
        if (!found)
            continue;
        if (found->Size > quint64(MaxIconBytes - read))
            break;
        read += qsizetype(found->Size);
        QByteArray data;
        if (!resources.Read(*found, data) || !IsIconImage(data))
            continue;
        total += data.size();
        images.append({e, std::move(data)});
    }
    if (images.isEmpty())
        return std::nullopt;

    QByteArray ico;
    ico.reserve(GroupHeaderSize + images.size() * FileEntrySize + total);
    AppendU16(ico, 0);
    AppendU16(ico, GroupTypeIcon);
    AppendU16(ico, quint16(images.size()));
    quint32 offset = quint32(GroupHeaderSize + images.size() * FileEntrySize);
    for (const TImage& image : images) {
        // Width, height, colour count, reserved, planes and bit count as the group
        // gives them; the size and place are those of the data written.
        ico.append(image.Entry, 8);
        AppendU32(ico, quint32(image.Data.size()));
        AppendU32(ico, offset);
        offset += quint32(image.Data.size());
    }
    for (const TImage& image : images)
        ico.append(image.Data);
    return ico;
}

std::optional<QByteArray> ReadMainIcon(const QString& fileName)
{
    TFileSource source(fileName);
    if (!source.IsOpen())
        return std::nullopt;
    return ReadMainIcon(source, LocaleNames::UserLangId());
}

std::optional<QByteArray> ReadMainIcon(const QByteArray& image)
{
    TMemorySource source(image);
    return ReadMainIcon(source, LocaleNames::UserLangId());
}
