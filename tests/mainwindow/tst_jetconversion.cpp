// A catalogue in its old Jet form given to the window: "Открыть базу…", the file named
// on the command line and the working directory's Tresmol.mdb. The real windows, the
// dialogs answered by a script, the Jet fixture and its pictures copied into a
// temporary folder.

#include "jetimport/jetimport.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/command.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Fixtures = QStringLiteral(JET_FIXTURES);
const QString Question = u"Это каталог в формате Jet. Преобразовать его в новый каталог?"_s;

int MeantRecords()
{
    QFile f(Fixtures + u"/jet4-catalogue.json"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(QJsonDocument::fromJson(f.readAll())
                   .object()
                   .value(u"tables"_s)
                   .toObject()
                   .value(u"SoftTable"_s)
                   .toObject()
                   .value(u"rows"_s)
                   .toArray()
                   .size());
}

// Copies the Jet fixture to PATH, with its Images folder beside it.
void CopyJetFixture(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir().mkpath(folder + u"/Images"_s));
    QVERIFY(QFile::copy(Fixtures + u"/jet4-catalogue.mdb"_s, path));
    const QDir images(Fixtures + u"/Images"_s);
    for (const QString& name : images.entryList(QDir::Files))
        QVERIFY(QFile::copy(images.filePath(name), folder + u"/Images/"_s + name));
}

} // namespace

