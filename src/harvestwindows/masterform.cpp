#include "harvestwindows/masterform.h"

#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvest/knownfiles.h"
#include "harvest/memberreader.h"
#include "platform/command.h"
#include "platform/dialogs.h"
#include "platform/fitwindow.h"
#include "store/catalogue/dataset.h"
#include "ui_masterform.h"

#include <QApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QScopeGuard>
#include <QShowEvent>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString FoldersHeading = u"Выберите дирректории для сканирования"_s;
const QString FilesHeading = u"Выберите файлы для сканирования"_s;
const QString BrowseTitle = u"Выберите папку для поиска программ"_s;
const QString KnownMark = u"уже в базе"_s;
const QString ChangedMark = u"изменён"_s;
const QString SkippedArchives = u"Пропущено архивов: %1"_s;

} // namespace

bool BrowseForFolder(const QString& title, QString& folder)
{
    const QString chosen = Dialogs().BrowseFolder(QApplication::activeWindow(), title);
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}

TMasterForm::TMasterForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TMasterForm>())
{
    ui->setupUi(this);
    setObjectName(u"MasterForm"_s);
    // The designed 649 by 325, or more where the current font needs it.
    resize(FitWindow::ContentSize(this, QSize(649, 325)));
    for (QAction* a : {ui->ActBack, ui->ActNext, ui->ActFinish, ui->ActCancel})
        a->setData(u"Navigation"_s);
    for (QAction* a : {ui->ActAddFolder, ui->ActDeleteFolder})
        a->setData(u"Folders"_s);

    connect(ui->ActBack, &QAction::triggered, this,
            [this] { Run(ui->ActBack, &TMasterForm::ActBackExecute); });
    connect(ui->ActNext, &QAction::triggered, this,
            [this] { Run(ui->ActNext, &TMasterForm::ActNextExecute); });
    connect(ui->ActFinish, &QAction::triggered, this,
            [this] { Run(ui->ActFinish, &TMasterForm::ActFinishExecute); });
    connect(ui->ActCancel, &QAction::triggered, this,
            [this] { Run(ui->ActCancel, &TMasterForm::ActCancelExecute); });
    connect(ui->ActAddFolder, &QAction::triggered, this,
            [this] { Run(ui->ActAddFolder, &TMasterForm::ActAddFolderExecute); });
    connect(ui->ActDeleteFolder, &QAction::triggered, this,
            [this] { Run(ui->ActDeleteFolder, &TMasterForm::ActDeleteFolderExecute); });

    Bind(ui->BackBtn, ui->ActBack);
    Bind(ui->CancelBtn, ui->ActCancel);
    Bind(ui->Button1, ui->ActAddFolder);
    Bind(ui->Button2, ui->ActDeleteFolder);
    // NextBtn runs whichever action UpdateActions binds it to.
    connect(ui->NextBtn, &QPushButton::clicked, this, [this] {
        // During the search the button still reads "&Вперед >"; pressing it does
        // nothing but turn it into "Готово".
        if (FSearching && FNextBinding == ui->ActNext) {
            FNextPressedWhileSearching = true;
            UpdateActions();
            return;
        }
        UpdateActions();
        if (FNextBinding && FNextBinding->isEnabled())
            FNextBinding->trigger();
    });

    // The lists changing is when the enabling can change; there is no idle hook.
    for (QListWidget* list : {ui->FoldersList, ui->FilesCbL}) {
        connect(list->model(), &QAbstractItemModel::rowsInserted, this,
                [this] { UpdateActions(); });
        connect(list->model(), &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
        connect(list->model(), &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    }
    ui->Page2Pnl->hide();
    ui->Animate1->hide();
    ui->StaticText1->hide();
    ui->Label1->hide();
    ui->Label3->hide();
    ui->Label4->hide();
    UpdateActions();
}

TMasterForm::~TMasterForm()
{
    // The lists empty themselves as they go; the enabling must not run by then.
    for (QListWidget* list : {ui->FoldersList, ui->FilesCbL})
        list->model()->disconnect(this);
}

void TMasterForm::Bind(QPushButton* button, QAction* action)
{
    const auto follow = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    };
    follow();
    connect(action, &QAction::changed, button, follow);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
}

// Every action runs through here: the enabling is brought up to date first, a
// disabled action does nothing, and a failure goes to the error box.
void TMasterForm::Run(QAction* action, void (TMasterForm::*handler)())
{
    UpdateActions();
    if (!action->isEnabled())
        return;
    RunCommand(this, [this, handler] { (this->*handler)(); });
    UpdateActions();
}

void TMasterForm::UpdateActions()
{
    const bool finishing = FPageIndex > 0 && (!FSearching || FNextPressedWhileSearching);
    FNextBinding = finishing ? ui->ActFinish : ui->ActNext;
    ui->NextBtn->setText(FNextBinding->text());
    ui->ActNext->setEnabled(ui->FoldersList->count() > 0);
    ui->ActFinish->setEnabled(ui->FilesCbL->count() > 0);
    ui->ActBack->setEnabled(FPageIndex > 0 && !FSearching);
    // While the search runs it reads the folder list and fills the file list: the
    // folder commands wait until it ends.
    ui->ActAddFolder->setEnabled(!FSearching);
    ui->ActDeleteFolder->setEnabled(!FSearching);
    ui->NextBtn->setEnabled(FNextBinding->isEnabled());
}

void TMasterForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        // Centred with the height it has now, not the one it had before.
        FitWindow::CentreFrame(this, true);
    }
}

