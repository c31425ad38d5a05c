// The file information window: what "Обзор" puts into the sixteen edits and in which
// order, "Сохранить" and "Выход", and the reader's error.

#include "dbaware/dbcontrols.h"
#include "harvest/harvestfile.h"
#include "harvestwindows/infoform.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES "/") + name; }

const QStringList EnglishValues = {u"Tresmol Test Works"_s,
                                   u"English sample program"_s,
                                   u"2.5.0.1"_s,
                                   u"english"_s,
                                   u"Copyright (C) 2024 Tresmol Test Works"_s,
                                   u"Tresmol(TM)"_s,
                                   u"english.exe"_s,
                                   u"Tresmol Samples"_s,
                                   u"2.5"_s,
                                   u"Smile: \U0001F600, accents: déjà vu"_s,
                                   QStringLiteral(VERINFO_FIXTURES "/"),
                                   Fixture(u"english64.exe"_s),
                                   u"english64.exe"_s,
                                   u"English (United States)"_s,
                                   u"0409"_s,
                                   u"1200"_s};

const QStringList Columns = {
    u"CompanyName"_s,     u"FileDescription"_s, u"FileVersion"_s,      u"InternalName"_s,
    u"LegalCopyright"_s,  u"LegalTrademarks"_s, u"OriginalFilename"_s, u"ProductName"_s,
    u"ProductVersion"_s,  u"Comments"_s,        u"PlacingProgram"_s,   u"FileName"_s,
    u"ExtractFileName"_s, u"Language"_s,        u"LangID"_s,           u"CodePage"_s};

// The window's controls that the tests press and read, found by their names.
struct TInfoControls {
    explicit TInfoControls(const QWidget* form) : Form(form) {}

    const QWidget* Form;
    TDBEdit* DBEdit1 = Control<TDBEdit>(Form, u"DBEdit1"_s);
    TDBEdit* DBEdit2 = Control<TDBEdit>(Form, u"DBEdit2"_s);
    TDBEdit* DBEdit8 = Control<TDBEdit>(Form, u"DBEdit8"_s);
    TDBEdit* DBEdit9 = Control<TDBEdit>(Form, u"DBEdit9"_s);
    TDBEdit* DBEdit13 = Control<TDBEdit>(Form, u"DBEdit13"_s);
    TDBEdit* DBEdit16 = Control<TDBEdit>(Form, u"DBEdit16"_s);
    QPushButton* SpeedButton1 = Control<QPushButton>(Form, u"SpeedButton1"_s); // "Обзор"
    QPushButton* SpeedButton2 = Control<QPushButton>(Form, u"SpeedButton2"_s); // "Сохранить"
    QPushButton* SpeedButton3 = Control<QPushButton>(Form, u"SpeedButton3"_s); // "Выход"
};

} // namespace

class TestInfoForm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowsAndTabOrder();
    void browseFillsInOrder();
    void saveAfterBrowsePostsTheRecord();
    void saveWithNothingChangedClosesWithoutPosting();
    void exitWithNothingDoneDropsTheNewRecord_data();
    void exitWithNothingDoneDropsTheNewRecord();
    void secondFilterListsEveryFile();
    void exitLeavesTheRecordInInsertion();
    void fileWithoutVersionInfoChangesNothing();
    void secondFileReplacesCorrections();
    void cancelledDialogChangesNothing();

private:
    QStringList Texts() const;
    TInfoControls Ui() const { return TInfoControls(FForm.get()); }

    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TDataModule1> FDm;
    std::unique_ptr<TInfoForm> FForm;
    TScriptedDialogs FDialogs;
};

void TestInfoForm::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    const QString path = FDir->filePath(u"Tresmol.mdb"_s);
    Catalogue::Create(path);
    FDm = std::make_unique<TDataModule1>([](const QString& m) { qFatal("%s", qPrintable(m)); },
                                         Catalogue::ConnectionStringFor(path));
    FDm->BookTable.Open();
    SetDialogs(&FDialogs);
    FForm = std::make_unique<TInfoForm>(nullptr, &FDm->DataSource);
    FDm->BookTable.Insert(); // as "Инфа с файла" does
    FForm->show();
}

