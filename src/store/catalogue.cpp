#include "store/catalogue.h"

#include "platform/nativepath.h"
#include "store/connection.h"
#include "store/datamodule.h"
#include "store/dberrors.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace Catalogue {

namespace {

QAtomicInt Counter;

void Exec(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        throw EDatabaseError(u"Cannot create the catalogue: "_s +
                             TADOConnection::DescribeSqlError(q.lastError().text()));
}

} // namespace

QString ConnectionStringFor(const QString& path)
{
    // The connection string has no quoting: a ';' would end the file's name early.
    if (path.contains(u';'))
        throw EDatabaseError(u"Cannot open the catalogue "_s + path +
                             u": a catalogue's path cannot contain ';'"_s);
    return u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path +
           u";Persist Security Info=False"_s;
}

std::unique_ptr<TDataModule1> Open(const QString& path, TBookFields fields)
{
    QString firstError;
    auto dm = std::make_unique<TDataModule1>(
        [&firstError](const QString& m) {
            if (firstError.isEmpty())
                firstError = m;
        },
        ConnectionStringFor(QDir::current().absoluteFilePath(path)), fields);
    if (!firstError.isEmpty())
        throw EDatabaseError(firstError);
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
            throw EDatabaseError(u"Cannot create the catalogue "_s + path + u": "_s +
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
                throw EDatabaseError(u"Cannot create the catalogue "_s + path +
                                     u": it was not closed completely"_s);
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
            throw EDatabaseError(u"Cannot create the catalogue "_s + path + u": "_s +
                                 (errno == EEXIST ? u"the file already exists"_s
                                                  : QString::fromLocal8Bit(std::strerror(errno))));
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
    const QString name = u"tresmol-create-"_s + QString::number(Counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(SqliteUri(path));
        db.setConnectOptions(u"QSQLITE_OPEN_URI"_s);
        if (!db.open())
            throw EDatabaseError(u"Cannot create the catalogue "_s + shownPath + u": "_s +
                                 TADOConnection::DescribeSqlError(db.lastError().text()));
        QSqlQuery q(db);
        Exec(q, u"PRAGMA journal_mode = WAL"_s);
        db.transaction();
        for (const TTableDef& table : Schema::Tables())
            Exec(q, Schema::CreateTableSql(table));
        // Searching and sorting read the whole table into memory, so the only index
        // that pays is the key's, which SQLite keeps anyway.
        if (!db.commit())
            throw EDatabaseError(u"Cannot create the catalogue "_s + shownPath + u": "_s +
                                 TADOConnection::DescribeSqlError(db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

void Build(const QString& path, const std::function<void(const QString& temporary)>& fill)
{
    const QString absolute = QDir::current().absoluteFilePath(path);
    struct stat info {};
    if (::lstat(PathToNative(absolute).constData(), &info) == 0)
        throw EDatabaseError(u"Cannot create the catalogue "_s + path +
                             u": the file already exists"_s);
    TTemporaryCatalogue temporary(absolute);
    WriteTables(temporary.Path(), path);
    if (fill)
        fill(temporary.Path());
    temporary.Publish(path);
}

void Create(const QString& path) { Build(path, {}); }

} // namespace Catalogue
