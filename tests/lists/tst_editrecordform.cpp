// The record editor on a real catalogue: its lookup lists write keys, its boxes edit
// the columns they name, "Сохранить" takes in typed text and posts.

#include "dbaware/dbcontrols.h"
#include "lists/editrecordform.h"
#include "store/catalogue/dataset.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"

#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// The record editor's controls that the tests press and read, found by their names.
struct TEditRecordControls {
    explicit TEditRecordControls(const QWidget* form) : Form(form) {}

    const QWidget* Form;
    QTabWidget* PageControl1 = Control<QTabWidget>(Form, u"PageControl1"_s);
    TDBEdit* DBEdit1 = Control<TDBEdit>(Form, u"DBEdit1"_s);
    TDBEdit* DBEdit2 = Control<TDBEdit>(Form, u"DBEdit2"_s);
    TDBEdit* DBEdit5 = Control<TDBEdit>(Form, u"DBEdit5"_s);
    TDBLookupComboBox* DBLookupComboBox1 = Control<TDBLookupComboBox>(Form, u"DBLookupComboBox1"_s);
    TDBLookupComboBox* DBLookupComboBox9 = Control<TDBLookupComboBox>(Form, u"DBLookupComboBox9"_s);
    QToolButton* SpeedButton1 = Control<QToolButton>(Form, u"SpeedButton1"_s);
    QToolButton* SpeedButton2 = Control<QToolButton>(Form, u"SpeedButton2"_s);
    QToolButton* SpeedButton4 = Control<QToolButton>(Form, u"SpeedButton4"_s);
};

} // namespace

class TestEditRecordForm : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<TTestCatalogue> FDb;
    std::unique_ptr<TDataModule1> FDm;
    std::unique_ptr<TEditRecordForm> FForm;
    int FWindows = 0, FDos = 0;

    TDataSet& Table() { return FDm->BookTable; }
    TEditRecordControls Ui() { return TEditRecordControls(FForm.get()); }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDb = std::make_unique<TTestCatalogue>();
        FDm = FDb->Open();
        FWindows = TTestCatalogue::AddReference(FDm->PlatformADOTable, u"Windows"_s);
        FDos = TTestCatalogue::AddReference(FDm->PlatformADOTable, u"DOS"_s);
        TTestCatalogue::AddReference(FDm->TypeDiscADOTable, u"CD-R"_s);
        Table().Open();
        TTestCatalogue::AddNames(Table(), {u"Alpha"_s, u"Bravo"_s});
        Table().First();
        FForm = std::make_unique<TEditRecordForm>(FDm.get());
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    }

    void cleanup()
    {
        FForm.reset();
        FDm.reset();
        FDb.reset();
        SetDialogs(nullptr);
    }

    void window()
    {
        QCOMPARE(FForm->windowTitle(), u"Редактирование"_s);
        // The designed 653 by 406, larger where the font needs it, and fixed.
        QVERIFY(FForm->width() >= 653 && FForm->height() >= 406);
        QCOMPARE(FForm->minimumSize(), FForm->maximumSize());
        QCOMPARE(Ui().PageControl1->count(), 2);
        QCOMPARE(Ui().PageControl1->tabText(0), u"Основная"_s);
        QCOMPARE(Ui().PageControl1->tabText(1), u"Техническая"_s);
        QCOMPARE(Ui().PageControl1->currentIndex(), 1); // opens on "Техническая"
        QCOMPARE(Ui().DBEdit5->maxLength(), 7);
    }

    void boxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("field");
        const std::pair<const char*, const char16_t*> bound[] = {
            {"DBEdit2", u"ProductName"},
            {"DBEdit18", u"Language"},
            {"DBEdit9", u"Year"},
            {"DBEdit8", u"Comments"},
            {"DBEdit5", u"Size"},
            {"DBEdit7", u"Label"},
            {"DBEdit3", u"ProductVersion"},
            {"DBEdit4", u"FileDescription"},
            {"DBEdit6", u"CompanyName"},
            {"DBEdit10", u"FileVersion"},
            {"DBEdit11", u"InternalName"},
            {"DBEdit12", u"LegalCopyright"},
            {"DBEdit13", u"LegalTrademarks"},
            {"DBEdit14", u"OriginalFilename"},
            {"DBEdit15", u"PlacingProgram"},
            {"DBEdit16", u"FileName"},
            {"DBEdit17", u"ExtractFileName"},
            {"DBEdit19", u"LangID"},
            {"DBEdit20", u"CodePage"},
        };
        for (const auto& [box, field] : bound)
            QTest::newRow(box) << QString::fromLatin1(box) << QString::fromUtf16(field);
    }

    void boxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, field);
        auto* edit = FForm->findChild<TDBEdit*>(box);
        QVERIFY(edit);
        QCOMPARE(edit->DataField(), field);
        const QString value = field == u"Year"_s ? u"1999"_s : u"12"_s;
        Ui().PageControl1->setCurrentWidget(edit->parentWidget()->parentWidget());
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, value);
        QVERIFY(!Table().Modified()); // held until the record takes it in
        Ui().SpeedButton2->click();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(field)->AsString(), value);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void numberIsShownNotChanged()
    {
        QCOMPARE(Ui().DBEdit1->text(), u"1"_s);
        QVERIFY(Ui().DBEdit1->isReadOnly());
        Table().Next();
        QCOMPARE(Ui().DBEdit1->text(), u"2"_s);
        QCOMPARE(Ui().DBEdit2->text(), u"Bravo"_s);
    }

    void lookupsWriteKeys()
    {
        QCOMPARE(Ui().DBLookupComboBox9->count(), 2);
        QCOMPARE(Ui().DBLookupComboBox9->currentIndex(), -1);
        Ui().DBLookupComboBox9->Choose(1);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(Table().Modified());
        QCOMPARE(Table().FieldByName(u"Platform"_s)->AsInteger(), FDos);
        Ui().SpeedButton1->click(); // the other page's "Сохранить"
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(u"Платформа"_s)->AsString(), u"DOS"_s);
        QCOMPARE(Ui().DBLookupComboBox9->currentText(), u"DOS"_s);
        QVERIFY(FForm->isVisible()); // stays open
    }

    void addChooseSave()
    {
        Table().Insert();
        Ui().DBLookupComboBox9->Choose(0);
        Ui().SpeedButton2->click();
        QCOMPARE(Table().RecordCount(), 3);
        QCOMPARE(Table().FieldByName(u"Platform"_s)->AsInteger(), FWindows);
        QVERIFY(Table().FieldByName(u"ProductName"_s)->AsString().isEmpty());
    }

    void saveWithNothingChangedDoesNothing()
    {
        Ui().SpeedButton2->click();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        Table().Insert();
        Ui().SpeedButton2->click(); // an untouched new record stays pending
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QCOMPARE(Table().RecordCount(), 2);
    }

    void choosingOnAnEmptyCatalogueStartsARecord()
    {
        Table().First();
        Table().Delete();
        Table().Delete();
        QVERIFY(Table().IsEmpty());
        Ui().DBLookupComboBox1->Choose(0);
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QVERIFY(Table().Modified());
    }

    void exitNeitherPostsNorCancels()
    {
        Ui().DBLookupComboBox9->Choose(0);
        Ui().SpeedButton4->click();
        QVERIFY(!FForm->isVisible());
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(Table().Modified());
    }
};

QTEST_MAIN(TestEditRecordForm)
#include "tst_editrecordform.moc"
