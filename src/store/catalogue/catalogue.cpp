#include "store/catalogue/catalogue.h"

#include "platform/nativepath.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

#include <QDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// A new catalogue's temporary name beside PATH, created empty (an empty file is an
// empty SQLite database); it goes, with what SQLite wrote beside it, unless it is
// published at PATH.
class TTemporaryCatalogue {
public:
    explicit TTemporaryCatalogue(const QString& path) : FTarget(PathToNative(path))
    {
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
