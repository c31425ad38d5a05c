// The main window's harvesting commands: the wizard's ticked files become catalogue
// records, with or without the progress bar, and "Инфа с файла" opens the file
// information window on a new record.

#include "mainwindow/mainform.h"

#include "harvest/harvestfile.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "store/datamodule.h"
#include "store/dberrors.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QScopeGuard>

using namespace Qt::Literals::StringLiterals;

void TForm1::HarvestFile(const QString& path)
{
    if (!FDataModule)
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    // The same step tresmol-cli harvest takes for each file.
    Harvest::HarvestFile(FDataModule->BookTable, path);
}

void TForm1::ActScanExecute()
{
    CatalogueCommand([this] {
        QStringList files;
        if (FWindows.MasterForm)
            FWindows.MasterForm->GetCheckedFiles(files);
        // Draw what the wizard covered before the run keeps the program busy.
        repaint();
        FProgressBar->setMaximum(int(files.size()));
        FProgressBar->show();
        FScanning = true;
        int added = 0;
        const auto end = qScopeGuard([&] {
            FScanning = false;
            if (!files.isEmpty())
                ShowScanned(added);
        });
        for (int i = 0; i < files.size(); ++i) {
            // An error ends the run here and leaves the bar where the last file put it.
            HarvestFile(files[i]);
            ++added;
            FProgressBar->setValue(i);
            // Let the window paint between files; the user's input waits for the end.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        FProgressBar->hide();
    });
    // A close asked for while the files were harvested.
    if (FCloseRequested)
        close();
}

void TForm1::N14Click()
{
    CatalogueCommand([this] {
        QStringList files;
        if (FWindows.MasterForm)
            FWindows.MasterForm->GetCheckedFiles(files);
        int added = 0;
        const auto end = qScopeGuard([&] {
            if (!files.isEmpty())
                ShowScanned(added);
        });
        for (const QString& path : files) {
            HarvestFile(path);
            ++added;
        }
    });
}

void TForm1::ShowScanned(int added) { ShowOutcome(u"Добавлено записей: %1"_s.arg(added)); }

void TForm1::ActFileInfoExecute()
{
    CatalogueCommand([this] {
        // Starting a new record saves a change the current one holds.
        FDataModule->BookTable.Insert();
        ShowModalWindow(FWindows.InfoForm);
    });
}
