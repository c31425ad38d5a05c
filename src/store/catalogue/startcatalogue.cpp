#include "store/catalogue/startcatalogue.h"

#include "platform/apppaths.h"
#include "platform/errors.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/connection.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace StartCatalogue {

TChoice Choose(const QString& argument)
{
    TChoice choice;
    if (!argument.isEmpty()) {
        choice.Source = TSource::Argument;
        choice.Path = argument;
        choice.ConnectionString = Catalogue::ConnectionStringFor(argument);
        return choice;
    }
    const QString inWorkingDirectory =
        ConnectionStringValue(TADOConnection::DefaultConnectionString, u"Data Source"_s);
    if (QFileInfo::exists(inWorkingDirectory)) {
        choice.Source = TSource::WorkingDirectory;
        choice.Path = inWorkingDirectory;
        choice.ConnectionString = TADOConnection::DefaultConnectionString;
        return choice;
    }
    choice.Source = TSource::UserCatalogue;
    choice.Path = AppPaths::UserCatalogue();
    choice.ConnectionString = Catalogue::ConnectionStringFor(choice.Path);
    // A broken symbolic link counts as missing to QFileInfo::exists, yet creating
    // the file through it would write wherever it points: leave it to the open to fail.
    const QFileInfo user(choice.Path);
    choice.Create = !user.exists() && !user.isSymLink();
    return choice;
}

QString Prepare(const QString& argument, const std::function<void(const QString&)>& report)
{
    TChoice choice;
    try {
        choice = Choose(argument);
    } catch (const EError& e) {
        // A name the connection string cannot carry: the program starts on nothing.
        report(e.Message());
        return QString();
    }
    if (choice.Create) {
        try {
            if (!QDir().mkpath(QFileInfo(choice.Path).absolutePath()))
                throw EError(u"Cannot create the folder "_s +
                             QFileInfo(choice.Path).absolutePath());
            Catalogue::CreateNew(choice.Path);
        } catch (const EError& e) {
            report(e.Message());
        }
    }
    return choice.ConnectionString;
}

} // namespace StartCatalogue
