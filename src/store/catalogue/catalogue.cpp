#include "store/catalogue/catalogue.h"

#include "platform/nativepath.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

#include <QDir>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace Catalogue {

QString ConnectionStringFor(const QString& path)
{
    // The connection string has no quoting: a ';' would end the file's name early.
    if (path.contains(u';'))
        throw EDatabaseError(TDbAction::OpenCatalogue, TDbFault::PathHasSemicolon, path);
    return u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path +
           u";Persist Security Info=False"_s;
}

std::unique_ptr<TDataModule1> Open(const QString& path, TBookFields fields)
{
    auto dm = std::make_unique<TDataModule1>(
        nullptr, ConnectionStringFor(QDir::current().absoluteFilePath(path)), fields);
    if (dm->FirstFailure())
        std::rethrow_exception(dm->FirstFailure());
    dm->BookTable.Open();
    return dm;
}

namespace {

// The file names a new catalogue leaves behind it while it is being written.
const char* const Companions[] = {"", "-journal", "-wal", "-shm"};

// A new catalogue is written under a hidden name beside its own, ".NAME.XXXXXX" (six
// letters or digits), with what SQLite writes beside that, and the hidden name goes
// when the catalogue is finished or fails. A run that was killed cannot remove it, so
// the next one here does: a minute untouched and locked by no one is long past any
// run that could still be writing it, since SQLite holds a lock on a file it has open.
constexpr time_t StaleSeconds = 60;

bool LockedByAnyone(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET; // the whole file
    const bool locked = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

// The hidden name's six characters, and what follows them, as mkstemp and SQLite make
// them.
bool IsTemporaryTail(const QByteArray& tail, QByteArray* suffix)
{
    if (tail.size() < 6)
        return false;
    for (int i = 0; i < 6; ++i)
        if (!std::isalnum(static_cast<unsigned char>(tail[i])))
            return false;
    for (const char* s : Companions)
        if (tail.mid(6) == s) {
            *suffix = s;
            return true;
        }
    return false;
}

// Removes what killed runs left beside TARGET (native, absolute) while they wrote a
// new catalogue there.
void RemoveStaleTemporaries(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArrayLiteral("/") : target.left(slash);
    const QByteArray prefix = '.' + target.mid(slash + 1) + '.';
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = std::time(nullptr);
    QList<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        QByteArray suffix;
        if (!name.startsWith(prefix) || !IsTemporaryTail(name.mid(prefix.size()), &suffix))
            continue;
        const QByteArray path = folder + '/' + name;
        const QByteArray main = path.left(path.size() - suffix.size());
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            now - info.st_mtime < StaleSeconds || LockedByAnyone(path) || LockedByAnyone(main))
            continue;
        stale << path;
    }
    ::closedir(dir);
    for (const QByteArray& path : stale)
        ::unlink(path.constData());
}

// A new catalogue's temporary name beside PATH, created empty (an empty file is an
// empty SQLite database); it goes, with what SQLite wrote beside it, unless it is
// published at PATH.
class TTemporaryCatalogue {
public:
    explicit TTemporaryCatalogue(const QString& path) : FTarget(PathToNative(path))
    {
        RemoveStaleTemporaries(FTarget);
        const qsizetype slash = FTarget.lastIndexOf('/');
        QByteArray pattern = FTarget.left(slash + 1) + '.' + FTarget.mid(slash + 1) + ".XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw EDatabaseError(TDbAction::Create, TDbFault::System, path, QString(),
                                 QString::fromLocal8Bit(std::strerror(errno)));
        // mkstemp makes the file private; a catalogue gets the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        FNative = pattern;
    }
    ~TTemporaryCatalogue()
    {
        if (FNative.isEmpty())
            return;
        for (const char* suffix : Companions)
            ::unlink(QByteArray(FNative + suffix).constData());
    }
    TTemporaryCatalogue(const TTemporaryCatalogue&) = delete;
    TTemporaryCatalogue& operator=(const TTemporaryCatalogue&) = delete;

    QString Path() const { return PathFromNative(FNative); }

    // Moves the finished file to its name, never over a file already there.
    void Publish(const QString& path)
    {
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (::access(QByteArray(FNative + suffix).constData(), F_OK) == 0)
                throw EDatabaseError(TDbAction::Create, TDbFault::NotClosed, path);
        int rc = ::renameat2(AT_FDCWD, FNative.constData(), AT_FDCWD, FTarget.constData(),
                             RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without that kind of rename: a hard link fails just as
            // surely when the name is taken.
            rc = ::link(FNative.constData(), FTarget.constData());
            if (rc == 0)
                ::unlink(FNative.constData());
        }
        if (rc != 0)
            throw errno == EEXIST
                ? EDatabaseError(TDbAction::Create, TDbFault::AlreadyExists, path)
                : EDatabaseError(TDbAction::Create, TDbFault::System, path, QString(),
                                 QString::fromLocal8Bit(std::strerror(errno)));
        FNative.clear();
        // The new name is kept on the disk too.
        const qsizetype slash = FTarget.lastIndexOf('/');
        const QByteArray folder = slash <= 0 ? QByteArrayLiteral("/") : FTarget.left(slash);
        const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    QByteArray FTarget;
    QByteArray FNative;
};

// The six empty tables in the empty file PATH.
void WriteTables(const QString& path, const QString& shownPath)
{
    try {
        const TSqliteDatabase db =
            TSqliteDatabase::Open(SqliteUri(path).toUtf8(), TSqliteDatabase::TAccess::ReadWrite);
        db.Exec("PRAGMA journal_mode = WAL");
        TSqliteTransaction transaction(db);
        for (const TTableDef& table : Schema::Tables())
            db.Exec(Schema::CreateTableSql(table).toUtf8());
        // Searching and sorting read the whole table into memory, so the only index
        // that pays is the key's, which SQLite keeps anyway.
        transaction.Commit();
    } catch (const ESqliteError& e) {
        throw EDatabaseError(TDbAction::Create, SqliteFault(e), shownPath, QString(), e.Detail());
    }
}

} // namespace

void Build(const QString& path, const std::function<void(const QString& temporary)>& fill)
{
    const QString absolute = QDir::current().absoluteFilePath(path);
    struct stat info {};
    if (::lstat(PathToNative(absolute).constData(), &info) == 0)
        throw EDatabaseError(TDbAction::Create, TDbFault::AlreadyExists, path);
    TTemporaryCatalogue temporary(absolute);
    WriteTables(temporary.Path(), path);
    if (fill)
        fill(temporary.Path());
    temporary.Publish(path);
}

void Create(const QString& path) { Build(path, {}); }

} // namespace Catalogue
