// tresmol-cli icon FILE OUT.ico: the program's main icon written alone, as the
// catalogue would store it.

#include "export/unnamedfile.h"
#include "harvest/iconresource.h"
#include "platform/errors.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

int CmdIcon(const QStringList& args)
{
    return RunCommand([&] {
        if (args.size() != 2)
            return Fail(u"usage: tresmol-cli icon FILE OUT.ico"_s);
        const std::optional<QByteArray> icon = ReadMainIcon(args[0]);
        if (!icon)
            return Fail(u"%1: no icon"_s.arg(args[0]));
        // As export and create: the file comes into being whole under a name that was
        // free, never over another file and never through a symbolic link. The name
        // keeps the bytes it was given (see PathFromNative).
        const QString out = QDir::current().absoluteFilePath(args[1]);
        const auto failed = [&](int err) {
            return Fail(u"%1: %2"_s.arg(args[1], QString::fromLocal8Bit(std::strerror(err))));
        };
        try {
            TUnnamedFile file(QFileInfo(out).absolutePath());
            const char* data = icon->constData();
            qsizetype left = icon->size();
            while (left > 0) {
                const ssize_t n = ::write(file.Fd(), data, size_t(left));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return failed(n < 0 ? errno : ENOSPC);
                data += n;
                left -= n;
            }
            if (::fsync(file.Fd()) != 0)
                return failed(errno);
            if (!file.LinkAs(out))
                return Fail(u"%1: the file already exists"_s.arg(args[1]));
        } catch (const std::system_error& e) {
            return failed(e.code().value());
        }
        return 0;
    });
}
