// Which catalogue the program starts on, and switching catalogues from the "База"
// menu, on the real windows with the dialogs answered by a script. Every case keeps its
// catalogues, its working directory and its user data folder in a temporary folder.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "pictures/image.h"
#include "platform/apppaths.h"
#include "platform/command.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray ForeignBytes = "These bytes are no catalogue of any kind.\n";

// Makes PATH as KIND says: "catalogue" (one record named NAME), "foreign" (a file that
// is no catalogue), anything else nothing.
void MakeFile(const QString& path, const QString& kind, const QString& name)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (kind == u"catalogue"_s) {
        Catalogue::Create(path);
        const std::unique_ptr<TDataModule1> dm = Catalogue::Open(path, TBookFields::All);
        TTestCatalogue::AddNames(dm->BookTable, {name});
    } else if (kind == u"foreign"_s) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ForeignBytes);
    }
}

QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Names(TDataSet& table)
{
    QStringList names;
    const int field = table.FieldByName(u"ProductName"_s)->Index();
    for (int row = 0; row < table.ViewRowCount(); ++row)
        names << table.ViewText(row, field);
    return names;
}

// The rows of each reference list, in the order the data module opens them.
QList<int> ListSizes(TDataModule1& dm)
{
    QList<int> sizes;
    for (TDataSet* ref : dm.ReferenceTables())
        sizes << (ref->Active() ? ref->RecordCount() : -1);
    return sizes;
}

} // namespace

