// tresmol-cli clear CATALOGUE [--search TEXT]: what "Очистить базу" does, without the
// question: every record the view shows is deleted, and with a search only those the
// search shows.

#include "store/catalogue.h"
#include "store/datamodule.h"
#include "store/recordops.h"
#include "store/search.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

int CmdClear(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--search"_s}, {});
        if (a.Positional.size() != 1)
            return Fail(u"usage: tresmol-cli clear CATALOGUE [--search TEXT]"_s);
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
