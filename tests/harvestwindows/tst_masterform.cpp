// The add-programs wizard: pages, enabling, folders, the search, and what
// GetCheckedFiles returns for each way of leaving it.

#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvestwindows/masterform.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

void Touch(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
}

// The wizard's controls, found by their names.
struct TWizardControls {
    explicit TWizardControls(const QWidget* form) : Form(form) {}

    const QWidget* Form;
    QAction* ActBack = Control<QAction>(Form, u"ActBack"_s);
    QAction* ActNext = Control<QAction>(Form, u"ActNext"_s);
    QAction* ActFinish = Control<QAction>(Form, u"ActFinish"_s);
    QAction* ActCancel = Control<QAction>(Form, u"ActCancel"_s);
    QAction* ActAddFolder = Control<QAction>(Form, u"ActAddFolder"_s);
    QAction* ActDeleteFolder = Control<QAction>(Form, u"ActDeleteFolder"_s);
    QLabel* TopLbl = Control<QLabel>(Form, u"TopLbl"_s);
    QWidget* Page1Pnl = Control<QWidget>(Form, u"Page1Pnl"_s);
    QListWidget* FoldersList = Control<QListWidget>(Form, u"FoldersList"_s);
    QWidget* Page2Pnl = Control<QWidget>(Form, u"Page2Pnl"_s);
    QListWidget* FilesCbL = Control<QListWidget>(Form, u"FilesCbL"_s);
    QProgressBar* Animate1 = Control<QProgressBar>(Form, u"Animate1"_s);
    QLabel* Label1 = Control<QLabel>(Form, u"Label1"_s);
    QLabel* Label3 = Control<QLabel>(Form, u"Label3"_s);
    QLabel* Label4 = Control<QLabel>(Form, u"Label4"_s);
    QCheckBox* CheckBox1 = Control<QCheckBox>(Form, u"CheckBox1"_s);
    QCheckBox* CheckBox2 = Control<QCheckBox>(Form, u"CheckBox2"_s);
    QCheckBox* CheckBox3 = Control<QCheckBox>(Form, u"CheckBox3"_s);
    QPushButton* BackBtn = Control<QPushButton>(Form, u"BackBtn"_s);
    QPushButton* NextBtn = Control<QPushButton>(Form, u"NextBtn"_s);
    QPushButton* CancelBtn = Control<QPushButton>(Form, u"CancelBtn"_s);
};

} // namespace

class TestMasterForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void captions_data();
    void captions();
    void enablingFollowsThePages();
    void sameFolderTwiceInAnotherCaseKeepsOne();
    void deleteFolder();
    void searchListsEveryFileTicked();
    void backAndForwardKeepTicks();
    void finishReturnsTheTickedFiles();
    void finishWithTicksClearedReturnsNothing();
    void cancelReturnsNothing_data();
    void cancelReturnsNothing();
    void cancelDuringTheSearchReturnsNothing();
    void pressesDuringTheSearchDoNotReenterIt();
    void nextButtonReadsForwardUntilPressedDuringTheSearch();
    void reopeningShowsTheFolderPage();
    void insideArchivesOnlyWhenTicked_data();
    void insideArchivesOnlyWhenTicked();
    void knownFilesAreMarked_data();
    void knownFilesAreMarked();
    void packagesOnlyWhenTicked_data();
    void packagesOnlyWhenTicked();
    void knownPackagesAreMarked();

private:
    // Runs the wizard modally, SCRIPT playing the user once it is up.
    QStringList Wizard(const std::function<void()>& script);
    void AddFolder(const QString& folder);
    QStringList Listed() const;

    QTemporaryDir FDir;
    QString FTree, FOther;
    QStringList FExpected;
    TScriptedDialogs FDialogs;
    std::unique_ptr<TMasterForm> FForm;
    std::optional<TWizardControls> ui;
};

