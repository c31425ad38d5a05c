// Starts Tresmol as the program starts, on the catalogue in the working directory,
// and then opens one of its windows by the command that opens it, so that the window
// can be looked at and photographed over the main window:
//
//     tresmol-window-preview [main|editor|info|wizard]
//
// "main" (the default) only starts; "editor" runs "Редактировать", "info" runs
// "Инфа с файла", "wizard" runs "Сканировать". Closing the main window ends it.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/catalogue/connection.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"main"_s;
    TTresmolApp tresmol(TADOConnection::DefaultConnectionString);
    tresmol.Form1->showMaximized();
    tresmol.Form1->activateWindow();
    // Once the main window is up and connected.
    QTimer::singleShot(1500, tresmol.Form1, [&] {
        if (which == u"editor"_s)
            tresmol.Form1->ActRedExecute();
        else if (which == u"info"_s)
            tresmol.Form1->ActFileInfoExecute();
        else if (which == u"wizard"_s)
            tresmol.Form1->ActScanExecute();
    });
    return app.exec();
}
