// tresmol-cli: the catalogue's command line, on the same code as the windows.

#include "platform/nativepath.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <clocale>

#include <functional>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

// The synopsis of the manual page (tresmol-cli.1) says the same, line for line.
const char* const Usage = "usage:\n"
                          "  tresmol-cli create CATALOGUE [--empty]\n"
                          "  tresmol-cli demo CATALOGUE\n"
                          "  tresmol-cli import OLD.mdb NEW.mdb [--picture-folder DIR]\n"
                          "  tresmol-cli verinfo FILE...\n"
                          "  tresmol-cli icon FILE OUT.ico\n"
                          "  tresmol-cli harvest CATALOGUE PATH... [--inside-archives] "
                          "[--msi] [--skip-known] [--icons [--picture-folder DIR]]\n"
                          "  tresmol-cli list CATALOGUE [--search TEXT] [--sort KEY] [--json]\n"
                          "  tresmol-cli export CATALOGUE OUT.xlsx [--search TEXT] [--sort KEY]\n"
                          "  tresmol-cli clear CATALOGUE (--all | --search TEXT)\n"
                          "  tresmol-cli set CATALOGUE ID FIELD=VALUE...\n"
                          "  tresmol-cli delete CATALOGUE ID...\n"
                          "  tresmol-cli --help\n"
                          "KEY: name, platform, category, type, maker, size\n"
                          "FIELD: a column of SoftTable (ProductName, Rating, Ch3, Platform...);"
                          " an empty VALUE clears it\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The command line speaks English in every locale, the system's own error texts
    // (strerror) included; only the messages are pinned, text handling stays the user's.
    std::setlocale(LC_MESSAGES, "C");
    // The arguments as the system handed them over, so that every command takes any
    // name the file system takes: bytes that are not valid UTF-8 are kept escaped
    // (Qt's own argument list would replace them).
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << PathFromNative(QByteArray(argv[i]));
    const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {u"create"_s, CmdCreate},   {u"demo"_s, CmdDemo},       {u"list"_s, CmdList},
        {u"verinfo"_s, CmdVerinfo}, {u"harvest"_s, CmdHarvest}, {u"export"_s, CmdExport},
        {u"clear"_s, CmdClear},     {u"icon"_s, CmdIcon},       {u"set"_s, CmdSet},
        {u"delete"_s, CmdDelete},   {u"import"_s, CmdImport},
    };
    if (args.size() == 1 && args.first() == u"--help"_s) {
        return RunCommand([] {
            QTextStream(stdout) << Usage;
            FinishOutput();
            return 0;
        });
    }
    if (args.isEmpty() || !commands.contains(args.first())) {
        QTextStream(stderr) << Usage;
        return 1;
    }
    const QString name = args.takeFirst();
    return commands.at(name)(args);
}