void TestMasterForm::initTestCase()
{
    FTree = FDir.path() + u"/Tree"_s;
    QVERIFY(QDir().mkpath(FTree + u"/sub"_s));
    QVERIFY(QDir().mkpath(FTree + u"/tools.exe"_s));
    for (const QString& n : {u"setup.EXE"_s, u"setup.exe.bak"_s, u".hidden.exe"_s, u"sub/a.exe"_s,
                             u"sub/b.exe"_s, u"tools.exe/c.exe"_s})
        Touch(FTree + u'/' + n);
    for (int i = 0; i < 200; ++i)
        Touch(FTree + u"/sub/many"_s + QString::number(i) + u".exe"_s);
    FOther = FDir.path() + u"/Other"_s;
    QVERIFY(QDir().mkpath(FOther));
    Touch(FOther + u"/other.exe"_s);
    Harvest::SearchFiles(FTree, u"*.exe"_s, [&](const QString& p) {
        FExpected << p;
        return true;
    });
    QCOMPARE(FExpected.size(), 206);
}

void TestMasterForm::init()
{
    SetDialogs(&FDialogs);
    FForm = std::make_unique<TMasterForm>();
    ui.emplace(FForm.get());
}

void TestMasterForm::cleanup()
{
    ui.reset();
    FForm.reset();
    SetDialogs(nullptr);
    // Answers a test queued but never used must not answer the next test's questions.
    FDialogs = TScriptedDialogs();
}

QStringList TestMasterForm::Wizard(const std::function<void()>& script)
{
    QTimer::singleShot(0, FForm.get(), script);
    QStringList list{u"left over"_s};
    FForm->GetCheckedFiles(list);
    return list;
}

void TestMasterForm::AddFolder(const QString& folder)
{
    FDialogs.AnswerFolder(folder);
    ui->ActAddFolder->trigger();
}

QStringList TestMasterForm::Listed() const
{
    QStringList out;
    for (int i = 0; i < ui->FilesCbL->count(); ++i)
        out << ui->FilesCbL->item(i)->text();
    return out;
}

void TestMasterForm::captions_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("category");
    QTest::newRow("ActBack") << u"ActBack"_s << u"< &Назад"_s << u"Navigation"_s;
    QTest::newRow("ActNext") << u"ActNext"_s << u"&Вперед >"_s << u"Navigation"_s;
    QTest::newRow("ActFinish") << u"ActFinish"_s << u"Готово"_s << u"Navigation"_s;
    QTest::newRow("ActCancel") << u"ActCancel"_s << u"Отмена"_s << u"Navigation"_s;
    QTest::newRow("ActAddFolder") << u"ActAddFolder"_s << u"Добавить"_s << u"Folders"_s;
    QTest::newRow("ActDeleteFolder") << u"ActDeleteFolder"_s << u"Удалить"_s << u"Folders"_s;
}

void TestMasterForm::captions()
{
    QFETCH(QString, action);
    QFETCH(QString, caption);
    QFETCH(QString, category);
    auto* a = FForm->findChild<QAction*>(action);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->data().toString(), category);
    QCOMPARE(FForm->windowTitle(), u"Добавление программы"_s);
}

void TestMasterForm::enablingFollowsThePages()
{
    FForm->show();
    QCOMPARE(FForm->PageIndex(), 0);
    QCOMPARE(ui->TopLbl->text(), u"Выберите дирректории для сканирования"_s);
    QCOMPARE(FForm->height(), 325);
    QVERIFY(!ui->ActNext->isEnabled());
    QVERIFY(!ui->ActBack->isEnabled());
    QVERIFY(!ui->ActFinish->isEnabled());
    QVERIFY(ui->ActCancel->isEnabled());
    QCOMPARE(ui->NextBtn->text(), u"&Вперед >"_s);
    QVERIFY(!ui->NextBtn->isEnabled());
    AddFolder(FOther);
    QVERIFY(ui->ActNext->isEnabled());
    QVERIFY(ui->NextBtn->isEnabled());
    QTest::mouseClick(ui->NextBtn, Qt::LeftButton);
    QCOMPARE(FForm->PageIndex(), 1);
    QCOMPARE(ui->TopLbl->text(), u"Выберите файлы для сканирования"_s);
    QCOMPARE(ui->NextBtn->text(), u"Готово"_s);
    QVERIFY(ui->ActBack->isEnabled());
    QVERIFY(ui->ActFinish->isEnabled());
    QVERIFY(ui->Label1->isVisible() && ui->Label3->isVisible());
    QCOMPARE(ui->Label3->text(), u"1"_s);
    FForm->hide();
}

