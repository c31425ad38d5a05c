#include "export/spreadsheetexport.h"
#include "store/catalogue.h"
#include "store/datamodule.h"
#include "store/dberrors.h"
#include "store/search.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QDir>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

// Writes the catalogue, with the search and sort the main window would show, to a
// new workbook: the same sheet the window's export command writes. A text cut to a
// cell's limit is said on standard error; the workbook is written all the same.
int CmdExport(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--search"_s, u"--sort"_s}, {});
        if (a.Positional.size() != 2)
            return Fail(
                u"usage: tresmol-cli export CATALOGUE OUT.xlsx [--search TEXT] [--sort KEY]"_s);
        std::unique_ptr<TDataModule1> opened = Catalogue::Open(a.Positional[0]);
        TDataModule1& dm = *opened;
        TDataSet& table = dm.BookTable;
        ApplyViewOptions(dm, a);
        SpreadsheetExport::WriteWorkbook(
            table, QDir::current().absoluteFilePath(a.Positional[1]), {}, [](const QString& text) {
                QTextStream(stderr) << "tresmol-cli: " << text << Qt::endl;
            });
        LeaveCatalogue(std::move(opened));
        return 0;
    });
}