class TestCatalogues : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TTresmolApp> FApp;
    QString FOldCurrent;
    QByteArray FOldDataHome;
    QList<int> FStandardSizes;

    TForm1Controls Ui() { return TForm1Controls(FApp->Form1); }
    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    QAction* Item(const char16_t* name)
    {
        return Control<QAction>(FApp->Form1, QString::fromUtf16(name));
    }

    QString Ini() const { return FDir->filePath(u"tresmol.ini"_s); }

    // Start-up as the program does it: the catalogue chosen (and made) for ARGUMENT,
    // every window created, the main window shown and activated, which connects.
    void Start(const QString& argument, const QString& connectionString = QString())
    {
        const TStartCatalogue start = ChooseStartCatalogue(
            argument, Ini(), [](const QString& message) { ShowErrorBox(message); });
        FApp = std::make_unique<TTresmolApp>(connectionString.isEmpty() ? start.ConnectionString
                                                                        : connectionString);
        FApp->Form1->SetSettingsFileName(Ini());
        if (!start.Note.isEmpty())
            FApp->Form1->ShowOutcome(start.Note);
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
    }

    void StartOn(const QString& path)
    {
        Start(path);
        QVERIFY(Table().Active());
    }

    // The program closed and started again from the menu: no argument.
    void Restart()
    {
        FApp->Form1->close();
        FApp.reset();
        Start(QString());
    }

    QStringList RecentItems()
    {
        auto* menu = FApp->Form1->findChild<QMenu*>(u"RecentBases1"_s);
        emit FApp->Form1->findChild<QMenu*>(u"N1"_s)->aboutToShow();
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        return texts;
    }

    // Runs the item of "Недавние базы" that names PATH, as a click does.
    void ChooseRecent(const QString& path)
    {
        RecentItems();
        auto* menu = FApp->Form1->findChild<QMenu*>(u"RecentBases1"_s);
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions())
            if (a->text().endsWith(u' ' + path))
                chosen = a;
        QVERIFY2(chosen, qPrintable(path));
        chosen->trigger();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        // What a catalogue made by the command line holds, to compare with.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"standard.mdb"_s);
        Catalogue::CreateNew(path);
        const std::unique_ptr<TDataModule1> dm = Catalogue::Open(path, TBookFields::All);
        FStandardSizes = ListSizes(*dm);
        for (int size : FStandardSizes)
            QVERIFY(size > 0);
        QCOMPARE(dm->BookTable.RecordCount(), 0);
        FOldCurrent = QDir::currentPath();
        FOldDataHome = qgetenv("XDG_DATA_HOME");
    }

    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        QDir(FDir->path()).mkpath(u"work"_s);
        QVERIFY(QDir::setCurrent(FDir->filePath(u"work"_s)));
        qputenv("XDG_DATA_HOME", FDir->filePath(u"data"_s).toLocal8Bit());
    }

    void cleanup()
    {
        if (FApp) {
            FApp->Form1->close();
            FApp.reset();
        }
        QDir::setCurrent(FOldCurrent);
        qputenv("XDG_DATA_HOME", FOldDataHome);
        FDir.reset();
        SetDialogs(nullptr);
    }

    void userCatalogueLivesInTheDataFolder()
    {
        QCOMPARE(AppPaths::UserCatalogue(), FDir->filePath(u"data/tresmol/Tresmol.mdb"_s));
    }

    void startingCatalogue_data()
    {
        QTest::addColumn<QString>("argument"); // "" none, else a file in the working folder
        QTest::addColumn<QString>("argFile");  // what that file is: catalogue, foreign, none
        QTest::addColumn<QString>("workFile"); // Tresmol.mdb in the working folder
        QTest::addColumn<QString>("userFile"); // the user's catalogue
        QTest::addColumn<QString>("opened");   // the record the window shows, "" none
        QTest::addColumn<bool>("created");     // the user's catalogue made now
        QTest::addColumn<bool>("errors");      // error boxes shown
        QTest::addColumn<QString>("panel");    // the connection panel; "@USER@" the user's

        QTest::newRow("argument before everything")
            << u"given.mdb"_s << u"catalogue"_s << u"catalogue"_s << u"catalogue"_s
            << u"given.mdb"_s << false << false << u"Подключены к given.mdb"_s;
        QTest::newRow("argument missing: not made")
            << u"given.mdb"_s << u"none"_s << u"catalogue"_s << u"catalogue"_s << QString() << false
            << true << QString();
        QTest::newRow("argument unreadable")
            << u"given.mdb"_s << u"foreign"_s << u"catalogue"_s << u"none"_s << QString() << false
            << true << QString();
        QTest::newRow("working folder before the user's")
            << QString() << u"none"_s << u"catalogue"_s << u"catalogue"_s << u"Tresmol.mdb"_s
            << false << false << u"Подключены к Tresmol.mdb"_s;
        QTest::newRow("working folder unreadable: no fallback")
            << QString() << u"none"_s << u"foreign"_s << u"catalogue"_s << QString() << false
            << true << QString();
        QTest::newRow("user's catalogue present")
            << QString() << u"none"_s << u"none"_s << u"catalogue"_s << u"user"_s << false << false
            << u"Подключены к @USER@"_s;
        QTest::newRow("first start makes the user's catalogue")
            << QString() << u"none"_s << u"none"_s << u"none"_s << QString() << true << false
            << u"Подключены к @USER@"_s;
        QTest::newRow("user's catalogue unreadable: kept, not remade")
            << QString() << u"none"_s << u"none"_s << u"foreign"_s << QString() << false << true
            << QString();
    }

    void startingCatalogue()
    {
        QFETCH(QString, argument);
        QFETCH(QString, argFile);
        QFETCH(QString, workFile);
        QFETCH(QString, userFile);
        QFETCH(QString, opened);
        QFETCH(bool, created);
        QFETCH(bool, errors);
        QFETCH(QString, panel);
        const QString user = AppPaths::UserCatalogue();
        if (!argument.isEmpty())
            MakeFile(argument, argFile, argument);
        MakeFile(u"Tresmol.mdb"_s, workFile, u"Tresmol.mdb"_s);
        MakeFile(user, userFile, u"user"_s);

        Start(argument);
        QCOMPARE(!FDialogs.Messages().isEmpty(), errors);
        for (const auto& box : FDialogs.Messages()) {
            QCOMPARE(box.Icon, TMsgIcon::miStop);
            QCOMPARE(box.Caption, ApplicationTitle());
        }
        QCOMPARE(Ui().StatusText(0), panel.replace(u"@USER@"_s, user));
        QCOMPARE(Table().Active(), !errors);
        if (errors) {
            // The disconnected window: nothing shown, only "Подключится" usable.
            QCOMPARE(Ui().DBGrid1->model()->rowCount(), 0);
            FApp->Form1->UpdateActions();
            QVERIFY(Ui().ActConnect->isEnabled());
            QVERIFY(!Ui().ActAdd->isEnabled());
        } else {
            QCOMPARE(Names(Table()), opened.isEmpty() ? QStringList() : QStringList{opened});
        }
        if (created)
            QCOMPARE(ListSizes(*FApp->DataModule1), FStandardSizes);
        // Nothing is made but the user's catalogue on a first start, and an unreadable
        // file is left as it was.
        QCOMPARE(QFileInfo::exists(user), userFile != u"none"_s || created);
        QCOMPARE(QFileInfo::exists(argument), !argument.isEmpty() && argFile != u"none"_s);
        if (userFile == u"foreign"_s)
            QCOMPARE(Contents(user), ForeignBytes);
        if (workFile == u"foreign"_s)
            QCOMPARE(Contents(u"Tresmol.mdb"_s), ForeignBytes);
    }

    void userCatalogueThatCannotBeMadeStartsDisconnected()
    {
        // The data folder is a file, so no folder can be made in it.
        QFile blocker(FDir->filePath(u"data"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Start(QString());
        QVERIFY(!FDialogs.Messages().isEmpty());
        QVERIFY2(FDialogs.Messages().first().Text.contains(u"Cannot create the folder"_s),
                 qPrintable(FDialogs.Messages().first().Text));
        QVERIFY(!Table().Active());
        QVERIFY(Ui().StatusText(0).isEmpty());
    }

    void openBaseSwitchesAndPostsThePendingChange()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString second = FDir->filePath(u"second.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        StartOn(first);
        QCOMPARE(Ui().StatusText(1), u"Запись 1 из 1"_s);

        // A version typed but not yet taken in by the record.
        Ui().DBEdit6->setFocus();
        QTest::keyClicks(Ui().DBEdit6, u"2.0"_s);
        QVERIFY(Ui().DBEdit6->Holding());

        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(FDialogs.Asked().size(), 1);
        QCOMPARE(FDialogs.Asked()[0].Kind, u"file"_s);
        QCOMPARE(FDialogs.Asked()[0].Caption, u"Открыть базу"_s);
        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(Table().Active());
        QCOMPARE(Names(Table()), QStringList{u"Bravo"_s});
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + second);
        QCOMPARE(Ui().StatusText(1), u"Запись 1 из 1"_s);
        QCOMPARE(Ui().DBText2->text(), u"Bravo"_s);

        // The change went into the catalogue left behind.
        {
            const std::unique_ptr<TDataModule1> dm = Catalogue::Open(first, TBookFields::All);
            QCOMPARE(dm->BookTable.FieldByName(u"ProductVersion"_s)->AsString(), u"2.0"_s);
        }

        // And back again.
        FDialogs.AnswerFile(first);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(Names(Table()), QStringList{u"Alpha"_s});
        QCOMPARE(Table().FieldByName(u"ProductVersion"_s)->AsString(), u"2.0"_s);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + first);
    }

    void openBaseStaysWhenTheChangeCannotBePosted()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString second = FDir->filePath(u"second.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        StartOn(first);
        Table().Edit();
        Table().FieldByName(u"ProductVersion"_s)->SetAsString(u"mine"_s);
        // Someone else saves the same record meanwhile.
        {
            const std::unique_ptr<TDataModule1> other = Catalogue::Open(first, TBookFields::All);
            other->BookTable.Edit();
            other->BookTable.FieldByName(u"ProductVersion"_s)->SetAsString(u"theirs"_s);
            other->BookTable.Post();
        }
        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QVERIFY2(FDialogs.Messages()[0].Text.contains(u"изменил другой пользователь"_s),
                 qPrintable(FDialogs.Messages()[0].Text));
        QVERIFY(Table().Active());
        QCOMPARE(Names(Table()), QStringList{u"Alpha"_s});
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + first);
    }

    void openBaseOnAFileThatIsNoCatalogueKeepsTheCurrentOne()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString foreign = FDir->filePath(u"notes.txt"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(foreign, u"foreign"_s, QString());
        StartOn(first);
        FDialogs.AnswerFile(foreign);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miStop);
        QVERIFY(Table().Active());
        QCOMPARE(Names(Table()), QStringList{u"Alpha"_s});
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + first);
        QCOMPARE(Contents(foreign), ForeignBytes);
    }

    void openBaseCancelledChangesNothing()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        StartOn(first);
        Table().Edit();
        Table().FieldByName(u"ProductVersion"_s)->SetAsString(u"2.0"_s);
        Item(u"OpenBase1")->trigger(); // no answer queued: the picker is cancelled
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + first);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void openBaseFromADisconnectedWindow()
    {
        // The way out for a program that started on nothing it could open.
        const QString second = FDir->filePath(u"second.mdb"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        Start(u"missing.mdb"_s);
        QVERIFY(!Table().Active());
        QVERIFY(Item(u"OpenBase1")->isEnabled());
        FDialogs.ClearAsked();
        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Names(Table()), QStringList{u"Bravo"_s});
        FApp->Form1->UpdateActions();
        QVERIFY(Ui().ActAdd->isEnabled());
    }

    void restartOpensTheCatalogueWorkedInLast_data()
    {
        QTest::addColumn<QString>("workFile"); // Tresmol.mdb in the working folder
        QTest::addColumn<bool>("gone");        // the last catalogue removed before restart
        QTest::addColumn<QString>("opened");   // the record shown after the restart
        QTest::newRow("the last one") << u"none"_s << false << u"Bravo"_s;
        QTest::newRow("gone: the user's, said once") << u"none"_s << true << QString();
        QTest::newRow("working folder first") << u"catalogue"_s << false << u"Tresmol.mdb"_s;
    }

    void restartOpensTheCatalogueWorkedInLast()
    {
        QFETCH(QString, workFile);
        QFETCH(bool, gone);
        QFETCH(QString, opened);
        const QString second = FDir->filePath(u"Мои диски.mdb"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        Start(QString()); // the user's catalogue, made now
        QVERIFY(Table().Active());
        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(Names(Table()), QStringList{u"Bravo"_s});

        MakeFile(u"Tresmol.mdb"_s, workFile, u"Tresmol.mdb"_s);
        if (gone)
            QVERIFY(QFile::remove(second));
        Restart();
        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(Table().Active());
        QCOMPARE(Names(Table()), opened.isEmpty() ? QStringList() : QStringList{opened});
        // Nothing is made in place of the catalogue that is gone.
        QCOMPARE(QFileInfo::exists(second), !gone);
        if (gone) {
            QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + AppPaths::UserCatalogue());
            QVERIFY2(Ui().StatusText(2).contains(second), qPrintable(Ui().StatusText(2)));
            // Said once: the next start opens the user's catalogue without a word.
            Restart();
            QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + AppPaths::UserCatalogue());
            QVERIFY(Ui().StatusText(2).isEmpty());
        } else {
            QVERIFY(Ui().StatusText(2).isEmpty());
        }
    }

    void recentBasesKeepTheLastFive()
    {
        QStringList paths;
        for (int i = 0; i < 7; ++i) {
            paths << FDir->filePath(u"c%1.mdb"_s.arg(i));
            MakeFile(paths.last(), u"catalogue"_s, u"Name%1"_s.arg(i));
        }
        StartOn(paths[0]);
        for (int i = 1; i < 7; ++i) {
            FDialogs.AnswerFile(paths[i]);
            Item(u"OpenBase1")->trigger();
        }
        // Newest first, five of them, each once.
        QStringList expected;
        for (int i = 6; i > 1; --i)
            expected << u"&%1 %2"_s.arg(7 - i).arg(paths[i]);
        QCOMPARE(RecentItems(), expected);
        QVERIFY(FApp->Form1->findChild<QMenu*>(u"RecentBases1"_s)->isEnabled());

        // An item switches to its catalogue, which goes to the head of the list.
        ChooseRecent(paths[3]);
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Names(Table()), QStringList{u"Name3"_s});
        QCOMPARE(RecentItems().first(), u"&1 "_s + paths[3]);
        QCOMPARE(RecentItems().size(), 5);
    }

    void recentBaseThatIsGoneIsRemovedWithAMessage()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString second = FDir->filePath(u"second.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        StartOn(first);
        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        FDialogs.AnswerFile(first);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(RecentItems().size(), 2);
        QVERIFY(QFile::remove(second));

        ChooseRecent(second);
        QCOMPARE(FDialogs.Messages().size(), 1);
        QVERIFY2(FDialogs.Messages()[0].Text.contains(second),
                 qPrintable(FDialogs.Messages()[0].Text));
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miWarning);
        QVERIFY(!QFileInfo::exists(second));
        QCOMPARE(Names(Table()), QStringList{u"Alpha"_s});
        QCOMPARE(RecentItems(), QStringList{u"&1 "_s + first});
    }

    void readOnlyCatalogueIsSaidAtOpen()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString second = FDir->filePath(u"second.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(second, u"catalogue"_s, u"Bravo"_s);
        Start(QString(), Catalogue::ConnectionStringFor(first) + u";Mode=Read"_s);
        QVERIFY(Table().Active());
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(FApp->Form1->windowTitle(), u"Tresmol — только чтение"_s);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + first + u" (только чтение)"_s);
        // A catalogue that can be written says nothing of the kind.
        FDialogs.AnswerFile(second);
        Item(u"OpenBase1")->trigger();
        QCOMPARE(FApp->Form1->windowTitle(), u"Tresmol"_s);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + second);
    }

    void switchingLeavesNothingOfTheCatalogueBefore_data()
    {
        QTest::addColumn<QString>("item"); // CreateBase1 or OpenBase1
        QTest::newRow("Создать базу") << u"CreateBase1"_s;
        QTest::newRow("Открыть базу") << u"OpenBase1"_s;
    }

    void switchingLeavesNothingOfTheCatalogueBefore()
    {
        QFETCH(QString, item);
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString empty = FDir->filePath(u"empty.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        if (item == u"OpenBase1"_s)
            Catalogue::CreateNew(empty);
        // The record's picture, in a picture folder of the test's own.
        const QString pictures = FDir->filePath(u"Images"_s);
        QDir().mkpath(pictures);
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(QDir(pictures).filePath(u"red.png"_s)));
        StartOn(first);
        FApp->Form1->SetPictureFolder(pictures);
        Table().Edit();
        Table().FieldByName(u"Images"_s)->SetAsString(u"red.png"_s);
        Table().Post();
        auto* image = Control<TImage>(FApp->Form1, u"Image1"_s);
        QVERIFY(!image->Picture().IsNull());
        FApp->Form1->ShowOutcome(u"Добавлено записей: 3"_s);

        if (item == u"CreateBase1"_s)
            FDialogs.AnswerSaveFile(empty);
        else
            FDialogs.AnswerFile(empty);
        Item(reinterpret_cast<const char16_t*>(item.utf16()))->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Table().RecordCount(), 0);
        QVERIFY(image->Picture().IsNull());
        QVERIFY(Ui().StatusText(1).isEmpty());
        QVERIFY(Ui().StatusText(2).isEmpty());
    }

    void createBase_data()
    {
        QTest::addColumn<QString>("answer"); // the name chosen in the picker
        QTest::addColumn<QString>("made");   // the file made
        QTest::newRow("with its suffix") << u"new.mdb"_s << u"new.mdb"_s;
        QTest::newRow("suffix added") << u"new"_s << u"new.mdb"_s;
        QTest::newRow("another suffix kept") << u"new.db"_s << u"new.db"_s;
    }

    void createBase()
    {
        QFETCH(QString, answer);
        QFETCH(QString, made);
        const QString first = FDir->filePath(u"first.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        StartOn(first);
        Table().Edit();
        Table().FieldByName(u"ProductVersion"_s)->SetAsString(u"2.0"_s);

        FDialogs.AnswerSaveFile(FDir->filePath(answer));
        Item(u"CreateBase1")->trigger();
        QCOMPARE(FDialogs.Asked().size(), 1);
        QCOMPARE(FDialogs.Asked()[0].Kind, u"save"_s);
        QCOMPARE(FDialogs.Asked()[0].Caption, u"Создать базу"_s);
        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(Table().Active());
        QCOMPARE(Table().RecordCount(), 0);
        QCOMPARE(ListSizes(*FApp->DataModule1), FStandardSizes);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + FDir->filePath(made));
        // The new catalogue shows no position of the one left behind.
        QVERIFY(Ui().StatusText(1).isEmpty());
        const std::unique_ptr<TDataModule1> dm = Catalogue::Open(first, TBookFields::All);
        QCOMPARE(dm->BookTable.FieldByName(u"ProductVersion"_s)->AsString(), u"2.0"_s);
    }

    void createBaseRefusesAnExistingFile()
    {
        const QString first = FDir->filePath(u"first.mdb"_s);
        const QString other = FDir->filePath(u"other.mdb"_s);
        MakeFile(first, u"catalogue"_s, u"Alpha"_s);
        MakeFile(other, u"catalogue"_s, u"Bravo"_s);
        StartOn(first);
        FDialogs.AnswerSaveFile(other);
        Item(u"CreateBase1")->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QVERIFY2(FDialogs.Messages()[0].Text.contains(u"уже существует"_s),
                 qPrintable(FDialogs.Messages()[0].Text));
        QCOMPARE(Names(Table()), QStringList{u"Alpha"_s});
        const std::unique_ptr<TDataModule1> dm = Catalogue::Open(other, TBookFields::All);
        QCOMPARE(Names(dm->BookTable), QStringList{u"Bravo"_s});
    }
};

QTEST_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
