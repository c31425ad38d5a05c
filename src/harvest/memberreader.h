#pragma once
// Reading the members that the search found inside disc images and archives, by the
// paths it gave them. An archive is a stream: the reader keeps each one open between
// calls, so members asked for in the order the search listed them cost one pass
// through the archive.

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace Harvest {

class TArchiveStream;

class TMemberReader {
public:
    TMemberReader();
    ~TMemberReader();
    TMemberReader(const TMemberReader&) = delete;
    TMemberReader& operator=(const TMemberReader&) = delete;

    // PATH names a member: it is not itself a file or folder on disc, and a part of it
    // before a "!" names a disc image or archive that is.
    static bool IsMemberPath(const QString& path);

    struct TMember {
        QByteArray Bytes; // the first MaxMemberBytes of it
        qint64 Size = 0;  // its whole size
    };
    // The member that PATH names, down through archives inside archives; nothing
    // when there is no such member or its data cannot be read.
    std::optional<TMember> Read(const QString& path);

private:
    struct TLevel;
    std::optional<TMember> Find(size_t level, const QString& rest);
    bool Reopen(size_t level);

    std::vector<std::unique_ptr<TLevel>> FLevels;
};

} // namespace Harvest
