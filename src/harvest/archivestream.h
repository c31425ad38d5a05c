#pragma once
// Disc images and archives read through libarchive: which files count as such, how
// one is opened (from a file or from bytes in memory), and how a member is named in a
// path ("D:/iso/office.iso!/SETUP/SETUP.EXE").

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <memory>

struct archive;
struct archive_entry;

namespace Harvest {

// Between a container's path and the path of a member inside it.
inline constexpr QChar MemberSeparator = u'!';

// How deep archives inside archives are opened: a container inside a container is
// level 2. Deeper ones are passed over.
inline constexpr int MaxNesting = 3;
// The most of an archive held inside another that is read into memory to open it.
inline constexpr qint64 MaxNestedBytes = 512LL * 1024 * 1024;
// The most of a member that is read for its version information and icon. A
// resource that lies further on (behind a large installer's appended data, say) is
// not found.
inline constexpr qint64 MaxMemberBytes = 64LL * 1024 * 1024;

// What searching one disc image or archive may cost in all, the archives inside it
// included, besides the caps on each member above: the bytes inflated (read from its
// members, or passed over in a compressed stream) and the time. A nested archive of
// nested archives, or members that inflate a thousandfold, end at these instead of
// taking the memory or the hour; such a container is passed over as too large.
inline constexpr qint64 MaxInflatedBytes = 512LL * 1024 * 1024;
inline constexpr qint64 MaxSearchMs = 10000;

class TInflateBudget {
public:
    TInflateBudget() : FDeadline(MaxSearchMs) {}
    // Counts BYTES inflated; false once the budget is spent.
    bool Spend(qint64 bytes)
    {
        FSpent += bytes;
        return !Spent();
    }
    bool Spent() const { return FSpent > MaxInflatedBytes || FDeadline.hasExpired(); }
    qint64 Left() const { return qMax<qint64>(0, MaxInflatedBytes - FSpent); }

private:
    QDeadlineTimer FDeadline;
    qint64 FSpent = 0;
};

// NAME (a file name without its folder) is that of an ISO 9660 or UDF image, of a
// zip, 7z, cab or tar archive (compressed tar included), or of a Windows Installer
// package, by its extension in any case.
bool IsContainerName(const QString& name);

class TMsiPackage;

// An archive opened for reading, closed with the object. A Windows Installer package
// reads as an archive of the files it installs: each member of its cabinets, embedded
// or beside the package, named by the path the File, Component and Directory tables
// give it ("/Program Files/Maker/app.exe"). A cabinet beside a package held in memory,
// or one that is missing, gives nothing.
class TArchiveStream {
public:
    // The file at PATH (PathFromNative text), or BYTES, which must outlive the stream.
    // A package is told by its name on disc and by its signature in memory.
    static std::unique_ptr<TArchiveStream> OpenFile(const QString& path);
    static std::unique_ptr<TArchiveStream> OpenMemory(const QByteArray& bytes);
    ~TArchiveStream();
    TArchiveStream(const TArchiveStream&) = delete;
    TArchiveStream& operator=(const TArchiveStream&) = delete;

    enum class TNext { Entry, End, Failed };
    // Moves to the next member; Failed leaves the reason in Error().
    TNext Next();
    // The current member: its path inside the archive, starting with "/", whether it
    // is a regular file, is encrypted, and its size (-1 when the archive does not
    // say).
    const QString& MemberPath() const { return FMemberPath; }
    bool IsFile() const;
    bool IsEncrypted() const;
    qint64 MemberSize() const;
    // Up to LIMIT bytes of the current member; false when its data cannot be read
    // (damaged, encrypted), with the reason in Error().
    bool ReadData(qint64 limit, QByteArray& out);
    // Whether the last ReadData stopped at LIMIT with more to come.
    bool Truncated() const { return FTruncated; }
    QString Error() const;

    // Counts what this stream inflates against BUDGET, which must outlive it; once it
    // is spent, Next and ReadData fail and OverBudget() is true.
    void SetBudget(TInflateBudget* budget) { FBudget = budget; }
    bool OverBudget() const { return FBudget && FBudget->Spent(); }

private:
    explicit TArchiveStream(archive* a);
    struct TPackage;
    static std::unique_ptr<TArchiveStream> OpenPackage(std::unique_ptr<TMsiPackage> package,
                                                       const QString& folder);
    // Opens the package's next cabinet in FArchive; false when there is none left.
    bool NextCabinet();
    // Counts DELIVERED bytes of member data, or the compressed stream's progress for
    // an archive inside one (which holds that data too); false past the budget.
    bool Account(qint64 delivered);
    archive* FArchive;
    TInflateBudget* FBudget = nullptr;
    qint64 FStreamBytes = 0;
    archive_entry* FEntry = nullptr;
    QString FMemberPath;
    QString FError;
    bool FTruncated = false;
    std::unique_ptr<TPackage> FPackage;
};

} // namespace Harvest
