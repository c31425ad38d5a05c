#pragma once
// The add-programs wizard: the user picks folders, the wizard searches them for
// executables and lists every one with a tick, and "Готово" hands the ticked paths to
// the caller.

#include <QDialog>
#include <QStringList>

#include <memory>

class QAction;
class QListWidgetItem;
class QPushButton;
class TDataSet;
namespace Ui {
class TMasterForm;
}

// The folder-browsing dialog: true and the chosen folder's path, or false when the
// user cancelled.
bool BrowseForFolder(const QString& title, QString& folder);

class TMasterForm : public QDialog {
    Q_OBJECT
public:
    explicit TMasterForm(QWidget* parent = nullptr);
    ~TMasterForm() override;

    // Clears LIST, runs the wizard modally and, when the user finishes it, fills LIST
    // with the ticked paths in the order of the file list.
    void GetCheckedFiles(QStringList& list);

    // Appends the files below FOLDER whose names match MASK to the file list, ticked.
    void SearchFiles(const QString& folder, const QString& mask);

    // The catalogue whose records the file list is checked against after a search:
    // a file it already holds is marked "уже в базе" and unticked, a changed one
    // "изменён". None (the default) checks nothing.
    void SetCatalogue(const TDataSet* catalogue) { FCatalogue = catalogue; }
    // The user asked to search inside disc images and archives.
    bool InsideArchives() const;
    // The user asked for Windows Installer packages too.
    bool SearchPackages() const;
    // The user asked for each program's icon as its record's picture.
    bool StoreIcons() const;

    // What a line of the file list says of its file.
    enum class TFileMark { None, Known, Changed };
    static constexpr int PathRole = Qt::UserRole;     // the file's path
    static constexpr int MarkRole = Qt::UserRole + 1; // its TFileMark as an int

    int PageIndex() const { return FPageIndex; }
    bool Searching() const { return FSearching; }

    // Handlers, named after their actions.
    void UpdateActions();
    void ActBackExecute();
    void ActNextExecute();
    void ActFinishExecute();
    void ActCancelExecute();
    void ActAddFolderExecute();
    void ActDeleteFolderExecute();

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void FormShow();

private:
    void Bind(QPushButton* button, QAction* action);
    void Run(QAction* action, void (TMasterForm::*handler)());
    void ShowFolderPage();
    // Lists PATH, ticked, as the search finds it; false once the wizard is cancelled.
    bool FileFound(const QString& path);
    // Marks the listed files the catalogue already holds.
    void MarkKnownFiles();
    void SetMark(QListWidgetItem* item, TFileMark mark);

    std::unique_ptr<Ui::TMasterForm> ui;
    int FPageIndex = 0;
    bool FSearching = false;
    bool FStopSearch = false; // the wizard was cancelled during the search
    bool FNextPressedWhileSearching = false;
    int FPendingResult = -1; // a close asked for while searching
    QAction* FNextBinding = nullptr;
    const TDataSet* FCatalogue = nullptr;
    int FSkippedArchives = 0; // passed over by the last search
};
