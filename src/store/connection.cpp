#include "store/connection.h"

#include "platform/nativepath.h"
#include "store/dataset.h"
#include "store/dberrors.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QAtomicInt ConnectionCounter;

QString Quoted(const QString& path) { return u'"' + path + u'"'; }

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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
    : FConnectionString(std::move(connectionString)),
      FName(u"tresmol-"_s + QString::number(ConnectionCounter.fetchAndAddRelaxed(1)))
{
}

TADOConnection::~TADOConnection()
{
    for (TDataSet* ds : std::vector<TDataSet*>(FDataSets))
        ds->DetachConnection();
    if (FDb.isValid()) {
        FDb.close();
        FDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(FName);
    }
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
    if (FConnected)
        QSqlQuery(u"PRAGMA busy_timeout = "_s + QString::number(ms), FDb);
}

sqlite3* TADOConnection::SqliteHandle() const
{
    if (!FConnected)
        return nullptr;
    const QVariant v = FDb.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

sqlite3* TADOConnection::OpenSideHandle(bool writable) const
{
    if (!FConnected)
        return nullptr;
    // A handle of one thread at a time needs no mutex of its own.
    const int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX |
                      (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(FUri.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, writable ? 0 : FBusyTimeoutMs);
    return db;
}

void TADOConnection::RegisterDataSet(TDataSet* ds) { FDataSets.push_back(ds); }

void TADOConnection::UnregisterDataSet(TDataSet* ds)
{
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}

void TADOConnection::CheckFileIsCatalogue(const QString& path)
{
    const QString prefix = u"Cannot open the catalogue file "_s + Quoted(path) + u": "_s;
    if (path.isEmpty())
        throw EDatabaseError(u"The connection string names no catalogue file (Data Source)"_s);
    const QByteArray native = PathToNative(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        throw EDatabaseError(prefix +
                             (errno == ENOENT ? u"the file does not exist"_s : SystemError(errno)));
    if (S_ISDIR(info.st_mode))
        throw EDatabaseError(prefix + u"it is a folder, not a file"_s);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EDatabaseError(prefix + SystemError(errno));
    QByteArray head(100, '\0');
    const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
    const int readError = errno;
    ::close(fd);
    if (got < 0)
        throw EDatabaseError(prefix + SystemError(readError));
    head.truncate(got);
    if (head.isEmpty())
        throw EDatabaseError(prefix + u"the file is empty"_s);
    // A Jet/Access file carries its engine name at offset 4.
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        throw EDatabaseError(prefix + u"it is a Microsoft Access (Jet) database. "_s
                                      u"Convert it to a Tresmol catalogue (SQLite) first"_s);
    if (!head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        throw EDatabaseError(prefix + u"it is not a catalogue file (unknown format)"_s);
}

void TADOConnection::Open()
{
    if (FConnected)
        return;
    const QString path = DataSourcePath();
    CheckFileIsCatalogue(path);

    if (!FDb.isValid())
        FDb = QSqlDatabase::addDatabase(u"QSQLITE"_s, FName);
    // Where nothing can be written (a disc, a read-only mount, a folder the user may
    // not write to) the write-ahead log cannot keep its shared-memory file beside the
    // catalogue. No one can change the file there either, so it is opened as
    // immutable: read without the shared memory and without locks.
    FReadOnlyMedia = FolderIsReadOnly(path);
    FUri = SqliteUri(path, FReadOnlyMedia ? u"immutable=1"_s : QString());
    FDb.setDatabaseName(FUri);
    QString options = u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s + QString::number(FBusyTimeoutMs);
    if (ReadOnlyMode() || FReadOnlyMedia)
        options += u";QSQLITE_OPEN_READONLY"_s;
    FDb.setConnectOptions(options);
    const QString prefix = u"Cannot open the catalogue file "_s + Quoted(path) + u": "_s;
    if (!FDb.open())
        throw EDatabaseError(prefix + DescribeSqlError(FDb.lastError().text()));

    // Everything up to here only reads, so a file that turns out not to be a
    // catalogue is left exactly as it was.
    QSqlQuery q(FDb);
    if (!q.exec(u"SELECT name FROM sqlite_master WHERE type = 'table'"_s)) {
        const QString err = DescribeSqlError(q.lastError().text());
        FDb.close();
        throw EDatabaseError(prefix + err);
    }
    QStringList present;
    while (q.next())
        present << q.value(0).toString().toLower();
    for (const TTableDef& table : Schema::Tables()) {
        if (!present.contains(table.Name.toLower())) {
            FDb.close();
            throw EDatabaseError(prefix + u"it holds no table "_s + table.Name +
                                 u"; it is not a Tresmol catalogue"_s);
        }
        const QSqlRecord rec = FDb.record(table.Name);
        for (const TColumnDef& column : table.Columns) {
            if (rec.indexOf(column.Name) < 0) {
                FDb.close();
                throw EDatabaseError(prefix + u"the table "_s + table.Name + u" has no column "_s +
                                     column.Name);
            }
        }
    }
    // Write-ahead logging: a crash never leaves a half-written catalogue, and readers
    // in other processes do not block a writer. A read-only file keeps its mode.
    if (!ReadOnlyMode() && !FReadOnlyMedia) {
        QSqlQuery(u"PRAGMA journal_mode = WAL"_s, FDb);
        // In WAL mode NORMAL keeps every commit safe from a killed process and the
        // file safe from corruption; only an OS crash may lose the last commits.
        // FULL would add a disk flush to every post.
        QSqlQuery(u"PRAGMA synchronous = NORMAL"_s, FDb);
        // The log is copied into the file (a checkpoint, two disk flushes) once it
        // holds this many pages, not SQLite's 1,000: a harvest posts a record every
        // few pages, and at the default it waited on the disk every few hundred files.
        QSqlQuery(u"PRAGMA wal_autocheckpoint = 8000"_s, FDb);
    }
    FConnected = true;
}

void TADOConnection::Close()
{
    if (!FConnected)
        return;
    for (TDataSet* ds : std::vector<TDataSet*>(FDataSets))
        ds->Close();
    FDb.close();
    FConnected = false;
}

void TADOConnection::CloseForExit()
{
    if (!FConnected)
        return;
    // A statement still open would keep the file from closing.
    for (TDataSet* ds : FDataSets)
        ds->FGateway.Release();
    FDb.close();
    FConnected = false;
}

QString TADOConnection::DescribeSqlError(const QString& driverText)
{
    // Every text the driver may give is turned into its cause here, and only here.
    const QString lower = driverText.toLower();
    if (lower.contains(u"readonly"_s) || lower.contains(u"read-only"_s))
        return u"the catalogue file is read-only; the change was not saved"_s;
    if (lower.contains(u"locked"_s) || lower.contains(u"busy"_s))
        return u"the catalogue file is locked by another program; the change was not saved, "_s
               u"try again in a moment"_s;
    if (lower.contains(u"not a database"_s))
        return u"it is not a catalogue file (the file is damaged or of another kind)"_s;
    if (lower.contains(u"malformed"_s) || lower.contains(u"corrupt"_s))
        return u"the catalogue file is damaged; restore it from a backup copy"_s;
    if ((lower.contains(u"disk"_s) || lower.contains(u"database"_s)) && lower.contains(u"full"_s))
        return u"the disk is full; the change was not saved"_s;
    if (lower.contains(u"disk i/o"_s) || lower.contains(u"i/o error"_s))
        return u"the catalogue file could not be read or written (an input/output error of "_s
               u"the disk)"_s;
    if (lower.contains(u"unable to open"_s) || lower.contains(u"cannot open"_s))
        return u"the catalogue file could not be opened"_s;
    if (lower.contains(u"parameter count mismatch"_s) || lower.contains(u"no such"_s) ||
        lower.contains(u"constraint"_s) || lower.contains(u"trigger"_s) ||
        lower.contains(u"syntax error"_s))
        return u"the catalogue file refuses the change (it was altered by another program: "_s +
               driverText.trimmed() + u')';
    return driverText.trimmed();
}

QString TADOConnection::Failure(const QString& what, const QString& driverText) const
{
    return what + u" ("_s + Quoted(DataSourcePath()) + u"): "_s + DescribeSqlError(driverText);
}
