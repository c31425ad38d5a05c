#include "export/unnamedfile.h"

#include "platform/nativepath.h"

#include <QDir>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

using namespace Qt::Literals::StringLiterals;

namespace {

std::atomic<bool> UnnamedAllowed{true};

[[noreturn]] void ThrowErrno(int err) { throw std::system_error(err, std::generic_category()); }

// The file system has no unnamed files (or the kernel does not know them).
bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

} // namespace

void TUnnamedFile::SetUnnamedFilesAllowed(bool allowed) { UnnamedAllowed = allowed; }

TUnnamedFile::TUnnamedFile(const QString& folder)
{
    const QByteArray dir = PathToNative(folder);
    if (UnnamedAllowed) {
        FFd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (FFd >= 0)
            return;
        if (!NoUnnamedFiles(errno))
            ThrowErrno(errno);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = u".Tresmol-%1.xlsx.part"_s.arg(
            QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16, QChar(u'0'));
        const QString path = QDir(folder).filePath(name);
        FFd = ::open(PathToNative(path).constData(),
                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (FFd >= 0) {
            FHiddenPath = path;
            return;
        }
        if (errno != EEXIST)
            ThrowErrno(errno);
    }
    ThrowErrno(EEXIST);
}

TUnnamedFile::~TUnnamedFile()
{
    if (FFd >= 0)
        ::close(FFd);
    if (!FHiddenPath.isEmpty())
        ::unlink(PathToNative(FHiddenPath).constData());
}

bool TUnnamedFile::LinkAs(const QString& path)
{
    const QByteArray dest = PathToNative(path);
    if (FHiddenPath.isEmpty()) {
        // linkat never replaces, and does not follow a link at the new name.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(FFd);
        int rc =
            ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, dest.constData(), AT_SYMLINK_FOLLOW);
        if (rc != 0 && errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
            rc = ::linkat(FFd, "", AT_FDCWD, dest.constData(), AT_EMPTY_PATH);
        if (rc != 0) {
            if (errno == EEXIST)
                return false;
            ThrowErrno(errno);
        }
    } else {
        const QByteArray from = PathToNative(FHiddenPath);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, dest.constData(), RENAME_NOREPLACE) !=
            0) {
            if (errno == EEXIST)
                return false;
            if (errno != EINVAL && errno != ENOSYS)
                ThrowErrno(errno);
            // No renaming without replacing here: a second name, then the first gone.
            if (::link(from.constData(), dest.constData()) != 0) {
                if (errno == EEXIST)
                    return false;
                ThrowErrno(errno);
            }
            ::unlink(from.constData());
        }
        FHiddenPath.clear();
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        ThrowErrno(errno);
    return true;
}