void TestMasterForm::sameFolderTwiceInAnotherCaseKeepsOne()
{
    const QStringList got = Wizard([this] {
        AddFolder(FTree);
        AddFolder(FTree.toUpper());
        AddFolder(FOther);
        AddFolder(FOther.toLower());
        FDialogs.AnswerFolder(QString()); // the user cancels the picker
        ui->ActAddFolder->trigger();
        ui->ActCancel->trigger();
    });
    QVERIFY(got.isEmpty());
    QCOMPARE(ui->FoldersList->count(), 2);
    QCOMPARE(ui->FoldersList->item(0)->text(), FTree);
    QCOMPARE(ui->FoldersList->item(1)->text(), FOther);
    QCOMPARE(ui->FoldersList->currentRow(), 1);
    QCOMPARE(FDialogs.Asked().size(), 5);
    QCOMPARE(FDialogs.Asked().first().Caption, u"Выберите папку для поиска программ"_s);
}

void TestMasterForm::deleteFolder()
{
    AddFolder(FTree);
    AddFolder(FOther);
    ui->FoldersList->clearSelection();
    ui->FoldersList->setCurrentRow(-1);
    ui->ActDeleteFolder->trigger(); // nothing selected: nothing happens
    QCOMPARE(ui->FoldersList->count(), 2);
    ui->FoldersList->setCurrentRow(0);
    ui->ActDeleteFolder->trigger();
    QCOMPARE(ui->FoldersList->count(), 1);
    QCOMPARE(ui->FoldersList->item(0)->text(), FOther);
    QVERIFY(ui->FoldersList->selectedItems().isEmpty());
}

void TestMasterForm::searchListsEveryFileTicked()
{
    AddFolder(FTree);
    AddFolder(FOther);
    FForm->show();
    ui->ActNext->trigger();
    QCOMPARE(Listed(), FExpected + QStringList{FOther + u"/other.exe"_s});
    for (int i = 0; i < ui->FilesCbL->count(); ++i)
        QCOMPARE(ui->FilesCbL->item(i)->checkState(), Qt::Checked);
    QCOMPARE(ui->Label3->text(), QString::number(FExpected.size() + 1));
    QVERIFY(!Listed().contains(FTree + u"/setup.exe.bak"_s));
    QVERIFY(Listed().contains(FTree + u"/tools.exe"_s));
    QVERIFY(!ui->Animate1->isVisible());
    QVERIFY(ui->FilesCbL->isVisible());
    FForm->hide();
}

void TestMasterForm::backAndForwardKeepTicks()
{
    AddFolder(FOther);
    FForm->show();
    ui->ActNext->trigger();
    ui->FilesCbL->item(0)->setCheckState(Qt::Unchecked);
    ui->ActBack->trigger();
    QCOMPARE(FForm->PageIndex(), 0);
    QVERIFY(!ui->Label1->isVisible());
    QCOMPARE(ui->FilesCbL->item(0)->checkState(), Qt::Unchecked);
    ui->ActNext->trigger(); // searches again: a fresh, ticked list
    QCOMPARE(ui->FilesCbL->count(), 1);
    QCOMPARE(ui->FilesCbL->item(0)->checkState(), Qt::Checked);
    FForm->hide();
}

void TestMasterForm::finishReturnsTheTickedFiles()
{
    const QStringList got = Wizard([this] {
        AddFolder(FTree);
        ui->ActNext->trigger();
        ui->FilesCbL->item(0)->setCheckState(Qt::Unchecked);
        ui->FilesCbL->item(2)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(ui->NextBtn, Qt::LeftButton); // "Готово"
    });
    QStringList wanted = FExpected;
    wanted.removeAt(2);
    wanted.removeAt(0);
    QCOMPARE(got, wanted);
}

void TestMasterForm::finishWithTicksClearedReturnsNothing()
{
    const QStringList got = Wizard([this] {
        AddFolder(FOther);
        ui->ActNext->trigger();
        ui->FilesCbL->item(0)->setCheckState(Qt::Unchecked);
        ui->ActFinish->trigger();
    });
    QVERIFY(got.isEmpty());
}

