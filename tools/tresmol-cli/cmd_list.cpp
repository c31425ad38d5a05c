#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

// Prints the catalogue as the main window's grid shows it with the default columns:
// the same search and sort, the same numbering. Only what those columns need is read.
int CmdList(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--search"_s, u"--sort"_s}, {u"--json"_s});
        if (a.Positional.size() != 1)
            return Fail(
                u"usage: tresmol-cli list CATALOGUE [--search TEXT] [--sort KEY] [--json]"_s);
        std::unique_ptr<TDataModule1> opened = Catalogue::Open(a.Positional[0], TBookFields::Shown);
        TDataModule1& dm = *opened;
        TDataSet& table = dm.BookTable;
        ApplyViewOptions(dm, a);

        QVector<int> columns;
        for (int i = 0; i < table.FieldCount(); ++i)
            if (table.Fields(i)->Visible())
                columns << i;
        QTextStream out(stdout);
        const bool json = a.Options.contains(u"--json"_s);
        if (!json) {
            QStringList titles;
            for (int i : columns)
                titles << table.Fields(i)->DisplayLabel();
            out << titles.join(u'\t') << '\n';
        }
        for (int row = 0; row < table.ViewRowCount(); ++row) {
            if (json) {
                QJsonObject o;
                for (int i : columns) {
                    const QVariant v = table.ViewValue(row, i);
                    o.insert(table.Fields(i)->FieldName(), QJsonValue::fromVariant(v));
                }
                out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
            } else {
                QStringList cells;
                for (int i : columns)
                    cells << table.ViewText(row, i)
                                 .replace(u'\t', u' ')
                                 .replace(u'\n', u' ')
                                 .replace(u'\r', u' ');
                out << cells.join(u'\t') << '\n';
            }
        }
        out.flush();
        if (out.status() != QTextStream::Ok)
            throw EError(u"cannot write to standard output"_s);
        FinishOutput();
        LeaveCatalogue(std::move(opened));
        return 0;
    });
}
