// Tresmol: start-up.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/connection.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Every window, hidden, and the data module with its connection.
    Startup::CreateForms(TADOConnection::DefaultConnectionString);
    // The main window opens maximised; its first activation connects the catalogue.
    Form1->showMaximized();
    Form1->activateWindow();
    const int result = app.exec();
    Startup::DestroyForms();
    return result;
}