class TestJetConversion : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TTresmolApp> FApp;
    QString FOldCurrent;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    QString Pictures() const { return FDir->filePath(u"pictures"_s); }

    // Start-up as the program does it, the picture folder set before any event runs.
    void Start(const QString& argument)
    {
        const TStartCatalogue start =
            ChooseStartCatalogue(argument, FDir->filePath(u"tresmol.ini"_s),
                                 [](const QString& message) { ShowErrorBox(message); });
        FApp = std::make_unique<TTresmolApp>(start.ConnectionString);
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        FApp->Form1->SetPictureFolder(Pictures());
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // The window after a conversion of the fixture into TARGET.
    void VerifyConverted(const QString& target)
    {
        QVERIFY(QFile::exists(target));
        QVERIFY(Table().Active());
        QCOMPARE(Table().RecordCount(), MeantRecords());
        TForm1Controls ui(FApp->Form1);
        QCOMPARE(ui.StatusText(0), u"Подключены к "_s + target);
        QVERIFY2(ui.StatusText(2).startsWith(u"Преобразован каталог "_s),
                 qPrintable(ui.StatusText(2)));
        QVERIFY(!QDir(Pictures()).isEmpty());
        QVERIFY(!FApp->Form1->findChild<QProgressBar*>(u"ProgressBar"_s)->isVisible());
    }

private slots:
    void initTestCase() { FOldCurrent = QDir::currentPath(); }

    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(FDir->path()).mkpath(u"work"_s));
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
        FDir.reset();
        SetDialogs(nullptr);
    }

    void openBaseOffersToConvert_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("save");
        QTest::newRow("Да, saved") << true << true;
        QTest::newRow("Да, picker cancelled") << true << false;
        QTest::newRow("Нет") << false << false;
    }

    void openBaseOffersToConvert()
    {
        QFETCH(bool, yes);
        QFETCH(bool, save);
        const QString first = FDir->filePath(u"first.mdb"_s);
        Catalogue::Create(first);
        {
            const auto dm = Catalogue::Open(first, TBookFields::All);
            TTestCatalogue::AddNames(dm->BookTable, {u"Alpha"_s});
        }
        const QString old = FDir->filePath(u"old/Tresmol.mdb"_s);
        CopyJetFixture(old);
        const QString target = FDir->filePath(u"Новый.mdb"_s);
        Start(first);
        QVERIFY(Table().Active());
        FDialogs.ClearAsked();
        FDialogs.AnswerFile(old);
        FDialogs.AnswerMessage(yes ? TMsgResult::mrYes : TMsgResult::mrNo);
        if (save)
            FDialogs.AnswerSaveFile(target);
        Control<QAction>(FApp->Form1, u"OpenBase1"_s)->trigger();

        const QList<TScriptedDialogs::TAsked> asked = FDialogs.Asked();
        QCOMPARE(asked.size(), yes ? 3 : 2);
        QCOMPARE(asked[1].Kind, u"message"_s);
        QCOMPARE(asked[1].Text, Question);
        QCOMPARE(asked[1].Caption, ApplicationTitle());
        QCOMPARE(asked[1].Buttons, TMsgButtons::mbYesNo);
        if (yes) {
            QCOMPARE(asked[2].Kind, u"save"_s);
            // Beside the old file, under a name that says what it is.
            QCOMPARE(asked[2].Text, FDir->filePath(u"old/Tresmol (преобразован).mdb"_s));
        }
        if (save) {
            VerifyConverted(target);
        } else {
            QVERIFY(!QFile::exists(target));
            QCOMPARE(QDir(FDir->filePath(u"old"_s)).entryList(QDir::Files),
                     QStringList{u"Tresmol.mdb"_s});
            QCOMPARE(Table().RecordCount(), 1);
            QCOMPARE(TForm1Controls(FApp->Form1).StatusText(0), u"Подключены к "_s + first);
        }
    }

    void startOnAJetFileOffersToConvert_data()
    {
        QTest::addColumn<bool>("argument"); // else Tresmol.mdb in the working folder
        QTest::addColumn<bool>("yes");
        QTest::newRow("tresmol FILE, Да") << true << true;
        QTest::newRow("tresmol FILE, Нет") << true << false;
        QTest::newRow("working folder, Да") << false << true;
        QTest::newRow("working folder, Нет") << false << false;
    }

    void startOnAJetFileOffersToConvert()
    {
        QFETCH(bool, argument);
        QFETCH(bool, yes);
        const QString old =
            argument ? FDir->filePath(u"old/Каталог.mdb"_s) : FDir->filePath(u"work/Tresmol.mdb"_s);
        CopyJetFixture(old);
        const QString target = FDir->filePath(u"converted.mdb"_s);
        FDialogs.AnswerMessage(yes ? TMsgResult::mrYes : TMsgResult::mrNo);
        FDialogs.AnswerSaveFile(target);
        Start(argument ? old : QString());
        // No error that the file is not a catalogue: the question alone.
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Text, Question);
        if (yes) {
            VerifyConverted(target);
        } else {
            QVERIFY(!Table().Active());
            QVERIFY(!QFile::exists(target));
            QCOMPARE(FDialogs.PendingAnswers(), 1);
        }
    }

    void conversionRefusedLeavesTheWindowAsItWas()
    {
        // A Jet file that is not a catalogue: the standard error box names what it
        // lacks, and the catalogue open before stays.
        const QString first = FDir->filePath(u"first.mdb"_s);
        Catalogue::CreateNew(first);
        Start(first);
        FDialogs.ClearAsked();
        FDialogs.AnswerFile(Fixtures + u"/jet4-not-catalogue.mdb"_s);
        FDialogs.AnswerMessage(TMsgResult::mrYes);
        FDialogs.AnswerSaveFile(FDir->filePath(u"new.mdb"_s));
        Control<QAction>(FApp->Form1, u"OpenBase1"_s)->trigger();
        const QList<TScriptedDialogs::TAsked> messages = FDialogs.Messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1].Icon, TMsgIcon::miStop);
        QVERIFY2(messages[1].Text.contains(u"CategoryBase"_s), qPrintable(messages[1].Text));
        QVERIFY(messages[1].Text.startsWith(u"Не удалось преобразовать «"_s));
        QVERIFY(!QFile::exists(FDir->filePath(u"new.mdb"_s)));
        QCOMPARE(TForm1Controls(FApp->Form1).StatusText(0), u"Подключены к "_s + first);
    }
};

QTEST_MAIN(TestJetConversion)
#include "tst_jetconversion.moc"
