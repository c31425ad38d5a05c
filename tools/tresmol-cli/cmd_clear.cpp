// tresmol-cli clear CATALOGUE (--all | --search TEXT): what "Очистить базу" does. The
// window asks before it deletes every record; here --all is that answer, so that a
// command typed without a search never empties a catalogue by surprise. With a search
// only the records it shows are deleted.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"
#include "store/catalogue/search.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

int CmdClear(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--search"_s}, {u"--all"_s});
        if (a.Positional.size() != 1)
            return Fail(u"usage: tresmol-cli clear CATALOGUE (--all | --search TEXT)"_s);
        if (!a.Options.contains(u"--search"_s) && !a.Options.contains(u"--all"_s)) {
            Warn(u"clear without --search deletes every record of "_s + a.Positional[0] +
                 u"; add --all to do so. Nothing was changed."_s);
            return 2;
        }
        const std::unique_ptr<TDataModule1> opened =
            Catalogue::Open(a.Positional[0], TBookFields::All);
        TDataModule1& dm = *opened;
        Search::Apply(dm, a.Options.value(u"--search"_s));
        const int deleted = RecordOps::DeleteAll(dm.BookTable);
        QTextStream(stdout) << (deleted == 1 ? u"1 record deleted"_s
                                             : u"%1 records deleted"_s.arg(deleted))
                            << Qt::endl;
        FinishOutput();
        return 0;
    });
}
