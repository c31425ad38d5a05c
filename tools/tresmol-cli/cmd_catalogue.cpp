#include "platform/nativepath.h"
#include "store/catalogue/catalogue.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QDir>
#include <QTextStream>

#include <cctype>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A new catalogue is written under a hidden name beside its own, ".NAME.XXXXXX" (six
// letters or digits), with what SQLite writes beside that, and the hidden name goes
// when the catalogue is finished or fails. A run that was killed cannot remove it, so
// the next one here does: a minute untouched and locked by no one is long past any
// run that could still be writing it, since SQLite holds a lock on a file it has open.
constexpr time_t StaleSeconds = 60;
const char* const TemporarySuffixes[] = {"", "-journal", "-wal", "-shm"};

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
    for (const char* s : TemporarySuffixes)
        if (tail.mid(6) == s) {
            *suffix = s;
            return true;
        }
    return false;
}

} // namespace

void RemoveStaleTemporaries(const QString& catalogue)
{
    const QByteArray target = PathToNative(QDir::current().absoluteFilePath(catalogue));
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

int CmdCreate(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs parsed = ParseCliArgs(args, {}, {u"--empty"_s});
        if (parsed.Positional.size() != 1)
            return Fail(u"usage: tresmol-cli create CATALOGUE [--empty]"_s);
        RemoveStaleTemporaries(parsed.Positional[0]);
        if (parsed.Options.contains(u"--empty"_s))
            Catalogue::Create(parsed.Positional[0]);
        else
            Catalogue::CreateNew(parsed.Positional[0]);
        return 0;
    });
}

int CmdDemo(const QStringList& args)
{
    return RunCommand([&] {
        if (args.size() != 1)
            return Fail(u"usage: tresmol-cli demo CATALOGUE"_s);
        RemoveStaleTemporaries(args[0]);
        Catalogue::CreateDemo(args[0]);
        return 0;
    });
}
