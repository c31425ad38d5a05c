#pragma once
// TForm1: the main window. The catalogue grid on the left, the current record's
// details on the right, the toolbar, menus, the grid's popup menu, the bottom bar of
// list editors and the status bar; every record command, search and sort.

#include <QList>
#include <QMainWindow>

#include "store/catalogue/datasource.h"

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class TDBCheckBox;
class TDBEdit;
class QWindow;
class TAboutForm;
class TAddManufacturerForm;
class TCategoryForm;
class TColumnForm;
struct TCellColors;
class TDataModule1;
class TDataSet;
class TEditRecordForm;
class TImgViewForm;
class TInfoForm;
class TMasterForm;
class TPlatformForm;
class TProgramTypeForm;
class TTypeDiscForm;
namespace Ui {
class TForm1;
}
namespace Harvest {
struct THarvestOptions;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The windows that the main window opens. Start-up creates them after the main
    // window, as its children, and hands them over once they all exist.
    struct TWindows {
        TEditRecordForm* EditRecordForm = nullptr;
        TAddManufacturerForm* AddManufacturerForm = nullptr;
        TTypeDiscForm* TypeDiscForm = nullptr;
        TAboutForm* AboutForm = nullptr;
        TColumnForm* ColumnForm = nullptr;
        TMasterForm* MasterForm = nullptr;
        TPlatformForm* PlatformForm = nullptr;
        TCategoryForm* CategoryForm = nullptr;
        TProgramTypeForm* ProgramTypeForm = nullptr;
        TInfoForm* InfoForm = nullptr;
        TImgViewForm* ImgViewForm = nullptr;
    };

    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Binds the window's data-aware controls and the catalogue table's events to the
    // data module, once it exists.
    void BindDataModule(TDataModule1* dm);
    void SetWindows(const TWindows& windows);

    // True while "Очистить базу" runs its loop.
    bool Clearing() const { return FClearing; }

    // --- connection (also run by the window's activation); a catalogue in its Jet form
    // is offered for conversion instead (ConvertJetCatalogue)
    void ActConnectExecute();
    void ActDisconnectExecute();
    // The action list's enabling rule, run whenever the program is idle.
    void UpdateActions();
    // "Создать базу…": a new catalogue with the standard reference lists, switched to.
    void CreateCatalogue();
    // "Открыть базу…": another catalogue file, switched to.
    void OpenCatalogue();
    // Leaves the catalogue through the disconnect routine (which posts a pending change
    // first) and connects to the one at PATH. When PATH cannot be opened, its error
    // shown, the previous catalogue comes back as it was.
    void SwitchCatalogue(const QString& path);
    // PATH is a catalogue in its old Jet form: asks whether to convert it and, on
    // "Да", where to put the new catalogue (beside the old one by default), converts it
    // under the progress bar and switches to the new catalogue. On "Нет", or when the
    // save picker is cancelled, the window stays as it was.
    void ConvertJetCatalogue(const QString& path);
    // An item of "Недавние базы": the catalogue at PATH, switched to; a file that is
    // gone leaves the list with a message, and nothing is made in its place.
    void OpenRecentBase(const QString& path);
    // The last panel of the status bar: what the last command did, or a note of the
    // start-up (the catalogue it could not reopen).
    void ShowOutcome(const QString& text);

    // --- record commands
    void ActAddExecute();
    void ActRedExecute();
    void ActDelExecute();
    void ActSaveExecute();
    // "Сохранить" in the menu.
    void SaveRecord();
    void ActReflExecute();
    void ActNextExecute();
    void ActPriorExecute();
    void ActFirstExecute();
    void ActLastExecute();
    void ActClearExecute();

    // --- search and sort
    // The search box: the grid shows the records whose name begins with its text.
    void SearchAsTyped();
    // The home-page link: a click opens the page, the pointer over it turns it red.
    void OpenHomePage();
    void HighlightHomePageLink();
    // The items of "Сортировка".
    void SortByName();
    void SortByPlatform();
    void SortByCategory();
    void SortByType();
    void SortByMaker();
    void SortBySize();
    // A click on the title of grid column COLUMN.
    void HeaderClick(int column);

    // --- harvesting (harvestcommands.cpp)
    // Adds one record for the executable at PATH and posts it; errors of the catalogue
    // reach the caller.
    void HarvestFile(const QString& path);
    // The same with what the wizard asked for beyond the plain step.
    void HarvestFile(const QString& path, const Harvest::THarvestOptions& options);
    // What "Сканировать" does with the ticked files: each harvested in turn under the
    // progress bar, the window painted as the run goes on.
    void ScanFiles(const QStringList& files, const Harvest::THarvestOptions& options);
    // "Сканировать": the wizard's ticked files harvested one by one under the progress bar.
    void ActScanExecute();
    // "Сканировать носитель": the same run without the progress bar.
    void ScanMedium();
    // "Инфа с файла": a new record filled in the file information window.
    void ActFileInfoExecute();

    // --- the rest of the command set
    void ActExcelExecute();