void TestMasterForm::cancelReturnsNothing_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Отмена") << false;
    QTest::newRow("close box") << true;
}

void TestMasterForm::cancelReturnsNothing()
{
    QFETCH(bool, closeBox);
    const QStringList got = Wizard([this, closeBox] {
        AddFolder(FOther);
        ui->ActNext->trigger();
        if (closeBox)
            FForm->close();
        else
            ui->ActCancel->trigger();
    });
    QVERIFY(got.isEmpty());
    QVERIFY(!FForm->isVisible());
}

void TestMasterForm::cancelDuringTheSearchReturnsNothing()
{
    bool searching = false;
    const QStringList got = Wizard([this, &searching] {
        AddFolder(FTree);
        QTimer::singleShot(0, FForm.get(), [this, &searching] {
            searching = FForm->Searching();
            QTest::mouseClick(ui->CancelBtn, Qt::LeftButton);
            QVERIFY(FForm->isVisible()); // the window waits for the search
        });
        ui->ActNext->trigger();
    });
    QVERIFY(searching);
    QVERIFY(got.isEmpty());
    QVERIFY(!FForm->Searching());
    QVERIFY(ui->FilesCbL->count() < FExpected.size()); // the search stopped early
}

void TestMasterForm::pressesDuringTheSearchDoNotReenterIt()
{
    int presses = 0;
    QTimer poke;
    poke.setInterval(0);
    connect(&poke, &QTimer::timeout, FForm.get(), [&] {
        if (!FForm->Searching() || ui->FilesCbL->count() < 3)
            return;
        ++presses;
        FDialogs.AnswerFolder(FOther);
        for (QAction* a : {ui->ActNext, ui->ActBack, ui->ActAddFolder, ui->ActDeleteFolder})
            a->trigger();
        QTest::mouseClick(ui->NextBtn, Qt::LeftButton);
        QTest::mouseClick(ui->BackBtn, Qt::LeftButton);
        QCOMPARE(FForm->PageIndex(), 1);
        if (presses == 5)
            ui->ActFinish->trigger(); // "Готово" while searching: closes at the end
    });
    const QStringList got = Wizard([&] {
        AddFolder(FTree);
        poke.start();
        ui->ActNext->trigger();
        poke.stop();
    });
    QVERIFY(presses >= 5);
    QCOMPARE(ui->FoldersList->count(), 1);
    QCOMPARE(got, FExpected);
}

void TestMasterForm::nextButtonReadsForwardUntilPressedDuringTheSearch()
{
    QStringList before, after;
    bool pressed = false;
    QTimer poke;
    poke.setInterval(0);
    connect(&poke, &QTimer::timeout, FForm.get(), [&] {
        if (!FForm->Searching() || ui->FilesCbL->count() < 1)
            return;
        if (!pressed) {
            before << ui->NextBtn->text();
            QTest::mouseClick(ui->NextBtn, Qt::LeftButton);
            pressed = true;
            // The press did nothing but turn the button over; the search goes on.
            after << ui->NextBtn->text();
            QVERIFY(FForm->Searching());
        }
    });
    Wizard([&] {
        AddFolder(FTree);
        poke.start();
        ui->ActNext->trigger();
        poke.stop();
        QVERIFY(pressed);
        QCOMPARE(ui->NextBtn->text(), u"Готово"_s);
        ui->ActCancel->trigger();
    });
    QCOMPARE(before, QStringList{u"&Вперед >"_s});
    QCOMPARE(after, QStringList{u"Готово"_s});
}

void TestMasterForm::reopeningShowsTheFolderPage()
{
    Wizard([this] {
        AddFolder(FOther);
        ui->ActNext->trigger();
        ui->ActCancel->trigger();
    });
    bool checked = false;
    Wizard([&] {
        QCOMPARE(FForm->PageIndex(), 0);
        QVERIFY(ui->Page1Pnl->isVisible());
        QVERIFY(!ui->Page2Pnl->isVisible());
        QVERIFY(!ui->Label3->isVisible());
        QCOMPARE(ui->FoldersList->count(), 1);
        QCOMPARE(ui->FilesCbL->count(), 1); // replaced only by the next search
        checked = true;
        ui->ActCancel->trigger();
    });
    QVERIFY(checked);
}