void TMasterForm::FormShow()
{
    resize(width(), std::max(325, minimumSizeHint().height()));
    ShowFolderPage();
    UpdateActions();
}

void TMasterForm::ShowFolderPage()
{
    ui->Page1Pnl->show();
    ui->Page2Pnl->hide();
    FPageIndex = 0;
    ui->TopLbl->setText(FoldersHeading);
    ui->Label1->hide();
    ui->Label3->hide();
    ui->Label4->hide();
}

void TMasterForm::ActBackExecute()
{
    if (FPageIndex == 0 || FSearching)
        return;
    --FPageIndex;
    ui->Page1Pnl->show();
    ui->Page2Pnl->hide();
    ui->TopLbl->setText(FoldersHeading);
    ui->Label1->hide();
    ui->Label3->hide();
    ui->Label4->hide();
}

void TMasterForm::ActNextExecute()
{
    if (FPageIndex == 1 || FSearching)
        return;
    // From here until the list is complete the search counts as running: a close
    // asked for while the page switch is drawn waits for it like any other.
    FSearching = true;
    FStopSearch = false;
    FNextPressedWhileSearching = false;
    bool cursorSet = false;
    const auto end = qScopeGuard([this, &cursorSet] {
        FSearching = false;
        if (cursorSet)
            QApplication::restoreOverrideCursor();
        ui->FilesCbL->show();
        ui->Animate1->hide();
        ui->StaticText1->hide();
        ui->Label1->show();
        ui->Label3->setText(QString::number(ui->FilesCbL->count()));
        ui->Label3->show();
        ui->Label4->setText(SkippedArchives.arg(FSkippedArchives));
        ui->Label4->setVisible(FSkippedArchives > 0);
        UpdateActions();
        // A close asked for during the search takes effect now.
        if (FPendingResult >= 0) {
            const int result = FPendingResult;
            FPendingResult = -1;
            done(result);
        }
    });
    ui->TopLbl->setText(FilesHeading);
    FPageIndex = 1;
    ui->Page2Pnl->show();
    ui->Page1Pnl->hide();
    UpdateActions();
    QCoreApplication::processEvents();

    ui->FilesCbL->hide();
    ui->Animate1->show();
    ui->StaticText1->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorSet = true;

    ui->FilesCbL->clear();
    // The folders as they stand now: the list cannot change under the search.
    QStringList folders;
    for (int i = 0; i < ui->FoldersList->count(); ++i)
        folders << ui->FoldersList->item(i)->text();
    // A cancel while the page switch was drawn ends the search before it starts.
    FSkippedArchives = 0;
    QStringList problems;
    Harvest::TSearchOptions options;
    options.InsideContainers = InsideArchives();
    options.Packages = SearchPackages();
    options.Problem = [&](const QString& path, const QString& why) {
        ++FSkippedArchives;
        problems << path + u": "_s + why;
    };
    if (!FStopSearch)
        Harvest::CollectFiles(
            folders, Harvest::ExeMask.toString(),
            [this](const QString& path) { return FileFound(path); }, Harvest::TOtherPaths::Skip,
            options);
    ui->Label4->setToolTip(problems.join(u'\n'));
    if (!FStopSearch)
        MarkKnownFiles();
}

bool TMasterForm::InsideArchives() const { return ui->CheckBox1->isChecked(); }

bool TMasterForm::SearchPackages() const { return ui->CheckBox3->isChecked(); }

