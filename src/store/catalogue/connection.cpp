#include "store/catalogue/connection.h"

#include "platform/nativepath.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

#include <QDir>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The login name of user UID, or its number when the system knows no name for it.
QString UserName(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

// The catalogue files this process has open, by device and inode. Closing any
// descriptor of a file drops every POSIX lock the process holds on it, SQLite's
// included; another process could then take the file for itself and remove the log
// under this one's feet. So a file already open here is never opened outside SQLite
// again: it is a catalogue, or it would not be open.
class TOpenFiles {
public:
    using TKey = std::pair<dev_t, ino_t>;
    void Add(TKey key)
    {
        std::lock_guard lock(FMutex);
        ++FCount[key];
    }
    void Remove(TKey key)
    {
        std::lock_guard lock(FMutex);
        if (--FCount[key] <= 0)
            FCount.erase(key);
    }
    bool Contains(TKey key)
    {
        std::lock_guard lock(FMutex);
        return FCount.contains(key);
    }

private:
    std::mutex FMutex;
    std::map<TKey, int> FCount;
};

TOpenFiles& OpenFiles()
{
    static TOpenFiles files;
    return files;
}

// The folder of the file NATIVE, as the system names it.
QByteArray NativeFolder(const QByteArray& native)
{
    const qsizetype slash = native.lastIndexOf('/');
    return slash < 0    ? QByteArrayLiteral(".")
           : slash == 0 ? QByteArrayLiteral("/")
                        : native.left(slash);
}

} // namespace

QString SqliteUri(const QString& path, const QString& query)
{
    // Percent-encoded bytes reach the file system unchanged, so that a name that is not
    // valid UTF-8 opens as well (Qt would hand SQLite its text in UTF-8).
    const QByteArray native = PathToNative(path);
    return u"file:"_s + QString::fromLatin1(native.toPercentEncoding("/")) +
           (query.isEmpty() ? QString() : u'?' + query);
}

bool FolderIsReadOnly(const QString& path)
{
    const QByteArray folder = NativeFolder(PathToNative(path));
    struct statvfs fs {};
    if (::statvfs(folder.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY))
        return true;
    return ::access(folder.constData(), W_OK) != 0;
}

QString ConnectionStringValue(const QString& connectionString, const QString& key)
{
    for (const QString& part : connectionString.split(u';')) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return {};
}

TADOConnection::TADOConnection(QString connectionString)
    : FConnectionString(std::move(connectionString))
{
}

TADOConnection::~TADOConnection()
{
    for (TDataSet* ds : std::vector<TDataSet*>(FDataSets))
        ds->DetachConnection();
    if (FConnected)
        OpenFiles().Remove(FFileKey);
}

void TADOConnection::SetConnectionString(const QString& s)
{
    if (FConnected)
        throw EDatabaseError(u"Cannot change the connection string of an open connection"_s);
    FConnectionString = s;
}

QString TADOConnection::DataSourcePath() const
{
    const QString source = ConnectionStringValue(FConnectionString, u"Data Source"_s);
    return source.isEmpty() ? QString() : QDir::current().absoluteFilePath(source);
}

std::optional<QString> TADOConnection::DataSourceName() const
{
    const QString key = u";Data Source="_s;
    const qsizetype at = FConnectionString.indexOf(key);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + key.size();
    const qsizetype end = FConnectionString.indexOf(u';', start);
    if (end < 0)
        return std::nullopt;
    return FConnectionString.mid(start, end - start);
}

bool TADOConnection::ReadOnlyMode() const
{
    return ConnectionStringValue(FConnectionString, u"Mode"_s)
               .compare(u"Read"_s, Qt::CaseInsensitive) == 0;
}

void TADOConnection::SetBusyTimeoutMs(int ms)
{
    FBusyTimeoutMs = ms;
    FDb.SetBusyTimeout(ms);
}

const TSqliteDatabase& TADOConnection::Database(const QString& subject) const
{
    if (!FConnected)
        throw EDatabaseError(TDbAction::None, TDbFault::Closed, QString(), subject);
    return FDb;
}

TSqliteDatabase TADOConnection::OpenSideHandle(bool writable) const
{
    if (!FConnected)
        return {};
    try {
        TSqliteDatabase db =
            TSqliteDatabase::Open(FUri.toUtf8(), writable ? TSqliteDatabase::TAccess::ReadWrite
                                                          : TSqliteDatabase::TAccess::ReadOnly);
        db.SetBusyTimeout(writable ? 0 : FBusyTimeoutMs);
        return db;
    } catch (const ESqliteError&) {
        return {};
    }
}

