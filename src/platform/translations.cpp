#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

bool InstallQtTranslations(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    // qtbase_ru covers the widgets' texts; the file name is the same for every Qt 6.
    if (!translator->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