void TestInfoForm::cleanup()
{
    FForm.reset();
    FDm.reset();
    SetDialogs(nullptr);
    FDialogs.ClearAsked();
}

QStringList TestInfoForm::Texts() const
{
    QStringList out;
    for (TDBEdit* e : FForm->Edits())
        out << e->text();
    return out;
}

void TestInfoForm::rowsAndTabOrder()
{
    QCOMPARE(FForm->windowTitle(), u"Сбор информации с файла"_s);
    const QList<TDBEdit*> edits = FForm->Edits();
    for (int i = 0; i < edits.size(); ++i) {
        QCOMPARE(edits[i]->objectName(), u"DBEdit"_s + QString::number(i + 1));
        QCOMPARE(edits[i]->DataField(), Columns[i]);
    }
    // Top to bottom the rows show ProductName first, CompanyName fifth.
    QVERIFY(Ui().DBEdit8->y() < Ui().DBEdit9->y());
    QVERIFY(Ui().DBEdit2->y() < Ui().DBEdit1->y());
    QVERIFY(Ui().DBEdit13->y() < Ui().DBEdit16->y());
    // Tab walks the edits in their fill order.
    for (int i = 0; i + 1 < edits.size(); ++i) {
        QWidget* w = edits[i]->nextInFocusChain();
        while (!qobject_cast<TDBEdit*>(w))
            w = w->nextInFocusChain();
        QCOMPARE(w, edits[i + 1]);
    }
    QCOMPARE(Ui().SpeedButton1->text(), u"Обзор"_s);
    QCOMPARE(Ui().SpeedButton2->text(), u"Сохранить"_s);
    QCOMPARE(Ui().SpeedButton3->text(), u"Выход"_s);
}