void TADOConnection::RegisterDataSet(TDataSet* ds) { FDataSets.push_back(ds); }

void TADOConnection::UnregisterDataSet(TDataSet* ds)
{
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}

void TADOConnection::CheckFileIsCatalogue(const QString& path)
{
    const auto fail = [&path](TDbFault fault, const QString& detail = QString()) {
        return EDatabaseError(TDbAction::OpenFile, fault, path, QString(), detail);
    };
    if (path.isEmpty())
        throw EDatabaseError(TDbAction::None, TDbFault::NoDataSource, path);
    const QByteArray native = PathToNative(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        throw errno == ENOENT ? fail(TDbFault::NoSuchFile)
                              : fail(TDbFault::System, SystemError(errno));
    if (S_ISDIR(info.st_mode))
        throw fail(TDbFault::IsFolder);
    FFileKey = {info.st_dev, info.st_ino};
    if (OpenFiles().Contains(FFileKey))
        return;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw fail(TDbFault::System, SystemError(errno));
    QByteArray head(100, '\0');
    const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
    const int readError = errno;
    ::close(fd);
    if (got < 0)
        throw fail(TDbFault::System, SystemError(readError));
    head.truncate(got);
    if (head.isEmpty())
        throw fail(TDbFault::EmptyFile);
    // A Jet/Access file carries its engine name at offset 4.
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        throw fail(TDbFault::JetFile);
    if (!head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        throw fail(TDbFault::UnknownFormat);
}

void TADOConnection::CheckTables() const
{
    const auto fail = [this](TDbFault fault, const QString& table, const QString& column = {}) {
        return EDatabaseError(TDbAction::OpenFile, fault, DataSourcePath(), table, column);
    };
    QSet<QString> present;
    TSqliteStatement tables = FDb.Prepare("SELECT name FROM sqlite_master WHERE type = 'table'");
    while (tables.Step())
        present.insert(tables.Text(0).toLower());
    for (const TTableDef& table : Schema::Tables()) {
        if (!present.contains(table.Name.toLower()))
            throw fail(TDbFault::MissingTable, table.Name);
        QSet<QString> columns;
        TSqliteStatement info =
            FDb.Prepare((u"PRAGMA table_info("_s + SqlName(table.Name) + u')').toUtf8());
        while (info.Step())
            columns.insert(info.Text(1).toLower());
        for (const TColumnDef& column : table.Columns)
            if (!columns.contains(column.Name.toLower()))
                throw fail(TDbFault::MissingColumn, table.Name, column.Name);
    }
}

namespace {

// The state of the log beside a catalogue that this user cannot write.
enum class TLogState { NoneOrEmpty, WithIndex, WithoutIndex };

TLogState LogState(const QByteArray& native)
{
    struct stat log {};
    struct stat index {};
    if (::stat(QByteArray(native + "-wal").constData(), &log) != 0 || log.st_size == 0)
        return TLogState::NoneOrEmpty;
    return ::stat(QByteArray(native + "-shm").constData(), &index) == 0 ? TLogState::WithIndex
                                                                        : TLogState::WithoutIndex;
}

} // namespace

void TADOConnection::Open()
{
    if (FConnected)
        return;
    const QString path = DataSourcePath();
    CheckFileIsCatalogue(path);

    // SQLite makes the log and its index beside the catalogue as the user who first
    // opens it, with the catalogue's mode: made by a user who may only read, they would
    // then keep its owner from writing. So a user who cannot write the file (or its
    // folder: a disc, a read-only mount) opens it in a way that makes nothing there and
    // still sees every committed record:
    //  - the owner's log and index are both there (the owner's program has the file
    //    open, or was killed): read through them, read-only;
    //  - no log, or an empty one: every committed record is in the file itself, which
    //    is read as immutable, without the index and without locks; what its owner
    //    commits after that is seen at the next open;
    //  - a log without its index: reading it would need a new index file, so the open
    //    is refused rather than show an older state.
    const QByteArray native = PathToNative(path);
    FReadOnlyMedia = FolderIsReadOnly(path) || ::access(native.constData(), W_OK) != 0;
    bool immutable = false;
    if (FReadOnlyMedia) {
        switch (LogState(native)) {
        case TLogState::NoneOrEmpty:
            immutable = true;
            break;
        case TLogState::WithIndex:
            break;
        case TLogState::WithoutIndex:
            throw EDatabaseError(TDbAction::OpenFile, TDbFault::LogWithoutIndex, path,
                                 QDir::toNativeSeparators(path + u"-wal"_s));
        }
    }
    FImmutable = immutable;
    FUri = SqliteUri(path, immutable ? u"immutable=1"_s : QString());
    try {
        FDb = TSqliteDatabase::Open(FUri.toUtf8(), ReadOnlyMode() || FReadOnlyMedia
                                                       ? TSqliteDatabase::TAccess::ReadOnly
                                                       : TSqliteDatabase::TAccess::ReadWrite);
        FDb.SetBusyTimeout(FBusyTimeoutMs);
        // Everything up to here only reads, so a file that turns out not to be a
        // catalogue is left exactly as it was.
        CheckTables();
        // Write-ahead logging: a crash never leaves a half-written catalogue, and
        // readers in other processes do not block a writer. A read-only file keeps its
        // mode.
        if (!ReadOnlyMode() && !FReadOnlyMedia)
            FDb.Exec(
                // In WAL mode NORMAL keeps every commit safe from a killed process and
                // the file safe from corruption; only an OS crash may lose the last
                // commits. FULL would add a disk flush to every post.
                //
                // The log is copied into the file (a checkpoint, two disk flushes) once
                // it holds this many pages, not SQLite's 1,000: a harvest posts a
                // record every few pages, and at the default it waited on the disk
                // every few hundred files.
                "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; "
                "PRAGMA wal_autocheckpoint = 8000;");
    } catch (const ESqliteError& e) {
        FDb.Close();
        throw Failure(TDbAction::OpenFile, e);
    } catch (...) {
        FDb.Close();
        throw;
    }
    OpenFiles().Add(FFileKey);
    FConnected = true;
}

void TADOConnection::Close()
{
    if (!FConnected)
        return;
    for (TDataSet* ds : std::vector<TDataSet*>(FDataSets))
        ds->Close();
    FDb.Close();
    OpenFiles().Remove(FFileKey);
    FConnected = false;
}

void TADOConnection::CloseForExit()
{
    if (!FConnected)
        return;
    // A statement still open would keep the file from closing.
    for (TDataSet* ds : FDataSets)
        ds->FGateway.Release();
    FDb.Close();
    OpenFiles().Remove(FFileKey);
    FConnected = false;
}

TDbFault SqliteFault(const ESqliteError& error)
{
    // Every result code SQLite may give is turned into its cause here, and only here.
    switch (error.PrimaryCode()) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return TDbFault::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return TDbFault::Locked;
    case SQLITE_NOTADB:
        return TDbFault::NotADatabase;
    case SQLITE_CORRUPT:
        return TDbFault::Damaged;
    case SQLITE_FULL:
        return TDbFault::DiskFull;
    case SQLITE_IOERR:
        return TDbFault::InputOutput;
    case SQLITE_CANTOPEN:
        return TDbFault::CannotOpen;
    case SQLITE_CONSTRAINT:
    case SQLITE_ERROR:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
    case SQLITE_SCHEMA:
        return TDbFault::Refused;
    default:
        return TDbFault::Other;
    }
}

EDatabaseError TADOConnection::Failure(TDbAction action, const ESqliteError& error,
                                       const QString& subject) const
{
    const TDbFault fault = SqliteFault(error);
    const QString path = DataSourcePath();
    // A write refused although the catalogue itself may be written: the log or its
    // index beside it belongs to someone else (left by another user's program). Only
    // that user, or whoever may clean the folder, can remove it, so it is named.
    if (fault == TDbFault::ReadOnly && !FReadOnlyMedia) {
        const QByteArray native = PathToNative(path);
        for (const char* suffix : {"-wal", "-shm"}) {
            const QByteArray side = native + suffix;
            struct stat info {};
            if (::stat(side.constData(), &info) == 0 && ::access(side.constData(), W_OK) != 0)
                return EDatabaseError(action, TDbFault::SideFileOfAnotherUser, path,
                                      path + QString::fromLatin1(suffix), UserName(info.st_uid));
        }
    }
    return EDatabaseError(action, fault, path, subject, error.Detail().trimmed());
}
