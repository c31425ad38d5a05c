#include "export/spreadsheetexport.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QDir>

#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Quoted(const QString& path) { return u'"' + path + u'"'; }

// The export's faults in the command line's language; the windows word them in theirs.
QString InEnglish(const EExportError& e)
{
    const QString cause = QString::fromLocal8Bit(std::strerror(e.Errno()));
    switch (e.Fault()) {
    case TExportFault::Taken:
        return u"the file "_s + Quoted(e.Path()) + u" already exists"_s;
    case TExportFault::TooManyRecords:
        return u"a sheet holds at most "_s + QString::number(SpreadsheetExport::MaxRecords()) +
               u" records, and there are "_s + QString::number(e.Count());
    case TExportFault::NoFolder:
        return u"the folder "_s + Quoted(e.Path()) + u" does not exist"_s;
    case TExportFault::NotAFolder:
        return Quoted(e.Path()) + u" is not a folder"_s;
    case TExportFault::CannotCreate:
        return u"cannot create a file in the folder "_s + Quoted(e.Path()) + u": "_s + cause;
    case TExportFault::CannotWrite:
        return u"cannot write the workbook in the folder "_s + Quoted(e.Path()) + u": "_s + cause;
    case TExportFault::CannotName:
        return u"cannot save the workbook as "_s + Quoted(e.Path()) + u": "_s + cause;
    }
    return e.Message();
}

QString InEnglish(const SpreadsheetExport::TCutText& cut)
{
    return u"cell "_s + SpreadsheetExport::CellName(cut) + u": a text of "_s +
           QString::number(cut.Length) + u" characters was cut to "_s + QString::number(cut.Limit) +
           u", the most a workbook cell holds"_s;
}

} // namespace

// Writes the catalogue, with the search and sort the main window would show, to a
// new workbook: the same sheet the window's export command writes. A text cut to a
// cell's limit is said on standard error; the workbook is written all the same. Its
// columns are all among the grid's, so only the shown fields are read.
int CmdExport(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--search"_s, u"--sort"_s}, {});
        if (a.Positional.size() != 2)
            return Fail(
                u"usage: tresmol-cli export CATALOGUE OUT.xlsx [--search TEXT] [--sort KEY]"_s);
        std::unique_ptr<TDataModule1> opened = Catalogue::Open(a.Positional[0], TBookFields::Shown);
        TDataModule1& dm = *opened;
        TDataSet& table = dm.BookTable;
        ApplyViewOptions(dm, a);
        try {
            // The name as given, escaped bytes included (see PathFromNative), so that
            // the workbook gets the very bytes the user typed.
            SpreadsheetExport::WriteWorkbook(
                table, QDir::current().absoluteFilePath(a.Positional[1]), {},
                [](const SpreadsheetExport::TCutText& cut) { Warn(InEnglish(cut)); });
        } catch (const EExportError& e) {
            throw EError(InEnglish(e));
        }
        LeaveCatalogue(std::move(opened));
        return 0;
    });
}