void TestMasterForm::insideArchivesOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("inside");
    QTest::newRow("unticked, as at first") << false;
    QTest::newRow("ticked") << true;
}

void TestMasterForm::insideArchivesOnlyWhenTicked()
{
    QFETCH(bool, inside);
    QCOMPARE(ui->CheckBox1->text(), u"Искать в образах дисков и архивах"_s);
    QVERIFY(!ui->CheckBox1->isChecked());
    // Icons are kept as pictures unless the user says otherwise.
    QCOMPARE(ui->CheckBox2->text(), u"Сохранять значки программ как картинки"_s);
    QVERIFY(ui->CheckBox2->isChecked());
    QVERIFY(FForm->StoreIcons());
    ui->CheckBox2->setChecked(false);
    QVERIFY(!FForm->StoreIcons());
    const QString archives = QStringLiteral(ARCHIVE_FIXTURES);
    const QStringList got = Wizard([&] {
        AddFolder(archives);
        if (inside)
            QTest::mouseClick(ui->CheckBox1, Qt::LeftButton, {},
                              QPoint(4, ui->CheckBox1->height() / 2));
        QCOMPARE(FForm->InsideArchives(), inside);
        ui->ActNext->trigger();
        if (!inside) {
            // No executable lies in the folder itself.
            QCOMPARE(ui->FilesCbL->count(), 0);
            QVERIFY(ui->Label4->isHidden());
            ui->ActCancel->trigger();
            return;
        }
        // Three damaged and three encrypted containers.
        QVERIFY(!ui->Label4->isHidden());
        QCOMPARE(ui->Label4->text(), u"Пропущено архивов: 6"_s);
        QVERIFY(ui->Label4->toolTip().contains(archives + u"/encrypted.zip: encrypted"_s));
        ui->ActFinish->trigger();
    });
    if (!inside) {
        QCOMPARE(got, QStringList());
        return;
    }
    QVERIFY(got.contains(archives + u"/disc.iso!/SETUP/SETUP.EXE"_s));
    QVERIFY(got.contains(archives + u"/nested.zip!/inner.7z!/inner.exe"_s));
    QCOMPARE(got.size(), 27);
}

void TestMasterForm::knownFilesAreMarked_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("mark");
    QTest::addColumn<bool>("ticked");
    const int known = int(TMasterForm::TFileMark::Known);
    const int changed = int(TMasterForm::TFileMark::Changed);
    QTest::newRow("same version, no size") << u"2.5.0.1"_s << QString() << known << false;
    QTest::newRow("same version and size") << u"2.5.0.1"_s << u"SIZE"_s << known << false;
    QTest::newRow("another version") << u"2.4"_s << QString() << changed << true;
    QTest::newRow("another size") << u"2.5.0.1"_s << u"12"_s << changed << true;
}

void TestMasterForm::knownFilesAreMarked()
{
    QFETCH(QString, version);
    QFETCH(QString, size);
    QFETCH(int, mark);
    QFETCH(bool, ticked);
    QTemporaryDir dir;
    const QString english = dir.filePath(u"english.exe"_s);
    QVERIFY(QFile::copy(QStringLiteral(VERINFO_FIXTURES "/english64.exe"), english));
    Touch(dir.filePath(u"new.exe"_s));
    if (size == u"SIZE"_s)
        size = QString::number(QFileInfo(english).size());

    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    table.Append();
    table.FieldByName(u"FileName"_s)->SetAsString(english);
    table.FieldByName(u"FileVersion"_s)->SetAsString(version);
    table.FieldByName(u"Size"_s)->SetAsString(size);
    table.Post();
    // A filter that hides the record does not hide it from the check.
    table.SetFilter(u"ProductName = 'none'"_s);
    table.SetFiltered(true);

    FForm->SetCatalogue(&table);
    const QStringList got = Wizard([&] {
        AddFolder(dir.path());
        ui->ActNext->trigger();
        ui->ActFinish->trigger();
    });
    QCOMPARE(ui->FilesCbL->count(), 2);
    for (int i = 0; i < ui->FilesCbL->count(); ++i) {
        const QListWidgetItem* item = ui->FilesCbL->item(i);
        const QString path = item->data(TMasterForm::PathRole).toString();
        if (path != english) {
            QCOMPARE(item->data(TMasterForm::MarkRole).toInt(), int(TMasterForm::TFileMark::None));
            QCOMPARE(item->text(), path);
            continue;
        }
        QCOMPARE(item->data(TMasterForm::MarkRole).toInt(), mark);
        QCOMPARE(item->checkState(), ticked ? Qt::Checked : Qt::Unchecked);
        QVERIFY(item->text().startsWith(english));
        QVERIFY(item->text().endsWith(mark == int(TMasterForm::TFileMark::Known) ? u"уже в базе"_s
                                                                                 : u"изменён"_s));
    }
    QCOMPARE(got.contains(english), ticked);
    QVERIFY(got.contains(dir.filePath(u"new.exe"_s)));
}

