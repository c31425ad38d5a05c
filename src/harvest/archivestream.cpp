#include "harvest/archivestream.h"

#include "harvest/msipackage.h"
#include "platform/nativepath.h"

#include <QHash>
#include <QList>

#include <archive.h>
#include <archive_entry.h>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

// Extensions, compared without regard to case; compressed tar by its two-part names too.
const QStringView ContainerExtensions[] = {
    u".iso", u".udf",  u".zip", u".7z",     u".cab",     u".tar",    u".tgz",
    u".tbz", u".tbz2", u".txz", u".tar.gz", u".tar.bz2", u".tar.xz", u".msi",
};

// The signature of a compound file, which a package is.
constexpr char CompoundSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

constexpr size_t FileBlockSize = 64 * 1024;

archive* NewReader()
{
    archive* a = archive_read_new();
    // Exactly the formats a software collection is kept in; an ISO image's UDF part
    // is read through the ISO 9660 directory that such images carry beside it.
    archive_read_support_format_iso9660(a);
    archive_read_support_format_zip(a);
    archive_read_support_format_7zip(a);
    archive_read_support_format_cab(a);
    archive_read_support_format_tar(a);
    archive_read_support_format_gnutar(a);
    archive_read_support_filter_all(a);
    return a;
}

archive* NewCabinetReader()
{
    archive* a = archive_read_new();
    archive_read_support_format_cab(a);
    return a;
}

} // namespace

struct TArchiveStream::TPackage {
    std::unique_ptr<TMsiPackage> Package;
    QString Folder; // where its outside cabinets lie; empty for one in memory
    QHash<QString, QString> Paths;
    QList<TMsiPackage::TCabinet> Cabinets;
    qsizetype Next = 0;
    QByteArray Bytes; // the embedded cabinet being read
};

bool IsContainerName(const QString& name)
{
    for (const QStringView ext : ContainerExtensions)
        if (name.size() > ext.size() && name.endsWith(ext, Qt::CaseInsensitive))
            return true;
    return false;
}

TArchiveStream::TArchiveStream(archive* a) : FArchive(a) {}

TArchiveStream::~TArchiveStream()
{
    if (FArchive)
        archive_read_free(FArchive);
}

std::unique_ptr<TArchiveStream> TArchiveStream::OpenPackage(std::unique_ptr<TMsiPackage> package,
                                                            const QString& folder)
{
    std::unique_ptr<TArchiveStream> stream(new TArchiveStream(nullptr));
    stream->FPackage = std::make_unique<TPackage>();
    TPackage& p = *stream->FPackage;
    p.Folder = folder;
    if (package) {
        p.Paths = package->InstalledPaths();
        p.Cabinets = package->Cabinets();
    }
    p.Package = std::move(package);
    return stream;
}

bool TArchiveStream::NextCabinet()
{
    TPackage& p = *FPackage;
    if (FArchive) {
        archive_read_free(FArchive);
        FArchive = nullptr;
    }
    p.Bytes.clear();
    while (p.Next < p.Cabinets.size()) {
        const TMsiPackage::TCabinet& cab = p.Cabinets[p.Next++];
        archive* a = NewCabinetReader();
        int r = ARCHIVE_FATAL;
        if (cab.Embedded) {
            if (!p.Package->ReadStream(cab.Name, MaxNestedBytes, p.Bytes)) {
                archive_read_free(a);
                FError = u"cabinet %1 cannot be read"_s.arg(cab.Name);
                return false;
            }
            r = archive_read_open_memory(a, p.Bytes.constData(), size_t(p.Bytes.size()));
        } else if (!p.Folder.isEmpty() && !cab.Name.contains(u'/')) {
            r = archive_read_open_filename(a, PathToNative(p.Folder + cab.Name).constData(),
                                           FileBlockSize);
        }
        if (r == ARCHIVE_OK) {
            FArchive = a;
            return true;
        }
        archive_read_free(a);
        // A damaged embedded cabinet spoils the package; one that was not copied with
        // it only leaves its files out.
        if (cab.Embedded) {
            FError = u"cabinet %1 cannot be read"_s.arg(cab.Name);
            return false;
        }
    }
    return false;
}

std::unique_ptr<TArchiveStream> TArchiveStream::OpenFile(const QString& path)
{
    if (IsPackageName(path.section(u'/', -1))) {
        std::unique_ptr<TMsiPackage> package;
        QString why;
        try {
            package = std::make_unique<TMsiPackage>(path, TMsiPackage::TRead::Contents);
        } catch (const EError& e) {
            why = e.Message();
        }
        std::unique_ptr<TArchiveStream> stream =
            OpenPackage(std::move(package), path.left(path.lastIndexOf(u'/') + 1));
        if (!why.isEmpty())
            stream->FError = why;
        return stream;
    }
    archive* a = NewReader();
    std::unique_ptr<TArchiveStream> stream(new TArchiveStream(a));
    if (archive_read_open_filename(a, PathToNative(path).constData(), FileBlockSize) != ARCHIVE_OK)
        stream->FError = QString::fromUtf8(archive_error_string(a));
    return stream;
}

