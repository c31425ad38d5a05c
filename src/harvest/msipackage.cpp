#include "harvest/msipackage.h"

#include "platform/nativepath.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

// The helper, started at the first question and kept for the next ones: a scan reads
// its packages at the cost of a round trip each, not of a process. It speaks over a
// socket (a dead helper gives an error, not SIGPIPE): each question and each answer
// is a 32-bit length and that many bytes of QDataStream.
class THelper {
public:
    THelper() = default;
    ~THelper() { Stop(); }
    THelper(const THelper&) = delete;
    THelper& operator=(const THelper&) = delete;

    // The answer to QUESTION; false when the helper cannot be had, ended or took too
    // long (it is then stopped, and the next question starts a new one).
    bool Ask(const QByteArray& question, QByteArray& answer)
    {
        if (FPid < 0 && !Start())
            return false;
        const QDeadlineTimer deadline(PackageHelperTimeoutMs);
        const quint32 size = quint32(question.size());
        const QByteArray frame =
            QByteArray(reinterpret_cast<const char*>(&size), sizeof size) + question;
        if (!Send(frame.constData(), size_t(frame.size()), deadline)) {
            Stop();
            return false;
        }
        quint32 length = 0;
        if (!Receive(reinterpret_cast<char*>(&length), sizeof length, deadline)) {
            Stop();
            return false;
        }
        answer.resize(qsizetype(length));
        if (!Receive(answer.data(), length, deadline)) {
            Stop();
            return false;
        }
        return true;
    }

private:
    bool Start()
    {
        const QString helper = PackageHelperPath();
        if (helper.isEmpty())
            return false;
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pair[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pair[1], STDOUT_FILENO);
        const QByteArray program = PathToNative(helper);
        char* argv[] = {const_cast<char*>(program.constData()), nullptr};
        pid_t pid = -1;
        const int r = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pair[1]);
        if (r != 0) {
            ::close(pair[0]);
            return false;
        }
        FPid = pid;
        FSocket = pair[0];
        // Our end waits in poll only when there is nothing to read or no room to write.
        ::fcntl(FSocket, F_SETFL, ::fcntl(FSocket, F_GETFL) | O_NONBLOCK);
        return true;
    }

    void Stop()
    {
        if (FSocket >= 0)
            ::close(FSocket);
        FSocket = -1;
        if (FPid > 0) {
            // A helper that is not waiting for a question is stuck in the library.
            ::kill(FPid, SIGKILL);
            while (::waitpid(FPid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        FPid = -1;
    }

    bool Wait(short event, const QDeadlineTimer& deadline)
    {
        while (true) {
            pollfd p{FSocket, event, 0};
            const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
            if (r > 0)
                return (p.revents & event) != 0;
            if (r == 0 || errno != EINTR)
                return false;
        }
    }

    bool Send(const char* data, size_t size, const QDeadlineTimer& deadline)
    {
        while (size > 0) {
            const ssize_t n = ::send(FSocket, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!Wait(POLLOUT, deadline))
                    return false;
                continue;
            }
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    bool Receive(char* data, size_t size, const QDeadlineTimer& deadline)
    {
        while (size > 0) {
            const ssize_t n = ::recv(FSocket, data, size, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!Wait(POLLIN, deadline))
                    return false;
                continue;
            }
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    pid_t FPid = -1;
    int FSocket = -1;
};

// One helper for each thread that reads packages, ended with the thread.
THelper& Helper()
{
    thread_local THelper helper;
    return helper;
}

} // namespace

bool IsPackageName(const QString& name)
{
    return name.size() > 4 && name.endsWith(u".msi", Qt::CaseInsensitive);
}

QDataStream& operator<<(QDataStream& out, const TPackageFacts& facts)
{
    return out << facts.Properties << facts.Subject << facts.Author << facts.Comments
               << qint32(facts.CodePage) << facts.Paths << facts.Cabinets;
}

QDataStream& operator>>(QDataStream& in, TPackageFacts& facts)
{
    qint32 codePage = 0;
    in >> facts.Properties >> facts.Subject >> facts.Author >> facts.Comments >> codePage >>
        facts.Paths >> facts.Cabinets;
    facts.CodePage = codePage;
    return in;
}

QString PackageHelperPath()
{
    static const QString path = [] {
        QStringList candidates;
        bool inBuildTree = true;
        if (QCoreApplication::instance()) {
            const QString dir = QCoreApplication::applicationDirPath();
            candidates << dir + u"/"_s + QStringLiteral(TRESMOL_MSI_HELPER_RELATIVE);
            inBuildTree = dir.startsWith(QStringLiteral(TRESMOL_BUILD_DIR "/"));
        }
        // The build's own helper serves only programs of the same build.
        if (inBuildTree)
            candidates << QStringLiteral(TRESMOL_MSI_HELPER_BUILT);
        for (const QString& c : candidates)
            if (QFileInfo(c).isExecutable())
                return c;
        return QString();
    }();
    return path;
}

TMsiPackage::TMsiPackage(const QString& path, TRead what) : FNativePath(PathToNative(path))
{
    Read(what);
}

TMsiPackage::TMsiPackage(const QByteArray& bytes, TRead what)
{
    FMemoryFile = ::memfd_create("package.msi", MFD_CLOEXEC);
    if (FMemoryFile < 0)
        throw EPackageError(u"cannot hold the package in memory"_s);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(FMemoryFile, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            ::close(FMemoryFile);
            throw EPackageError(u"cannot hold the package in memory"_s);
        }
        done += n;
    }
    // The helper opens it through this process.
    FNativePath =
        "/proc/" + QByteArray::number(::getpid()) + "/fd/" + QByteArray::number(FMemoryFile);
    try {
        Read(what);
    } catch (...) {
        ::close(FMemoryFile);
        throw;
    }
}

TMsiPackage::~TMsiPackage()
{
    if (FMemoryFile >= 0)
        ::close(FMemoryFile);
}

void TMsiPackage::Read(TRead what)
{
    QByteArray question;
    QDataStream(&question, QIODevice::WriteOnly)
        << quint8(what == TRead::Contents ? 'C' : 'F') << FNativePath;
    QByteArray answer;
    if (!Helper().Ask(question, answer))
        throw EPackageError(u"the package reader stopped on it"_s);
    QDataStream in(answer);
    bool ok = false;
    QString why;
    in >> ok >> why;
    if (!ok)
        throw EPackageError(why.isEmpty() ? u"not a Windows Installer package"_s : why);
    in >> FFacts;
    if (in.status() != QDataStream::Ok)
        throw EPackageError(u"the package reader answered nonsense"_s);
}

QList<TMsiPackage::TCabinet> TMsiPackage::Cabinets() const
{
    QList<TCabinet> cabinets;
    for (const QString& name : FFacts.Cabinets) {
        if (name.startsWith(u'#'))
            cabinets << TCabinet{name.mid(1), true};
        else
            cabinets << TCabinet{name, false};
    }
    return cabinets;
}

bool TMsiPackage::ReadStream(const QString& name, qint64 limit, QByteArray& out) const
{
    out.clear();
    QByteArray question;
    QDataStream(&question, QIODevice::WriteOnly) << quint8('S') << FNativePath << name << limit;
    QByteArray answer;
    if (!Helper().Ask(question, answer))
        return false;
    QDataStream in(answer);
    bool ok = false;
    in >> ok >> out;
    if (!ok || in.status() != QDataStream::Ok) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace Harvest
