// The main window's harvesting commands: the wizard's ticked files become catalogue
// records, with or without the progress bar, and "Инфа с файла" opens the file
// information window on a new record.

#include "mainwindow/mainform.h"

#include "harvest/harvestfile.h"
#include "harvest/memberreader.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/picturefolder.h"
#include "store/rows/dberrors.h"
#include "ui_mainform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;

void TForm1::HarvestFile(const QString& path) { HarvestFile(path, Harvest::THarvestOptions()); }

void TForm1::HarvestFile(const QString& path, const Harvest::THarvestOptions& options)
{
    if (!FDataModule)
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    // The same step tresmol-cli harvest takes for each file.
    Harvest::HarvestFile(FDataModule->BookTable, path, options);
}

namespace {

// The wizard's ticked files, checked against CATALOGUE, and what harvesting them
// needs beyond the plain step: a reader for members of disc images and archives
// when the wizard searched inside them, the picture folder when it asked for icons.
QStringList CheckedFiles(TMasterForm* wizard, const TDataSet* catalogue,
                         Harvest::TMemberReader& members, const TPictureFolder& pictures,
                         Harvest::THarvestOptions& options)
{
    QStringList files;
    if (!wizard)
        return files;
    wizard->SetCatalogue(catalogue);
    wizard->GetCheckedFiles(files);
    if (wizard->InsideArchives())
        options.Members = &members;
    if (wizard->StoreIcons())
        options.Icons = &pictures;
    options.Packages = wizard->SearchPackages();
    return files;
}

} // namespace

namespace {

// How often a scan lets the window paint: once a frame of a 60 Hz screen.
constexpr qint64 ScanFrameMs = 16;

// The grid and the record's controls held still while files are harvested, and
// brought up to date only when asked and at the end: following each new row costs
// them many times what harvesting the file does. The dataset's events, which keep
// the status bar and the picture, still run for every file.
class THeldControls {
public:
    THeldControls(TDataSet* table, QTableView* grid) : FTable(table), FGrid(grid)
    {
        if (FTable)
            FTable->DisableControls();
    }
    ~THeldControls()
    {
        if (FTable)
            BringUpToDate(false);
    }
    THeldControls(const THeldControls&) = delete;
    THeldControls& operator=(const THeldControls&) = delete;

    void BringUpToDate(bool holdOn = true)
    {
        if (!FTable)
            return;
        // Brought up as a whole, the grid would start again from its first column;
        // the user's column and the scroll across stay.
        const int column = FGrid->currentIndex().column();
        const int across = FGrid->horizontalScrollBar()->value();
        FTable->EnableControls();
        if (holdOn)
            FTable->DisableControls();
        const QModelIndex current = FGrid->currentIndex();
        if (current.isValid() && column > 0 && column < FGrid->model()->columnCount())
            FGrid->setCurrentIndex(current.siblingAtColumn(column));
        FGrid->horizontalScrollBar()->setValue(across);
    }

private:
    TDataSet* FTable;
    QTableView* FGrid;
};

} // namespace

void TForm1::ScanFiles(const QStringList& files, const Harvest::THarvestOptions& options)
{
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
    // The window is painted once a frame, not after every file. The first and the
    // last file are always shown, so that a short run looks the same as before.
    THeldControls held(FDataModule ? &FDataModule->BookTable : nullptr, ui->DBGrid1);
    QElapsedTimer sincePainted;
    for (int i = 0; i < files.size(); ++i) {
        // An error ends the run here and leaves the bar where the last file put it.
        HarvestFile(files[i], options);
        ++added;
        FProgressBar->setValue(i);
        // The user's input waits for the end of the run.
        if (!sincePainted.isValid() || sincePainted.elapsed() >= ScanFrameMs ||
            i + 1 == files.size()) {
            held.BringUpToDate();
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sincePainted.start();
        }
    }
    FProgressBar->hide();
}

void TForm1::ActScanExecute()
{
    CatalogueCommand([this] {
        Harvest::TMemberReader members;
        const TPictureFolder pictures(PictureFolder());
        Harvest::THarvestOptions options;
        const QStringList files =
            CheckedFiles(FWindows.MasterForm, FDataModule ? &FDataModule->BookTable : nullptr,
                         members, pictures, options);
        ScanFiles(files, options);
    });
    // A close asked for while the files were harvested.
    if (FCloseRequested)
        close();
}

void TForm1::ScanMedium()
{
    CatalogueCommand([this] {
        Harvest::TMemberReader members;
        const TPictureFolder pictures(PictureFolder());
        Harvest::THarvestOptions options;
        const QStringList files =
            CheckedFiles(FWindows.MasterForm, FDataModule ? &FDataModule->BookTable : nullptr,
                         members, pictures, options);
        int added = 0;
        const auto end = qScopeGuard([&] {
            if (!files.isEmpty())
                ShowScanned(added);
        });
        // Nothing is painted before the end, so the controls follow only then.
        THeldControls held(FDataModule ? &FDataModule->BookTable : nullptr, ui->DBGrid1);
        for (const QString& path : files) {
            HarvestFile(path, options);
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
