#include "platform/shell.h"

#include "platform/nativepath.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <cerrno>
#include <cstring>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace Shell {

namespace {

TOpener& Opener()
{
    static TOpener opener;
    return opener;
}

bool Open(const QUrl& url)
{
    if (const TOpener& opener = Opener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

// A local file's address. A name that is not UTF-8 (see PathFromNative) goes by its
// bytes, percent-encoded, which QUrl::fromLocalFile would spell as UTF-8 instead.
QUrl FileUrl(const QString& path)
{
    if (!PathHasEscapes(path))
        return QUrl::fromLocalFile(path);
    return QUrl::fromEncoded(QByteArray("file://") + PathToNative(path).toPercentEncoding("/"),
                             QUrl::StrictMode);
}

struct stat NativeStat(const QString& path, bool* found)
{
    struct stat info {};
    *found = ::stat(PathToNative(path).constData(), &info) == 0;
    return info;
}

// Starts the native executable FILE in FOLDER on its own, both given by their bytes,
// which QProcess would spell as UTF-8: a shell starts it in the background and ends
// at once, so that the program is nobody's child here. Empty when it started.
QString StartByBytes(const QByteArray& file, const QByteArray& folder)
{
    const char* const argv[] = {"sh",
                                "-c",
                                "cd \"$1\" && exec \"$2\" </dev/null &",
                                "sh",
                                folder.constData(),
                                file.constData(),
                                nullptr};
    pid_t pid = 0;
    const int rc =
        ::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ);
    if (rc != 0)
        return QString::fromLocal8Bit(std::strerror(rc));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? QString() : u"sh"_s;
}

} // namespace

bool OpenFile(const QString& path) { return Open(FileUrl(path)); }

bool OpenUrl(const QUrl& url) { return Open(url); }

void SetOpener(TOpener opener) { Opener() = std::move(opener); }

bool IsNativeExecutable(const QString& path)
{
    bool found = false;
    const struct stat info = NativeStat(path, &found);
    return found && S_ISREG(info.st_mode) && ::access(PathToNative(path).constData(), X_OK) == 0 &&
           QFileInfo(path).suffix().compare(u"exe"_s, Qt::CaseInsensitive) != 0;
}

QString StartFile(const QString& path)
{
    // Any name the file system holds, also one that is not UTF-8, is found by its bytes.
    bool found = false;
    NativeStat(path, &found);
    if (!found)
        return u"Файл не найден: %1"_s.arg(path);
    const QFileInfo info(path);
    if (PathHasEscapes(path) && IsNativeExecutable(path)) {
        const QString why =
            StartByBytes(PathToNative(info.absoluteFilePath()), PathToNative(info.absolutePath()));
        return why.isEmpty() ? QString() : u"Не удалось запустить %1: %2"_s.arg(path, why);
    }
    if (IsNativeExecutable(path)) {
        QProcess process;
        process.setProgram(info.absoluteFilePath());
        process.setWorkingDirectory(info.absolutePath());
        process.setStandardInputFile(QProcess::nullDevice());
        if (!process.startDetached())
            return u"Не удалось запустить %1: %2"_s.arg(path, process.errorString());
        return QString();
    }
    if (!OpenFile(info.absoluteFilePath()))
        return u"Нет приложения, которое открыло бы файл %1"_s.arg(path);
    return QString();
}

} // namespace Shell