void TestMasterForm::packagesOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("packages");
    QTest::addColumn<bool>("inside");
    QTest::newRow("unticked, as at first") << false << false;
    QTest::newRow("unticked, archives searched") << false << true;
    QTest::newRow("packages") << true << false;
    QTest::newRow("packages and what they install") << true << true;
}

void TestMasterForm::packagesOnlyWhenTicked()
{
    QFETCH(bool, packages);
    QFETCH(bool, inside);
    QCOMPARE(ui->CheckBox3->text(), u"Искать пакеты установки (*.msi)"_s);
    QVERIFY(!ui->CheckBox3->isChecked());
    const QString folder = QStringLiteral(MSI_FIXTURES "/packages");
    QStringList expected;
    if (packages) {
        for (const QString& name : QDir(folder).entryList({u"*.msi"_s}, QDir::Files))
            expected << folder + u'/' + name;
        QCOMPARE(expected.size(), 4);
    }
    if (packages && inside)
        expected << folder + u"/latin.msi!/Program Files/Example Organizer/bin/app.exe"_s
                 << folder + u"/latin.msi!/Program Files/Example Organizer/nores.exe"_s
                 << folder + u"/cyrillic.msi!/Program Files/Бухгалтерия/russian.exe"_s;
    QStringList got = Wizard([&] {
        AddFolder(folder);
        if (packages)
            QTest::mouseClick(ui->CheckBox3, Qt::LeftButton, {},
                              QPoint(4, ui->CheckBox3->height() / 2));
        ui->CheckBox1->setChecked(inside);
        QCOMPARE(FForm->SearchPackages(), packages);
        ui->ActNext->trigger();
        // The damaged package and the text file so named cannot be searched inside.
        QCOMPARE(ui->Label4->isHidden(), !(packages && inside));
        if (ui->FilesCbL->count() > 0)
            ui->ActFinish->trigger();
        else
            ui->ActCancel->trigger();
    });
    got.sort();
    expected.sort();
    QCOMPARE(got, expected);
}

void TestMasterForm::knownPackagesAreMarked()
{
    const QString folder = QStringLiteral(MSI_FIXTURES "/packages");
    const QString latin = folder + u"/latin.msi"_s;
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::THarvestOptions options;
    options.Packages = true;
    QVERIFY(Harvest::HarvestFile(table, latin, options));
    FForm->SetCatalogue(&table);
    ui->CheckBox3->setChecked(true);
    const QStringList got = Wizard([&] {
        AddFolder(folder);
        ui->ActNext->trigger();
        ui->ActFinish->trigger();
    });
    ui->CheckBox3->setChecked(false);
    QVERIFY(!got.contains(latin));
    QVERIFY(got.contains(folder + u"/cyrillic.msi"_s));
    for (int i = 0; i < ui->FilesCbL->count(); ++i) {
        const QListWidgetItem* item = ui->FilesCbL->item(i);
        const bool isLatin = item->data(TMasterForm::PathRole).toString() == latin;
        QCOMPARE(item->data(TMasterForm::MarkRole).toInt(),
                 int(isLatin ? TMasterForm::TFileMark::Known : TMasterForm::TFileMark::None));
    }
}

QTEST_MAIN(TestMasterForm)
#include "tst_masterform.moc"
