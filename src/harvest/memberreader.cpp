#include "harvest/memberreader.h"

#include "harvest/archivestream.h"
#include "platform/nativepath.h"

#include <sys/stat.h>

namespace Harvest {

namespace {

enum class TKind { None, File, Folder };

TKind KindOf(const QString& path)
{
    struct stat info {};
    if (::stat(PathToNative(path).constData(), &info) != 0)
        return TKind::None;
    return S_ISDIR(info.st_mode) ? TKind::Folder : TKind::File;
}

// Where the container on disc ends in PATH: the first "!/" whose left part is a
// disc image or archive file; -1 when there is none.
qsizetype ContainerEnd(const QString& path)
{
    for (qsizetype at = path.indexOf(u"!/"); at > 0; at = path.indexOf(u"!/", at + 1)) {
        const QString container = path.left(at);
        if (IsContainerName(container.mid(container.lastIndexOf(u'/') + 1)) &&
            KindOf(container) == TKind::File)
            return at;
    }
    return -1;
}

} // namespace

// One archive open at one depth: the file itself, or a member of the level above
// held in memory.
struct TMemberReader::TLevel {
    QString Name;     // the file's path, or the member's path in the level above
    QByteArray Bytes; // a nested archive's bytes
    std::unique_ptr<TArchiveStream> Stream;
};

TMemberReader::TMemberReader() = default;
TMemberReader::~TMemberReader() = default;

bool TMemberReader::IsMemberPath(const QString& path)
{
    return path.contains(u"!/") && KindOf(path) == TKind::None && ContainerEnd(path) > 0;
}

bool TMemberReader::Reopen(size_t level)
{
    FLevels.resize(level + 1);
    TLevel& l = *FLevels[level];
    l.Stream = level == 0 ? TArchiveStream::OpenFile(l.Name) : TArchiveStream::OpenMemory(l.Bytes);
    return l.Stream != nullptr;
}

std::optional<TMemberReader::TMember> TMemberReader::Read(const QString& path)
{
    const qsizetype end = ContainerEnd(path);
    if (end <= 0)
        return std::nullopt;
    const QString container = path.left(end);
    if (FLevels.empty() || FLevels[0]->Name != container) {
        FLevels.clear();
        FLevels.push_back(std::make_unique<TLevel>());
        FLevels[0]->Name = container;
        Reopen(0);
    }
    return Find(0, path.mid(end + 1));
}

// REST is the member's path in the archive at LEVEL, possibly going on with "!/" into
// a member archive. The search goes on from where the stream stands and, when it
// reaches the end, starts once more from the beginning.
std::optional<TMemberReader::TMember> TMemberReader::Find(size_t level, const QString& rest)
{
    // Still inside the archive the last call descended into.
    if (FLevels.size() > level + 1) {
        const QString& inner = FLevels[level + 1]->Name;
        if (rest.size() > inner.size() + 1 && rest.startsWith(inner) &&
            rest.mid(inner.size(), 2) == u"!/") {
            if (auto found = Find(level + 1, rest.mid(inner.size() + 1)))
                return found;
        }
        FLevels.resize(level + 1);
    }
    bool rewound = false;
    while (true) {
        TLevel& l = *FLevels[level];
        const TArchiveStream::TNext next = l.Stream->Next();
        if (next != TArchiveStream::TNext::Entry) {
            if (rewound || !Reopen(level))
                return std::nullopt;
            rewound = true;
            continue;
        }
        if (!l.Stream->IsFile())
            continue;
        const QString& member = l.Stream->MemberPath();
        if (rest == member) {
            TMember found;
            if (!l.Stream->ReadData(MaxMemberBytes, found.Bytes)) {
                Reopen(level);
                return std::nullopt;
            }
            found.Size =
                l.Stream->MemberSize() >= 0 ? l.Stream->MemberSize() : qint64(found.Bytes.size());
            return found;
        }
        if (level + 1 < size_t(MaxNesting) && rest.size() > member.size() + 1 &&
            rest.startsWith(member) && rest.mid(member.size(), 2) == u"!/" &&
            IsContainerName(member.mid(member.lastIndexOf(u'/') + 1))) {
            auto inner = std::make_unique<TLevel>();
            inner->Name = member;
            if (!l.Stream->ReadData(MaxNestedBytes, inner->Bytes) || l.Stream->Truncated()) {
                Reopen(level);
                return std::nullopt;
            }
            FLevels.push_back(std::move(inner));
            Reopen(level + 1);
            if (auto found = Find(level + 1, rest.mid(member.size() + 1)))
                return found;
            FLevels.resize(level + 1);
        }
    }
}

} // namespace Harvest
