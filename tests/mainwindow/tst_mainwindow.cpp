// The main window on a real catalogue: start-up, connection, the enabling rule, every
// record command, search and sort, with the dialogs answered by a script.

#include "extras/aboutform.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/columnform.h"
#include "mainwindow/imgviewform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/command.h"
#include "platform/shell.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs F as soon as the next modal window's event loop runs.
void WhileModal(std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
    std::unique_ptr<TTresmolApp> FApp;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    TForm1Controls Ui() { return TForm1Controls(FApp->Form1); }
    QString Name() { return Table().FieldByName(u"ProductName"_s)->AsString(); }
    QProgressBar* Bar() { return FApp->Form1->findChild<QProgressBar*>(u"ProgressBar"_s); }
    QWidget* SaveButton() { return Ui().ToolBar1->widgetForAction(Ui().ActSave); }

    QStringList Shown()
    {
        QStringList names;
        const int field = Table().FieldByName(u"ProductName"_s)->Index();
        for (int row = 0; row < Table().ViewRowCount(); ++row)
            names << Table().ViewText(row, field);
        return names;
    }

    // Creates the windows on the catalogue at FPath and shows the main window, whose
    // activation connects.
    void Start()
    {
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
    }

    void StartWith(const QStringList& names)
    {
        Catalogue::Create(FPath);
        Start();
        QVERIFY(Table().Active());
        TTestCatalogue::AddNames(Table(), names);
        Table().First();
    }

    // Three records whose six sort keys each order them differently. The lookups'
    // keys are the order in which reference entries were made, not their texts.
    void AddSortRows()
    {
        struct TRow {
            QString Name;
            int Platform, Category, TypeDisc, Maker;
            QString Size;
        };
        const TRow rows[] = {{u"Charlie"_s, 2, 1, 2, 3, u"10"_s},
                             {u"Alpha"_s, 3, 2, 1, 2, u"9"_s},
                             {u"Bravo"_s, 1, 3, 3, 1, u"100"_s}};
        for (const TRow& r : rows) {
            Table().Append();
            Table().FieldByName(u"ProductName"_s)->SetAsString(r.Name);
            Table().FieldByName(u"Platform"_s)->SetAsInteger(r.Platform);
            Table().FieldByName(u"Category"_s)->SetAsInteger(r.Category);
            Table().FieldByName(u"TypeDisc"_s)->SetAsInteger(r.TypeDisc);
            Table().FieldByName(u"ManufacturerDisc"_s)->SetAsInteger(r.Maker);
            Table().FieldByName(u"Size"_s)->SetAsString(r.Size);
            Table().Post();
        }
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
    }

    void cleanup()
    {
        if (FApp) {
            // Close as the user would; nothing must stay pending.
            FApp->Form1->close();
            FApp.reset();
        }
        FDir.reset();
        SetDialogs(nullptr);
    }

    void startupCreatesEveryWindowHidden()
    {
        Catalogue::CreateDemo(FPath);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        const std::pair<QWidget*, QString> windows[] = {
            {FApp->Form1, u"Tresmol"_s},
            {FApp->EditRecordForm, u"Редактирование"_s},
            {FApp->AddManufacturerForm, u"Редактирование"_s},
            {FApp->TypeDiscForm, u"Редактирование"_s},
            {FApp->AboutForm, u"О программе"_s},
            {FApp->ColumnForm, u"Настройка столбцов"_s},
            {FApp->MasterForm, u"Добавление программы"_s},
            {FApp->PlatformForm, u"Редактирование"_s},
            {FApp->CategoryForm, u"Редактирование"_s},
            {FApp->ProgramTypeForm, u"Редактирование"_s},
            {FApp->InfoForm, u"Сбор информации с файла"_s},
            {FApp->ImgViewForm, u"Просмотр картинки"_s},
        };
        for (const auto& [window, caption] : windows) {
            QVERIFY(window);
            QCOMPARE(window->windowTitle(), caption);
            QVERIFY(!window->isVisible());
        }
        QVERIFY(FApp->DataModule1->ADOConnection.Connected());
        for (TDataSet* ref : FApp->DataModule1->ReferenceTables())
            QVERIFY(ref->Active());
        QVERIFY(!Table().Active()); // opens on the first activation
        for (int i = 0; i < 3; ++i)
            QVERIFY(Ui().StatusText(i).isEmpty());

        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(Table().Active());
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + FPath);
        QCOMPARE(Ui().StatusText(1), u"Запись 1 из %1"_s.arg(Table().RecordCount()));
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), Table().RecordCount());
        QCOMPARE(Ui().DBText2->text(), Name());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void missingCatalogueGivesErrorsAndADisconnectedWindow()
    {
        Start();
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 7); // connection, five reference cursors, the connect routine
        for (const auto& box : boxes) {
            QCOMPARE(box.Icon, TMsgIcon::miStop);
            QCOMPARE(box.Caption, ApplicationTitle());
            QCOMPARE(box.Buttons, TMsgButtons::mbOK);
            QVERIFY(!box.Text.isEmpty());
        }
        QVERIFY(!Table().Active());
        QVERIFY(Ui().StatusText(0).isEmpty());
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 0);
        FApp->Form1->UpdateActions();
        QVERIFY(Ui().ActConnect->isEnabled());
        QVERIFY(!Ui().ActAdd->isEnabled());

        // "Правка" ▸ "Добавить" is enabled and reports the closed table.
        QVERIFY(Ui().N5->isEnabled());
        FDialogs.ClearAsked();
        Ui().N5->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Text,
                 u"Cannot perform this operation on a closed dataset."_s);

        // The file appears; "Подключится" tries again and succeeds.
        Catalogue::CreateDemo(FPath);
        FDialogs.ClearAsked();
        Ui().ActConnect->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(Table().Active());
        QVERIFY(Table().RecordCount() > 0);
        QCOMPARE(Ui().StatusText(0), u"Подключены к "_s + FPath);
    }

    void enablingRule()
    {
        StartWith({u"Alpha"_s});
        const QList<QAction*> connectedOnly = {
            Ui().ActDisconnect, Ui().ActScan,  Ui().ActClear,   Ui().ActAdd,  Ui().ActSave,
            Ui().ActRed,        Ui().ActDel,   Ui().ActRefl,    Ui().ActNext, Ui().ActPrior,
            Ui().ActLast,       Ui().ActFirst, Ui().ActFileInfo};
        const QList<QAction*> always = {Ui().ActExcel, Ui().ActAddImg, Ui().ActDelImg,
                                        Ui().ActViewImg};
        FApp->Form1->UpdateActions();
        QVERIFY(!Ui().ActConnect->isEnabled());
        QVERIFY(!Ui().On1->isEnabled());
        for (QAction* a : connectedOnly)
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(Ui().Off1->isEnabled());

        Ui().ActDisconnect->trigger();
        QCOMPARE(Ui().StatusText(0), u"Отключено"_s);
        QVERIFY(!Table().Active());
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 0);
        FApp->Form1->UpdateActions();
        QVERIFY(Ui().ActConnect->isEnabled());
        QVERIFY(Ui().On1->isEnabled());
        for (QAction* a : connectedOnly)
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        for (QAction* a : always)
            QVERIFY(a->isEnabled());
        // Items bound to no action stay enabled.
        for (QAction* a : {Ui().N5, Ui().N6, Ui().N7, Ui().N24, Ui().N18, Ui().N20, Ui().N11})
            QVERIFY(a->isEnabled());
        QVERIFY(Ui().CloseSpeedButton1->isEnabled());

        // The rule also runs by itself when the program waits for input.
        Ui().ActConnect->trigger();
        QTest::qWait(20);
        QTRY_VERIFY(!Ui().ActConnect->isEnabled());
    }

    void addOpensTheEditorOnANewRecord()
    {
        StartWith({u"Alpha"_s, u"Bravo"_s});
        const int win =
            TTestCatalogue::AddReference(FApp->DataModule1->PlatformADOTable, u"Windows"_s);
        bool shown = false;
        WhileModal([&] {
            shown = FApp->EditRecordForm->isVisible();
            QCOMPARE(Table().State(), TDataSetState::dsInsert);
            QCOMPARE(Ui().StatusText(1), u"Запись -1 из 2"_s);
            const QWidget* e = FApp->EditRecordForm;
            Control<TDBLookupComboBox>(e, u"DBLookupComboBox9"_s)->Choose(0);
            Control<QToolButton>(e, u"SpeedButton2"_s)->click();
            Control<QToolButton>(FApp->EditRecordForm, u"SpeedButton4"_s)->click();
        });
        Ui().ActAdd->trigger();
        QVERIFY(shown);
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 3);
        QCOMPARE(Table().FieldByName(u"Platform"_s)->AsInteger(), win);
        QVERIFY(Name().isEmpty());

        // Two adds in a row without typing leave one pending new record.
        WhileModal([this] { FApp->EditRecordForm->close(); });
        Ui().N5->trigger();
        WhileModal([this] { FApp->EditRecordForm->close(); });
        Ui().N18->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 4);
        Ui().ActFirst->trigger(); // the untouched record is dropped
        QCOMPARE(Table().RecordCount(), 3);
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 3);
    }

    void editOpensTheEditorOnTheCurrentRecord()
    {
        StartWith({u"Alpha"_s, u"Bravo"_s});
        Table().Next();
        QString seen;
        WhileModal([&] {
            seen = Control<TDBEdit>(FApp->EditRecordForm, u"DBEdit2"_s)->text();
            QCOMPARE(Table().State(), TDataSetState::dsBrowse);
            FApp->EditRecordForm->close();
        });
        Ui().ActRed->trigger();
        QCOMPARE(seen, u"Bravo"_s);
    }

    void deleteRecord_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("OK") << int(TMsgResult::mrOK) << QStringList{u"Alpha"_s, u"Charlie"_s};
        QTest::newRow("Cancel") << int(TMsgResult::mrCancel)
                                << QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s};
    }

    void deleteRecord()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        StartWith({u"Alpha"_s, u"Bravo"_s, u"Charlie"_s});
        Table().Next();
        FDialogs.AnswerMessage(TMsgResult(answer));
        Ui().ActDel->trigger();
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].Text, u"Вы действительно хотите удалить Bravo"_s);
        QCOMPARE(boxes[0].Caption, u"Внимание!!!"_s);
        QCOMPARE(boxes[0].Buttons, TMsgButtons::mbOKCancel);
        QCOMPARE(boxes[0].Icon, TMsgIcon::miNone);
        QCOMPARE(Shown(), left);
        QCOMPARE(Name(), answer == int(TMsgResult::mrOK) ? u"Charlie"_s : u"Bravo"_s);
    }

    void deleteOnAnEmptyCatalogueAsksThenFails()
    {
        StartWith({});
        FDialogs.AnswerMessage(TMsgResult::mrOK);
        Ui().N19->trigger();
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].Text, u"Вы действительно хотите удалить "_s);
        QCOMPARE(boxes[1].Text, u"Cannot perform this operation on an empty dataset."_s);
        QCOMPARE(boxes[1].Icon, TMsgIcon::miStop);
    }

    void saveTakesInHeldText()
    {
        StartWith({u"Alpha"_s});
        Ui().DBEdit3->setFocus();
        QTest::keyClicks(Ui().DBEdit3, u"C:\\Soft\\alpha.exe"_s);
        QVERIFY(Ui().DBEdit3->Holding());
        QVERIFY(!Table().Modified());
        Ui().ActSave->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(u"FileName"_s)->AsString(), u"C:\\Soft\\alpha.exe"_s);
        QVERIFY(!SaveButton()->isEnabled());
        QVERIFY(Ui().ActSave->isEnabled()); // only the button is greyed

        // The next change brings the button back; the popup's save posts as well, and
        // leaves the button alone.
        QTest::keyClicks(Ui().DBEdit4, u"C:\\Soft\\"_s);
        QVERIFY(SaveButton()->isEnabled());
        Ui().N20->trigger();
        QCOMPARE(Table().FieldByName(u"PlacingProgram"_s)->AsString(), u"C:\\Soft\\"_s);
        QVERIFY(SaveButton()->isEnabled());
        Ui().ActSave->trigger();
        QVERIFY(!SaveButton()->isEnabled());

        // Moving over the details panel with a change pending brings the button back,
        // however it was greyed.
        Table().Edit();
        Table().FieldByName(u"Label"_s)->SetAsString(u"note"_s);
        SaveButton()->setEnabled(false);
        QTest::mouseMove(Ui().Panel4, QPoint(1, 1));
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), Ui().Panel4->mapToGlobal(QPointF(1, 1)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Ui().Panel4, &move);
        QVERIFY(SaveButton()->isEnabled());

        // Saving with nothing changed posts nothing and still greys the button.
        Ui().ActSave->trigger();
        Ui().ActSave->trigger();
        QVERIFY(!SaveButton()->isEnabled());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void saveButtonComesBackWithTheNextChange_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("typed") << u"typed"_s;
        QTest::newRow("ticked") << u"ticked"_s;
        QTest::newRow("stepped") << u"stepped"_s;
    }

    void saveButtonComesBackWithTheNextChange()
    {
        QFETCH(QString, how);
        StartWith({u"Alpha"_s});
        QTest::keyClicks(Ui().DBEdit3, u"C:\\Soft\\alpha.exe"_s);
        Ui().ActSave->trigger();
        QVERIFY(!SaveButton()->isEnabled());

        // The next change, of whatever kind, can be saved from the toolbar again,
        // without the mouse passing over the details panel.
        if (how == u"typed"_s)
            QTest::keyClicks(Ui().DBEdit4, u"C:\\Soft\\"_s);
        else if (how == u"ticked"_s)
            Control<QCheckBox>(FApp->Form1, u"DBCheckBox1"_s)->click();
        else
            FApp->Form1->StepRating(true);
        QVERIFY(SaveButton()->isEnabled());
        QTest::mouseClick(SaveButton(), Qt::LeftButton);
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QVERIFY(!SaveButton()->isEnabled());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void saveButtonStaysAfterAFailedSave()
    {
        StartWith({u"Alpha"_s});
        // A rating the record refuses (put in as a program would, past the box's check).
        Ui().DBEdit5->AssignText(u"x"_s);
        Ui().ActSave->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miStop);
        QVERIFY(SaveButton()->isEnabled());

        // Mended, the change is saved from the same button, which then greys.
        Ui().DBEdit5->AssignText(u"3"_s);
        QTest::mouseClick(SaveButton(), Qt::LeftButton);
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(u"Rating"_s)->AsInteger(), 3);
        QVERIFY(!SaveButton()->isEnabled());
    }

    void detailsShowWhatTheEditorLeftPending_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("close box") << true;
        QTest::newRow("Выход") << false;
    }

    void detailsShowWhatTheEditorLeftPending()
    {
        QFETCH(bool, closeBox);
        StartWith({u"Alpha"_s});
        WhileModal([&] {
            const QWidget* e = FApp->EditRecordForm;
            auto* name = Control<TDBEdit>(e, u"DBEdit2"_s);
            auto* year = Control<TDBEdit>(e, u"DBEdit9"_s);
            Control<QTabWidget>(e, u"PageControl1"_s)->setCurrentIndex(0);
            name->setFocus();
            QTest::keyClicks(name, u" Pro"_s);
            QTest::keyClicks(year, u"1999"_s);
            if (closeBox)
                FApp->EditRecordForm->close();
            else
                Control<QToolButton>(e, u"SpeedButton4"_s)->click();
        });
        Ui().ActRed->trigger();
        QVERIFY(!FApp->EditRecordForm->isVisible());
        // Still pending, neither saved nor dropped, and shown as it will be saved.
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QCOMPARE(Ui().DBText2->text(), u"Alpha Pro"_s);
        QCOMPARE(Control<TDBText>(FApp->Form1, u"DBText9"_s)->text(), u"1999"_s);
        Ui().ActRefl->trigger(); // leaving the record saves it
        QCOMPARE(Name(), u"Alpha Pro"_s);
        QCOMPARE(Table().FieldByName(u"Year"_s)->AsInteger(), 1999);
    }

    void fileInformationLeftUntouchedLeavesNoRow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Выход") << u"SpeedButton3"_s;
        QTest::newRow("Сохранить") << u"SpeedButton2"_s;
        QTest::newRow("close box") << QString();
    }

    void fileInformationLeftUntouchedLeavesNoRow()
    {
        QFETCH(QString, button);
        StartWith({u"Alpha"_s, u"Bravo"_s});
        Table().Last();
        WhileModal([&] {
            QCOMPARE(Table().State(), TDataSetState::dsInsert);
            if (button.isEmpty())
                FApp->InfoForm->close();
            else
                Control<QPushButton>(FApp->InfoForm, button)->click();
        });
        Ui().ActFileInfo->trigger();
        QVERIFY(!FApp->InfoForm->isVisible());
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 2);
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 2);
        for (int row = 0; row < 2; ++row)
            QCOMPARE(Ui().DBGrid1->model()->index(row, 0).data().toString(),
                     QString::number(row + 1));
        QCOMPARE(Ui().StatusText(1), u"Запись 2 из 2"_s);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void wholeNumberBoxesTakeOnlyWhatTheFieldHolds_data()
    {
        QTest::addColumn<QString>("box"); // "rating" on the details, "year" in the editor
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        for (const QString& box : {u"rating"_s, u"year"_s}) {
            const QByteArray b = box.toUtf8();
            QTest::newRow(QByteArray(b + " letters").constData())
                << box << u"1a9b9c9"_s << u"1999"_s;
            QTest::newRow(QByteArray(b + " negative").constData()) << box << u"-12"_s << u"-12"_s;
            QTest::newRow(QByteArray(b + " minus inside").constData())
                << box << u"1-2"_s << u"12"_s;
            QTest::newRow(QByteArray(b + " beyond 32 bits").constData())
                << box << u"99999999999"_s << u"999999999"_s;
            QTest::newRow(QByteArray(b + " largest").constData())
                << box << u"2147483647"_s << u"2147483647"_s;
            QTest::newRow(QByteArray(b + " blank and point").constData())
                << box << u"1 2.5"_s << u"125"_s;
        }
    }

    void wholeNumberBoxesTakeOnlyWhatTheFieldHolds()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        StartWith({u"Alpha"_s});
        QString shown;
        const auto type = [&](TDBEdit* edit) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            shown = edit->text();
        };
        if (box == u"rating"_s) {
            type(Ui().DBEdit5);
            Ui().ActSave->trigger();
        } else {
            WhileModal([&] {
                type(Control<TDBEdit>(FApp->EditRecordForm, u"DBEdit9"_s));
                Control<QToolButton>(FApp->EditRecordForm, u"SpeedButton2"_s)->click();
                FApp->EditRecordForm->close();
            });
            Ui().ActRed->trigger();
        }
        QCOMPARE(shown, kept);
        QVERIFY(FDialogs.Messages().isEmpty()); // no error box later either
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(box == u"rating"_s ? u"Rating"_s : u"Year"_s)->AsString(),
                 kept);
    }

    void refreshAndMoves()
    {
        StartWith({u"Alpha"_s, u"Bravo"_s, u"Charlie"_s});
        Ui().ActLast->trigger();
        QCOMPARE(Name(), u"Charlie"_s);
        QCOMPARE(Ui().StatusText(1), u"Запись 3 из 3"_s);
        Ui().ActNext->trigger(); // past the end stays on the end record
        QCOMPARE(Name(), u"Charlie"_s);
        Ui().ActPrior->trigger();
        QCOMPARE(Name(), u"Bravo"_s);
        QCOMPARE(Ui().StatusText(1), u"Запись 2 из 3"_s);
        QCOMPARE(Ui().DBGrid1->currentIndex().row(), 1);
        Ui().ActFirst->trigger();
        QCOMPARE(Name(), u"Alpha"_s);
        Ui().ActPrior->trigger();
        QCOMPARE(Name(), u"Alpha"_s);

        // Another process adds a record; refresh shows it and keeps the current one.
        {
            TTestCatalogue::AddNames(Table(), {}); // nothing
            QStringList errors;
            TDataModule1 other([&](const QString& m) { errors << m; },
                               Catalogue::ConnectionStringFor(FPath));
            other.BookTable.Open();
            TTestCatalogue::AddNames(other.BookTable, {u"Delta"_s});
        }
        Ui().ActNext->trigger();
        Ui().ActRefl->trigger();
        QCOMPARE(Name(), u"Bravo"_s);
        QCOMPARE(Table().RecordCount(), 4);
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), 4);
    }

    void statusShowsMinusOneDuringAnInsert()
    {
        StartWith({u"Alpha"_s, u"Bravo"_s});
        QCOMPARE(Ui().StatusText(1), u"Запись 1 из 2"_s);
        Table().Insert();
        QCOMPARE(Ui().StatusText(1), u"Запись -1 из 2"_s);
        Table().FieldByName(u"ProductName"_s)->SetAsString(u"Charlie"_s);
        Table().Post();
        QCOMPARE(Ui().StatusText(1), u"Запись %1 из 3"_s.arg(Table().RecNo()));
    }

    void clear_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("left");
        const QStringList all{u"Adder"_s, u"Ad-Tool"_s, u"adder"_s, u"Bad"_s};
        QTest::newRow("Yes") << int(TMsgResult::mrYes) << QString() << QStringList();
        QTest::newRow("No") << int(TMsgResult::mrNo) << QString() << all;
        QTest::newRow("Yes with a search")
            << int(TMsgResult::mrYes) << u"Ad"_s << QStringList{u"adder"_s, u"Bad"_s};
    }

    void clear()
    {
        QFETCH(int, answer);
        QFETCH(QString, search);
        QFETCH(QStringList, left);
        StartWith({u"Adder"_s, u"Ad-Tool"_s, u"adder"_s, u"Bad"_s});
        Ui().Edit1->setText(search);
        FDialogs.AnswerMessage(TMsgResult(answer));
        Ui().ActClear->trigger();
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].Text, u"Вы действительно хотите удалить все записи?"_s);
        QCOMPARE(boxes[0].Caption, ApplicationTitle());
        QCOMPARE(boxes[0].Buttons, TMsgButtons::mbYesNo);
        QCOMPARE(boxes[0].Icon, TMsgIcon::miQuestion);
        QVERIFY(!Ui().ProgressBar->isVisible());
        Ui().Edit1->clear();
        QCOMPARE(Shown(), left);
    }

    void clearRefusesCommandsWhileItRuns()
    {
        QStringList names;
        for (int i = 0; i < 40; ++i)
            names << u"Program %1"_s.arg(i, 2, 10, QChar(u'0'));
        StartWith(names);
        int attempts = 0;
        bool sawClearing = false;
        // Whatever the user does while the loop runs must not touch the catalogue.
        std::function<void()> meddle = [&] {
            if (!FApp->Form1->Clearing())
                return;
            sawClearing = true;
            ++attempts;
            QVERIFY(Ui().ProgressBar->isVisible());
            FApp->Form1->ActClearExecute(); // would ask again
            FApp->Form1->ActDelExecute();   // would ask
            FApp->Form1->ActLastExecute();
            FApp->Form1->SortByName();
            QTest::keyClicks(Ui().Edit1, u"Program 3"_s); // the box waits
            if (attempts < 5)
                QTimer::singleShot(0, meddle);
        };
        QTimer::singleShot(0, meddle);
        FDialogs.AnswerMessage(TMsgResult::mrYes);
        FApp->Form1->ActClearExecute();
        QVERIFY(sawClearing);
        QCOMPARE(FDialogs.Messages().size(), 1); // only the one question
        QVERIFY(Ui().Edit1->text().isEmpty());
        QCOMPARE(Table().RecordCount(), 0);
        QVERIFY(Table().Sort().isEmpty());
        QVERIFY(!Ui().ProgressBar->isVisible());
        QVERIFY(!FApp->Form1->Clearing());
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("Ad") << u"Ad"_s << QStringList{u"Adder"_s, u"Ad-Tool"_s};
        QTest::newRow("A") << u"A"_s << QStringList{u"Adder"_s, u"Ad-Tool"_s};
        QTest::newRow("a") << u"a"_s << QStringList{u"adder"_s};
        QTest::newRow("B") << u"B"_s << QStringList{u"Bad"_s, u"Baldur's Gate"_s};
        QTest::newRow("quote") << u"Baldur's"_s << QStringList{u"Baldur's Gate"_s};
        QTest::newRow("nothing") << u"Zz"_s << QStringList();
        QTest::newRow("empty") << QString()
                               << QStringList{u"Adder"_s, u"Ad-Tool"_s,       u"adder"_s,
                                              u"Bad"_s,   u"Baldur's Gate"_s, QString()};
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        StartWith({u"Adder"_s, u"Ad-Tool"_s, u"adder"_s, u"Bad"_s, u"Baldur's Gate"_s, QString()});
        Table().Last();
        // Typed character by character, as the user does.
        Ui().Edit1->setFocus();
        QTest::keyClicks(Ui().Edit1, text);
        QCOMPARE(Shown(), shown);
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), shown.size());
        QVERIFY(FDialogs.Messages().isEmpty());
        if (!text.isEmpty() && !shown.isEmpty()) {
            QCOMPARE(Name(), shown.first()); // the first shown row is current
            QCOMPARE(Ui().DBGrid1->currentIndex().row(), 0);
        }
        // Deleting the text widens the list again.
        Ui().Edit1->clear();
        QCOMPARE(Table().ViewRowCount(), 6);
    }

    void sort_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("column"); // the grid column that shows the sort
        QTest::newRow("Название") << u"N24"_s << QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s}
                                  << u"Название"_s;
        QTest::newRow("Платформа")
            << u"N23"_s << QStringList{u"Bravo"_s, u"Charlie"_s, u"Alpha"_s} << u"Платформа"_s;
        QTest::newRow("Категория")
            << u"N34"_s << QStringList{u"Charlie"_s, u"Alpha"_s, u"Bravo"_s} << u"Категория"_s;
        QTest::newRow("Тип") << u"N25"_s << QStringList{u"Alpha"_s, u"Charlie"_s, u"Bravo"_s}
                             << u"Тип диска"_s;
        QTest::newRow("Производитель")
            << u"N26"_s << QStringList{u"Bravo"_s, u"Alpha"_s, u"Charlie"_s}
            << u"Производитель дисков"_s;
        QTest::newRow("Размер") << u"N27"_s << QStringList{u"Charlie"_s, u"Bravo"_s, u"Alpha"_s}
                                << u"Размер"_s;
    }

    void sort()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, order);
        QFETCH(QString, column);
        StartWith({});
        AddSortRows();
        // Before any sort nothing claims to be in force.
        const QStringList items{u"N24"_s, u"N23"_s, u"N34"_s, u"N25"_s, u"N26"_s, u"N27"_s};
        QHeaderView* header = Ui().DBGrid1->horizontalHeader();
        for (const QString& name : items)
            QVERIFY(!FApp->Form1->findChild<QAction*>(name)->isChecked());
        QVERIFY(!header->isSortIndicatorShown());

        // The current record keeps its place in the catalogue; the status bar names
        // its new position.
        const QString current = Name();
        FApp->Form1->findChild<QAction*>(item)->trigger();
        QCOMPARE(Shown(), order);
        QCOMPARE(Name(), current);
        QCOMPARE(Ui().StatusText(1), u"Запись %1 из 3"_s.arg(order.indexOf(current) + 1));
        QCOMPARE(Ui().DBGrid1->model()->index(0, 1).data().toString(), order.first());
        QCOMPARE(Ui().DBGrid1->model()->index(2, 0).data().toString(), u"3"_s);

        // The sort in force: its item checked, the others not, and its column marked.
        for (const QString& name : items) {
            const QAction* a = FApp->Form1->findChild<QAction*>(name);
            QVERIFY(a->isCheckable());
            QCOMPARE(a->isChecked(), name == item);
        }
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(Ui().DBGrid1->model()
                     ->headerData(header->sortIndicatorSection(), Qt::Horizontal)
                     .toString(),
                 column);
        // A click on the title of a column that is no sort key sorts nothing, and the
        // mark stays where the sort is.
        const int language =
            Ui().DBGrid1->GridModel()->FieldColumn(Table().FieldByName(u"Language"_s));
        QVERIFY(language >= 0);
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(language) + header->sectionSize(language) / 2,
                   3));
        QCOMPARE(Shown(), order);
        QCOMPARE(Ui().DBGrid1->model()
                     ->headerData(header->sortIndicatorSection(), Qt::Horizontal)
                     .toString(),
                 column);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        // Columns rebuilt keep the mark on the same column.
        Ui().DBGrid1->RefreshColumns();
        QCOMPARE(Ui().DBGrid1->model()
                     ->headerData(header->sortIndicatorSection(), Qt::Horizontal)
                     .toString(),
                 column);
    }

    void headerClickSorts_data() { sort_data(); }

    void headerClickSorts()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, order);
        QFETCH(QString, column);
        StartWith({});
        AddSortRows();
        QHeaderView* header = Ui().DBGrid1->horizontalHeader();
        int section = -1;
        for (int c = 0; c < header->count(); ++c)
            if (Ui().DBGrid1->model()->headerData(c, Qt::Horizontal).toString() == column)
                section = c;
        QVERIFY(section >= 0);
        Ui().DBGrid1->scrollTo(Ui().DBGrid1->model()->index(0, section));
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, 3));
        // The same command as the menu item: order, check mark and header mark.
        QCOMPARE(Shown(), order);
        QVERIFY(FApp->Form1->findChild<QAction*>(item)->isChecked());
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), section);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void reconnectionKeepsSortAndSearch()
    {
        StartWith({u"Bob"_s, u"Bill"_s, u"Ann"_s, u"Ben"_s});
        Ui().N24->trigger();
        QTest::keyClicks(Ui().Edit1, u"B"_s);
        QCOMPARE(Shown(), (QStringList{u"Ben"_s, u"Bill"_s, u"Bob"_s}));
        Ui().ActDisconnect->trigger();
        QCOMPARE(Shown(), QStringList());
        Ui().ActConnect->trigger();
        QCOMPARE(Shown(), (QStringList{u"Ben"_s, u"Bill"_s, u"Bob"_s}));
        QCOMPARE(Ui().Edit1->text(), u"B"_s);
    }

    void disconnectPostsAPendingChange()
    {
        StartWith({u"Alpha"_s});
        QTest::keyClicks(Ui().DBEdit6, u"1.0"_s);
        Ui().ActDisconnect->trigger();
        QVERIFY(!Table().Active());
        Ui().ActConnect->trigger();
        QCOMPARE(Table().FieldByName(u"ProductVersion"_s)->AsString(), u"1.0"_s);
    }

    void closingPostsAPendingChangeOrStaysOpen()
    {
        StartWith({u"Alpha"_s});
        // A rating that is not a number yet (a minus alone) cannot be saved: the window
        // stays open.
        QTest::keyClicks(Ui().DBEdit5, u"-"_s);
        QVERIFY(!FApp->Form1->close());
        QVERIFY(FApp->Form1->isVisible());
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miStop);
        QVERIFY(Table().Active());

        Ui().DBEdit5->setText(QString());
        Ui().DBEdit5->selectAll();
        QTest::keyClicks(Ui().DBEdit5, u"5"_s);
        QVERIFY(FApp->Form1->close());
        QVERIFY(!Table().Active());
        FApp->Form1->ActConnectExecute();
        QCOMPARE(Table().FieldByName(u"Rating"_s)->AsInteger(), 5);
    }

    void closingDropsAnEmptyNewRecord()
    {
        StartWith({u"Alpha"_s});
        Table().Insert();
        QVERIFY(FApp->Form1->close());
        FApp->Form1->ActConnectExecute();
        QCOMPARE(Table().RecordCount(), 1);
    }

    void getInformationReadsTheRecordsFile()
    {
        StartWith({u"Alpha"_s});
        Ui().N29->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Text, u"У текущей записи не указан файл."_s);

        Table().Edit();
        Table().FieldByName(u"FileName"_s)->SetAsString(FDir->filePath(u"missing.exe"_s));
        Table().Post();
        FDialogs.ClearAsked();
        Ui().N29->trigger();
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miStop);
    }

    void exportWritesTheViewAndShowsProgress()
    {
        // The workbook lands in the documents folder of a home of our own.
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            if (!oldConfig.isNull())
                qputenv("XDG_CONFIG_HOME", oldConfig);
        });

        StartWith({u"Adder"_s, u"Bad"_s, u"Ad-Tool"_s, u"adder"_s});
        Ui().Edit1->setText(u"Ad"_s);
        QList<int> positions;
        connect(Bar(), &QProgressBar::valueChanged, this, [&](int v) { positions << v; });
        bool barShown = false;
        connect(Bar(), &QProgressBar::valueChanged, this,
                [&] { barShown = barShown || Bar()->isVisible(); });
        // A desktop that opens the workbook.
        QList<QUrl> opened;
        Shell::SetOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        const auto noOpener = qScopeGuard([] { Shell::SetOpener({}); });
        Ui().ActExcel->trigger();

        QCOMPARE(FDialogs.Asked().size(), 0); // no question, no error
        const QStringList files =
            QDir(home.filePath(u"Documents"_s)).entryList({u"Tresmol-*.xlsx"_s}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QString written = home.filePath(u"Documents/"_s + files.first());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(written)});
        // The status bar says which file was written.
        QCOMPARE(Ui().StatusText(2), u"Записан файл "_s + QDir::toNativeSeparators(written));
        QVERIFY(QFileInfo(home.filePath(u"Documents/"_s + files.first())).size() > 0);
        QVERIFY(barShown);
        QVERIFY(!positions.isEmpty());
        QVERIFY(!Bar()->isVisible());
        // The cursor ends on the view's last record; the search stays in force.
        QCOMPARE(Shown(), (QStringList{u"Adder"_s, u"Ad-Tool"_s}));
        QCOMPARE(Name(), Shown().last());

        // A second export never overwrites the first. This time no application opens
        // the workbook: an information box tells where it is, and asks nothing.
        Shell::SetOpener([](const QUrl&) { return false; });
        Ui().ActExcel->trigger();
        QTRY_COMPARE(QDir(home.filePath(u"Documents"_s))
                         .entryList({u"Tresmol-*.xlsx"_s}, QDir::Files)
                         .size(),
                     2);
        QStringList both =
            QDir(home.filePath(u"Documents"_s)).entryList({u"Tresmol-*.xlsx"_s}, QDir::Files);
        both.removeOne(files.first());
        const QString second = QDir::toNativeSeparators(home.filePath(u"Documents/"_s + both[0]));
        QCOMPARE(Ui().StatusText(2), u"Записан файл "_s + second);
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].Text.contains(second), qPrintable(boxes[0].Text));
        QCOMPARE(boxes[0].Icon, TMsgIcon::miInformation);
        QCOMPARE(boxes[0].Buttons, TMsgButtons::mbOK);
        QCOMPARE(boxes[0].Caption, u"Tresmol"_s);
    }

    void errorBoxesBearTheApplicationTitle()
    {
        StartWith({});
        FDialogs.AnswerMessage(TMsgResult::mrOK); // delete on an empty catalogue: an error
        Ui().ActDel->trigger();
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].Icon, TMsgIcon::miStop);
        QCOMPARE(boxes[1].Caption, u"Tresmol"_s);
        QCOMPARE(ApplicationTitle(), u"Tresmol"_s);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