bool TMasterForm::StoreIcons() const { return ui->CheckBox2->isChecked(); }

void TMasterForm::MarkKnownFiles()
{
    if (!FCatalogue || !FCatalogue->Active())
        return;
    Harvest::TKnownFiles known(*FCatalogue);
    Harvest::TMemberReader members;
    for (int i = 0; i < ui->FilesCbL->count() && !FStopSearch; ++i) {
        QListWidgetItem* item = ui->FilesCbL->item(i);
        const QString path = item->data(PathRole).toString();
        // Only a path some record holds is worth reading.
        if (!known.HasPath(path))
            continue;
        const Harvest::TFileFacts facts = Harvest::ReadFileFacts(
            path, InsideArchives() ? &members : nullptr, true, false, SearchPackages());
        switch (known.State(path, facts.Size, Harvest::ValueOf(facts.Values, u"FileVersion"))) {
        case Harvest::TKnownState::Known:
            SetMark(item, TFileMark::Known);
            break;
        case Harvest::TKnownState::Changed:
            SetMark(item, TFileMark::Changed);
            break;
        case Harvest::TKnownState::New:
            break;
        }
        QCoreApplication::processEvents();
    }
}

void TMasterForm::SetMark(QListWidgetItem* item, TFileMark mark)
{
    const QString path = item->data(PathRole).toString();
    item->setData(MarkRole, int(mark));
    switch (mark) {
    case TFileMark::Known:
        // Scanning the same disc twice does not double the catalogue unless the
        // user ticks the file again.
        item->setText(path + u"  — "_s + KnownMark);
        item->setCheckState(Qt::Unchecked);
        item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        break;
    case TFileMark::Changed:
        item->setText(path + u"  — "_s + ChangedMark);
        item->setCheckState(Qt::Checked);
        break;
    case TFileMark::None:
        item->setText(path);
        break;
    }
}

void TMasterForm::SearchFiles(const QString& folder, const QString& mask)
{
    Harvest::SearchFiles(folder, mask, [this](const QString& path) { return FileFound(path); });
}

bool TMasterForm::FileFound(const QString& path)
{
    auto* item = new QListWidgetItem(path, ui->FilesCbL);
    item->setData(PathRole, path);
    item->setData(MarkRole, int(TFileMark::None));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    ui->FilesCbL->setCurrentItem(item);
    // The list grows visibly, the busy bar moves, and a cancel can come in.
    QCoreApplication::processEvents();
    return !FStopSearch;
}

void TMasterForm::ActFinishExecute()
{
    done(QDialog::Accepted);
    ui->Label1->hide();
    ui->Label3->hide();
    ui->Label4->hide();
}

void TMasterForm::ActCancelExecute()
{
    done(QDialog::Rejected);
    ui->Label1->hide();
    ui->Label3->hide();
    ui->Label4->hide();
}

void TMasterForm::ActAddFolderExecute()
{
    QString folder;
    if (!BrowseForFolder(BrowseTitle, folder))
        return;
    for (int i = 0; i < ui->FoldersList->count(); ++i)
        if (ui->FoldersList->item(i)->text().compare(folder, Qt::CaseInsensitive) == 0)
            return;
    ui->FoldersList->addItem(folder);
    ui->FoldersList->setCurrentRow(ui->FoldersList->count() - 1);
}

void TMasterForm::ActDeleteFolderExecute()
{
    const int row = ui->FoldersList->currentRow();
    if (row < 0 || !ui->FoldersList->currentItem()->isSelected())
        return;
    delete ui->FoldersList->takeItem(row);
    ui->FoldersList->setCurrentRow(-1);
    ui->FoldersList->clearSelection();
}

// Every way of closing (the buttons, the close box, Escape) ends here. During the
// search the result is kept and the window closes when the search ends; a cancel
// also stops the search, so that it returns at once with nothing.
void TMasterForm::done(int result)
{
    if (FSearching) {
        FPendingResult = result;
        if (result != QDialog::Accepted)
            FStopSearch = true;
        return;
    }
    QDialog::done(result);
}

void TMasterForm::GetCheckedFiles(QStringList& list)
{
    list.clear();
    if (exec() != QDialog::Accepted)
        return;
    for (int i = 0; i < ui->FilesCbL->count(); ++i) {
        const QListWidgetItem* item = ui->FilesCbL->item(i);
        if (item->checkState() == Qt::Checked)
            list << item->data(PathRole).toString();
    }
}