void TestInfoForm::browseFillsInOrder()
{
    QStringList order;
    for (TDBEdit* e : FForm->Edits())
        connect(e, &QLineEdit::textChanged, this, [&order, e] { order << e->objectName(); });
    FDialogs.AnswerFile(Fixture(u"english64.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    QCOMPARE(Texts(), EnglishValues);
    QStringList wanted;
    for (int i = 1; i <= 16; ++i)
        wanted << u"DBEdit"_s + QString::number(i);
    QCOMPARE(order, wanted);
    // The record itself has not taken the values in yet.
    QVERIFY(FDm->BookTable.FieldByName(u"FileName"_s)->IsNull());
}

void TestInfoForm::saveAfterBrowsePostsTheRecord()
{
    FDialogs.AnswerFile(Fixture(u"english64.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(Ui().SpeedButton2, Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    TDataSet& t = FDm->BookTable;
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    QCOMPARE(t.RecordCount(), 1);
    for (int i = 0; i < Columns.size(); ++i)
        QCOMPARE(t.FieldByName(Columns[i])->AsString(), EnglishValues[i]);
}

void TestInfoForm::saveWithNothingChangedClosesWithoutPosting()
{
    QTest::mouseClick(Ui().SpeedButton2, Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    // Nothing was put into the new record: it is dropped, not left behind as a row
    // without a number.
    QCOMPARE(FDm->BookTable.State(), TDataSetState::dsBrowse);
    QCOMPARE(FDm->BookTable.RecordCount(), 0);
    QCOMPARE(FDm->BookTable.ViewRowCount(), 0);
}

void TestInfoForm::exitWithNothingDoneDropsTheNewRecord_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Выход") << false;
    QTest::newRow("close box") << true;
}

void TestInfoForm::exitWithNothingDoneDropsTheNewRecord()
{
    QFETCH(bool, closeBox);
    TDataSet& t = FDm->BookTable;
    if (closeBox)
        FForm->close();
    else
        QTest::mouseClick(Ui().SpeedButton3, Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    QCOMPARE(t.ViewRowCount(), 0);

    // A value typed by hand is the user's: the record stays for it.
    t.Insert();
    FForm->show();
    Ui().DBEdit8->setFocus();
    QTest::keyClicks(Ui().DBEdit8, u"Typed"_s);
    QTest::mouseClick(Ui().SpeedButton3, Qt::LeftButton);
    QCOMPARE(t.State(), TDataSetState::dsInsert);
}

void TestInfoForm::secondFilterListsEveryFile()
{
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton); // no answer: cancelled
    QCOMPARE(FDialogs.Asked().size(), 1);
    const QStringList entries = FDialogs.Asked()[0].Filter.split(u";;"_s);
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries[0].startsWith(u"Exe файлы ("_s));
    QVERIFY(entries[1].startsWith(u"Все файлы ("_s));
    // The patterns of each entry, as the file dialog reads them.
    const auto patterns = [](const QString& entry) {
        const qsizetype open = entry.indexOf(u'(');
        return entry.mid(open + 1, entry.lastIndexOf(u')') - open - 1).split(u' ');
    };
    QTemporaryDir dir;
    const QStringList names{u"setup.exe"_s, u"readme.txt"_s, u"README"_s, u"archive.tar.gz"_s};
    for (const QString& name : names) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QCOMPARE(QDir(dir.path()).entryList(patterns(entries[0]), QDir::Files),
             QStringList{u"setup.exe"_s});
    QStringList every = names;
    every.sort();
    QCOMPARE(QDir(dir.path()).entryList(patterns(entries[1]), QDir::Files, QDir::Name), every);
}

void TestInfoForm::exitLeavesTheRecordInInsertion()
{
    FDialogs.AnswerFile(Fixture(u"russian32.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(Ui().SpeedButton3, Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    TDataSet& t = FDm->BookTable;
    QCOMPARE(t.State(), TDataSetState::dsInsert);
    QCOMPARE(t.RecordCount(), 0);
    // A harvest leaves the record the ordinary way: the pending values are kept.
    Harvest::HarvestFile(t, Fixture(u"english64.exe"_s));
    QCOMPARE(t.RecordCount(), 2);
    bool found = false;
    for (t.First(); !t.Eof(); t.Next())
        if (t.FieldByName(u"ExtractFileName"_s)->AsString() == u"russian32.exe"_s) {
            QCOMPARE(t.FieldByName(u"ProductName"_s)->AsString(), u"Тресмол"_s);
            found = true;
        }
    QVERIFY(found);
}

void TestInfoForm::fileWithoutVersionInfoChangesNothing()
{
    FDialogs.AnswerFile(Fixture(u"english64.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    FDialogs.AnswerFile(Fixture(u"nores32.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    QCOMPARE(Texts(), EnglishValues);
    const QList<TScriptedDialogs::TAsked> boxes = FDialogs.Messages();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].Text, u"No Version Info Available."_s);
    QCOMPARE(boxes[0].Icon, TMsgIcon::miStop);
    QVERIFY(FForm->isVisible());
}

void TestInfoForm::secondFileReplacesCorrections()
{
    FDialogs.AnswerFile(Fixture(u"english64.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    Ui().DBEdit8->setFocus();
    Ui().DBEdit8->selectAll();
    QTest::keyClicks(Ui().DBEdit8, u"Corrected"_s);
    QCOMPARE(Ui().DBEdit8->text(), u"Corrected"_s);
    FDialogs.AnswerFile(Fixture(u"mismatch.exe"_s));
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    const QStringList texts = Texts();
    QCOMPARE(texts.mid(0, 10), QStringList(10, QString()));
    QCOMPARE(texts[12], u"mismatch.exe"_s);
    QCOMPARE(texts[14], u"0409"_s);
}

void TestInfoForm::cancelledDialogChangesNothing()
{
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton); // no answer: cancelled
    QCOMPARE(Texts(), QStringList(16, QString()));
    QCOMPARE(FDialogs.Asked().size(), 1);
    QCOMPARE(FDialogs.Asked()[0].Kind, u"file"_s);
}

QTEST_MAIN(TestInfoForm)
#include "tst_infoform.moc"
