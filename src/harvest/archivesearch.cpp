#include "harvest/archivesearch.h"

#include "harvest/archivestream.h"
#include "harvest/msipackage.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

// The matching members of STREAM, named from PREFIX, into OUT; false when the
// container is to be passed over (PROBLEM has been told why).
bool List(TArchiveStream& stream, TInflateBudget& budget, const QString& prefix, int level,
          const QString& mask, QStringList& out, const TSearchOptions& options)
{
    const TContainerProblem& problem = options.Problem;
    stream.SetBudget(&budget);
    const auto fail = [&](const QString& why) {
        // Past the budget the whole container goes, and it alone is named.
        if (problem && !budget.Spent())
            problem(prefix, why);
        return false;
    };
    while (true) {
        switch (stream.Next()) {
        case TArchiveStream::TNext::End:
            return true;
        case TArchiveStream::TNext::Failed:
            return fail(stream.Error());
        case TArchiveStream::TNext::Entry:
            break;
        }
        if (stream.IsEncrypted())
            return fail(u"encrypted"_s);
        if (!stream.IsFile())
            continue;
        const QString& member = stream.MemberPath();
        const QString name = member.mid(member.lastIndexOf(u'/') + 1);
        const QString path = prefix + MemberSeparator + member;
        const bool package = options.Packages && IsPackageName(name);
        if (MatchesMask(name, mask) || package)
            out << path;
        if ((!MatchesMask(name, mask) || package) && level < MaxNesting && IsContainerName(name) &&
            (options.Packages || !IsPackageName(name))) {
            QByteArray bytes;
            if (!stream.ReadData(MaxNestedBytes, bytes))
                return fail(stream.Error());
            if (budget.Spent())
                return false;
            if (stream.Truncated()) {
                if (problem)
                    problem(path, u"larger than %1 MiB"_s.arg(MaxNestedBytes / (1024 * 1024)));
                continue;
            }
            const std::unique_ptr<TArchiveStream> inner = TArchiveStream::OpenMemory(bytes);
            QStringList innerFound;
            if (List(*inner, budget, path, level + 1, mask, innerFound, options))
                out << innerFound;
            else if (budget.Spent())
                return false;
        }
    }
}

} // namespace

bool SearchContainer(const QString& path, const QString& mask, const TFoundFile& found,
                     const TContainerProblem& problem)
{
    TSearchOptions options;
    options.Problem = problem;
    return SearchContainer(path, mask, found, options);
}

bool SearchContainer(const QString& path, const QString& mask, const TFoundFile& found,
                     const TSearchOptions& options)
{
    const TContainerProblem& problem = options.Problem;
    const std::unique_ptr<TArchiveStream> stream = TArchiveStream::OpenFile(path);
    // Nothing is passed on before the whole container has been read: a damaged or
    // encrypted one gives no half list.
    QStringList members;
    TInflateBudget budget;
    if (!List(*stream, budget, path, 1, mask, members, options)) {
        if (budget.Spent() && problem)
            problem(path, u"too large to search"_s);
        return true;
    }
    for (const QString& member : members)
        if (!found(member))
            return false;
    return true;
}

} // namespace Harvest
