// Tresmol: start-up.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/connection.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Every window, hidden, and the data module with its connection; destroyed when
    // the event loop has ended.
    TTresmolApp tresmol(TADOConnection::DefaultConnectionString);
    // The main window opens maximised; its first activation connects the catalogue.
    tresmol.Form1->showMaximized();
    tresmol.Form1->activateWindow();
    return app.exec();
}