    // --- pictures
    // "Добавить": a picture chosen by the user is copied into the picture folder and
    // named in the current record, which is posted.
    void ActAddImgExecute();
    // "Удалить": the current record's picture name is cleared and posted; its file
    // goes when no other record names it.
    void ActDelImgExecute();
    // The magnifier: the picture shown opens in the viewer at its own size.
    void ActViewImgExecute();
    // The picture folder, chosen by AppPaths when the window is made.
    const QString& PictureFolder() const { return FPictureFolder; }
    void SetPictureFolder(const QString& path) { FPictureFolder = path; }
    // "Получить информацию": the version information of the current record's file.
    void ShowFileInformation();

    // --- the registration-details page, the rating spinner, starting any file
    // Row ROW (0 to 7, top to bottom) of the "S/N" page: its edit box and file button
    // are usable exactly while its box is ticked. Runs on every change of the box.
    void EnableRegistrationRow(int row);
    // Row ROW's "..." button: a chosen file's full path goes into the row's edit box.
    void ChooseRegistrationFile(int row);
    // One step of the rating spinner, up or down.
    void StepRating(bool up);
    // "Запустить любой файл".
    void StartAnyFile();

    // --- catalogue table events
    void BookTableAfterScroll(TDataSet& ds);
    void BookTableAfterPost(TDataSet& ds);
    void BookTableAfterOpen(TDataSet& ds);
    void BookTableBeforeClose(TDataSet& ds);
    // Loads the current record's picture or clears it.
    void ShowRecordImage();
    // Marks installed programs and the current cell; the grid's cell-drawing hook.
    void ColourGridCell(int row, int column, bool selected, TCellColors& colors);

    // --- the layout settings file
    // Restores the grid's width and the window's size when the window is first shown.
    void FormShow();
    // Closes the catalogue table (which saves the columns) and saves the grid's width
    // and the window's geometry.
    void FormClose();
    const QString& SettingsFileName() const { return FSettingsFileName; }
    void SetSettingsFileName(const QString& path) { FSettingsFileName = path; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupActions();
    void SetupStatusBar();
    void SetupPopupMenu();
    void SetupRegistrationPage();
    void FitDetails();
    void SetupPictureStrip();
    void ShowStatusPosition(TDataSet& ds);
    // The position of the current record, when the table has one to name.
    void ShowCurrentPosition();
    // "Недавние базы" as the settings file has it now.
    void FillRecentBases();
    // The title and the connection panel say whether the catalogue can be changed.
    void ShowConnection();
    void FocusWindowChanged(QWindow* window);
    // Runs BODY as a command on the catalogue, refused while clearing runs.
    void CatalogueCommand(const std::function<void()>& body);
    void Sort(int keyIndex);
    // Checks the sort item in force and marks its column's header.
    void ShowSort();
    QList<QAction*> SortItems() const;
    // Saves the record as "Сохранить" does; true when nothing failed.
    bool TrySaveRecord();
    // The record started editing or a value of it was written.
    void BookTableRecordModified();
    // The end of a scan: how many records it added.
    void ShowScanned(int added);
    void ShowModalWindow(QWidget* window);
    // Runs BODY, which writes the settings file; a failure is shown once and remembered
    // so that the rest of a closing writes nothing more.
    void WriteSettings(const std::function<void()>& body);
    void SetGridWidth(int width);

    std::unique_ptr<::Ui::TForm1> ui;
    // Tells the window when the current record starts editing or a field is written.
    class TRecordWatch : public TDataLink {
    public:
        explicit TRecordWatch(std::function<void()> changed) : FChanged(std::move(changed)) {}
        void EditingChanged() override { FChanged(); }
        void RecordChanged(TField*) override { FChanged(); }

    private:
        std::function<void()> FChanged;
    };
    std::unique_ptr<TRecordWatch> FRecordWatch;
    TDataModule1* FDataModule = nullptr;
    TWindows FWindows;
    // The "S/N" page's rows, top to bottom.
    struct TRegistrationRow {
        TDBCheckBox* CheckBox;
        TDBEdit* Edit;
        QToolButton* Button;
    };
    QList<TRegistrationRow> FRegistrationRows;
    QMenu* FPopupMenu = nullptr;
    QLabel* FPanels[3] = {};
    QProgressBar* FProgressBar = nullptr;
    QWindow* FLastFocusWindow = nullptr;
    bool FActivated = false;
    bool FClearing = false;
    bool FScanning = false;  // "Сканировать" runs its loop
    bool FExporting = false; // the export writes its workbook, or a conversion its catalogue
    bool FCloseRequested = false;
    QString FSettingsFileName;
    QString FTitle; // the window's title as designed
    QString FPictureFolder;
    bool FShown = false;
    bool FSettingsWriteFailed = false;
    // The settings file while the window closes: every write of the closing, the
    // catalogue table's included, goes into it and reaches the disk once.
    class TIniFile* FClosingSettings = nullptr;
    int FInstalledField = -1;
};
