#include "store/catalogue/catalogue.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

using namespace Qt::Literals::StringLiterals;

int CmdCreate(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs parsed = ParseCliArgs(args, {}, {u"--empty"_s});
        if (parsed.Positional.size() != 1)
            return Fail(u"usage: tresmol-cli create CATALOGUE [--empty]"_s);
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
        Catalogue::CreateDemo(args[0]);
        return 0;
    });
}
