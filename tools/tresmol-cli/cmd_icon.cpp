// tresmol-cli icon FILE OUT.ico: the program's main icon written alone, as the
// catalogue would store it.

#include "harvest/iconresource.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

int CmdIcon(const QStringList& args)
{
    return RunCommand([&] {
        if (args.size() != 2)
            return Fail(u"usage: tresmol-cli icon FILE OUT.ico"_s);
        const std::optional<QByteArray> icon = ReadMainIcon(args[0]);
        if (!icon)
            return Fail(u"%1: no icon"_s.arg(args[0]));
        QSaveFile out(args[1]);
        if (!out.open(QIODevice::WriteOnly) || out.write(*icon) != icon->size() || !out.commit())
            return Fail(u"%1: %2"_s.arg(args[1], out.errorString()));
        return 0;
    });
}
