// Tresmol: start-up.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/apppaths.h"
#include "platform/command.h"
#include "platform/nativepath.h"
#include "platform/translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TRESMOL_VERSION));
    // Ties the windows to the installed menu entry, so that the desktop shows its name
    // and icon for them.
    QGuiApplication::setDesktopFileName(QStringLiteral(TRESMOL_APP_ID));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral(TRESMOL_APP_ID), QIcon(u":/icons/tresmol.svg"_s)));
    InstallQtTranslations(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Tresmol: каталог программ."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        u"каталог"_s,
        u"Файл каталога. Без него: Tresmol.mdb в текущей папке, если он есть, иначе "
        u"последняя открытая база, иначе каталог пользователя "
        u"(~/.local/share/tresmol/Tresmol.mdb), созданный при первом запуске."_s,
        u"[каталог]"_s);
    // The arguments as the system handed them over, so that a catalogue whose name is
    // not UTF-8 opens by its very bytes (Qt's own list would replace them).
    QStringList given;
    for (int i = 0; i < argc; ++i)
        given << PathFromNative(QByteArray(argv[i]));
    parser.process(given);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1)
        parser.showHelp(1);

    const TStartCatalogue start =
        ChooseStartCatalogue(arguments.value(0), AppPaths::SettingsFile(),
                             [](const QString& message) { ShowErrorBox(message); });
    // Every window, hidden, and the data module with its connection; destroyed when
    // the event loop has ended.
    TTresmolApp tresmol(start.ConnectionString);
    tresmol.Form1->setWindowIcon(QApplication::windowIcon());
    if (!start.Note.isEmpty())
        tresmol.Form1->ShowOutcome(start.Note);
    // The main window opens maximised; its first activation connects the catalogue.
    tresmol.Form1->showMaximized();
    tresmol.Form1->activateWindow();
    return app.exec();
}
