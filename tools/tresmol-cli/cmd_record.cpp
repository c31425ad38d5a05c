// tresmol-cli set CATALOGUE ID FIELD=VALUE... and tresmol-cli delete CATALOGUE ID...:
// the record editor's save and "Удалить", for one record or several by key.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"
#include "store/rows/dberrors.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

namespace {

// A record's key as the command line gives it.
int ParseKey(const QString& text)
{
    bool ok = false;
    const int key = text.toInt(&ok);
    if (!ok || key <= 0)
        throw EDatabaseError(u"a record's key (Id) is a whole number above 0, not \""_s + text +
                             u'"');
    return key;
}

} // namespace

int CmdSet(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {}, {});
        if (a.Positional.size() < 3)
            return Fail(u"usage: tresmol-cli set CATALOGUE ID FIELD=VALUE..."_s);
        const int key = ParseKey(a.Positional[1]);
        QVector<RecordOps::TFieldText> values;
        for (const QString& assignment : a.Positional.mid(2)) {
            const qsizetype eq = assignment.indexOf(u'=');
            if (eq <= 0)
                return Fail(u"\""_s + assignment + u"\" is not FIELD=VALUE"_s);
            values.push_back({assignment.left(eq), assignment.mid(eq + 1)});
        }
        std::unique_ptr<TDataModule1> dm = Catalogue::Open(a.Positional[0], TBookFields::All);
        RecordOps::SetFields(dm->BookTable, key, values);
        LeaveCatalogue(std::move(dm));
        return 0;
    });
}

int CmdDelete(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {}, {});
        if (a.Positional.size() < 2)
            return Fail(u"usage: tresmol-cli delete CATALOGUE ID..."_s);
        QVector<int> keys;
        for (const QString& text : a.Positional.mid(1))
            keys << ParseKey(text);
        std::unique_ptr<TDataModule1> dm = Catalogue::Open(a.Positional[0], TBookFields::All);
        const int deleted = RecordOps::DeleteKeys(dm->BookTable, keys);
        LeaveCatalogue(std::move(dm));
        QTextStream(stdout) << (deleted == 1 ? u"1 record deleted"_s
                                             : u"%1 records deleted"_s.arg(deleted))
                            << Qt::endl;
        FinishOutput();
        return 0;
    });
}