std::unique_ptr<TArchiveStream> TArchiveStream::OpenMemory(const QByteArray& bytes)
{
    if (bytes.startsWith(QByteArrayView(CompoundSignature, 8))) {
        std::unique_ptr<TMsiPackage> package;
        QString why;
        try {
            package = std::make_unique<TMsiPackage>(bytes, TMsiPackage::TRead::Contents);
        } catch (const EError& e) {
            why = e.Message();
        }
        std::unique_ptr<TArchiveStream> stream = OpenPackage(std::move(package), QString());
        if (!why.isEmpty())
            stream->FError = why;
        return stream;
    }
    archive* a = NewReader();
    std::unique_ptr<TArchiveStream> stream(new TArchiveStream(a));
    if (archive_read_open_memory(a, bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK)
        stream->FError = QString::fromUtf8(archive_error_string(a));
    return stream;
}

bool TArchiveStream::Account(qint64 delivered)
{
    if (!FBudget)
        return true;
    bool within = true;
    if (FArchive && archive_filter_count(FArchive) > 1) {
        // A compressed stream: what it inflated, members passed over included.
        const qint64 now = qint64(archive_filter_bytes(FArchive, 0));
        within = FBudget->Spend(now - FStreamBytes);
        FStreamBytes = now;
    } else {
        within = FBudget->Spend(delivered);
    }
    if (!within)
        FError = u"too large to search"_s;
    return within;
}

TArchiveStream::TNext TArchiveStream::Next()
{
    if (!FError.isEmpty())
        return TNext::Failed;
    if (FPackage && !FArchive && !NextCabinet()) {
        FEntry = nullptr;
        return FError.isEmpty() ? TNext::End : TNext::Failed;
    }
    int r = archive_read_next_header(FArchive, &FEntry);
    // A package's cabinets follow one another as one archive.
    while (FPackage && r == ARCHIVE_EOF) {
        if (!NextCabinet()) {
            FEntry = nullptr;
            return FError.isEmpty() ? TNext::End : TNext::Failed;
        }
        r = archive_read_next_header(FArchive, &FEntry);
    }
    if (!Account(0)) {
        FEntry = nullptr;
        return TNext::Failed;
    }
    if (r == ARCHIVE_EOF)
        return TNext::End;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
        const char* why = archive_error_string(FArchive);
        FError = why ? QString::fromUtf8(why) : u"unreadable"_s;
        FEntry = nullptr;
        return TNext::Failed;
    }
    QString path;
    if (const char* utf8 = archive_entry_pathname_utf8(FEntry))
        path = QString::fromUtf8(utf8);
    else if (const char* raw = archive_entry_pathname(FEntry))
        path = PathFromNative(QByteArray(raw));
    // Members are named from the archive's root, whatever way the archive writes it.
    qsizetype start = 0;
    while (true) {
        if (path.mid(start).startsWith(u"./"))
            start += 2;
        else if (path.mid(start).startsWith(u'/'))
            start += 1;
        else
            break;
    }
    FMemberPath = u'/' + path.mid(start);
    // In a package's cabinet a member is named by its key in the File table.
    if (FPackage)
        FMemberPath = FPackage->Paths.value(path, FMemberPath);
    return TNext::Entry;
}

bool TArchiveStream::IsFile() const { return FEntry && archive_entry_filetype(FEntry) == AE_IFREG; }

bool TArchiveStream::IsEncrypted() const { return FEntry && archive_entry_is_encrypted(FEntry); }

qint64 TArchiveStream::MemberSize() const
{
    return FEntry && archive_entry_size_is_set(FEntry) ? qint64(archive_entry_size(FEntry)) : -1;
}

bool TArchiveStream::ReadData(qint64 limit, QByteArray& out)
{
    out.clear();
    FTruncated = false;
    if (!FArchive || !FEntry)
        return false;
    const qint64 size = MemberSize();
    out.reserve(qsizetype(qBound<qint64>(0, size, limit)));
    char buffer[64 * 1024];
    while (out.size() < limit) {
        const la_ssize_t n = archive_read_data(
            FArchive, buffer, size_t(qMin<qint64>(qint64(sizeof buffer), limit - out.size())));
        if (n < 0) {
            const char* why = archive_error_string(FArchive);
            FError = why ? QString::fromUtf8(why) : u"unreadable"_s;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buffer, qsizetype(n));
        if (!Account(n))
            return false;
    }
    FTruncated = size < 0 || size > limit;
    return true;
}

QString TArchiveStream::Error() const { return FError; }

} // namespace Harvest
