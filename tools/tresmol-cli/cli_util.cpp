#include "tools/tresmol-cli/cli_util.h"

#include "platform/errors.h"
#include "platform/nativepath.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/search.h"

#include <QMap>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::Literals::StringLiterals;

void Warn(const QString& message)
{
    const QByteArray bytes = PathToNative(u"tresmol-cli: "_s + message + u'\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int Fail(const QString& message)
{
    Warn(message);
    return 1;
}

void FinishOutput()
{
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout);
    if (failed)
        throw EError(u"cannot write to standard output: "_s +
                     QString::fromLocal8Bit(std::strerror(errno)));
}

namespace {

// Catalogues left for the end of the process. Held here, so that a leak checker
// sees them still in use rather than lost.
std::vector<TDataModule1*>* Left = nullptr;

} // namespace

void LeaveCatalogue(std::unique_ptr<TDataModule1> dm)
{
    dm->ADOConnection.CloseForExit();
    if (!Left)
        Left = new std::vector<TDataModule1*>;
    Left->push_back(dm.release());
}

int RunCommand(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const EError& e) {
        return Fail(e.EnglishMessage());
    } catch (const std::exception& e) {
        return Fail(QString::fromLocal8Bit(e.what()));
    }
}

TCliArgs ParseCliArgs(const QStringList& args, const QStringList& valueOptions,
                      const QStringList& flags)
{
    TCliArgs result;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(u"--"_s)) {
            result.Positional << a;
        } else if (flags.contains(a)) {
            result.Options[a] = u"1"_s;
        } else if (valueOptions.contains(a)) {
            if (i + 1 >= args.size())
                throw EError(u"option "_s + a + u" needs a value"_s);
            result.Options[a] = args[++i];
        } else {
            throw EError(u"unknown option "_s + a);
        }
    }
    return result;
}

void ApplyViewOptions(TDataModule1& dm, const TCliArgs& args)
{
    if (args.Options.contains(u"--sort"_s))
        dm.BookTable.SetSort(Search::SortFieldForKey(args.Options[u"--sort"_s]));
    Search::Apply(dm, args.Options.value(u"--search"_s));
}
