// The "S/N" page of the details panel, the rating spinner and "Запустить любой файл",
// on the real main window with the dialogs answered by a script.

#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "mainwindow/updown.h"
#include "platform/command.h"
#include "platform/shell.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/schema.h"
#include "tests/common/outsidesql.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The page's rows, top to bottom: check box, flag column, edit box, text column, button.
struct TRowNames {
    const char16_t* CheckBox;
    const char16_t* Flag;
    const char16_t* Edit;
    const char16_t* Text;
    const char16_t* Button;
};
const TRowNames Rows[] = {
    {u"EnableButtonCheckBox0", u"Ch0", u"NameDBEdit", u"Registrationname",
     u"RegistrationnameSpeedButton"},
    {u"EnableButtonCheckBox", u"Ch1", u"RegistryDBEdit", u"Registrykey", u"RegistrykeySpeedButton"},
    {u"EnableButtonCheckBox1", u"Ch2", u"SerialNumberDBEdit", u"Serialnumber",
     u"SerialnumberSpeedButton"},
    {u"EnableButtonCheckBox2", u"Ch3", u"ActivationCodeDBEdit", u"Activationcode",
     u"ActivationcodeSpeedButton"},
    {u"EnableButtonCheckBox3", u"Ch4", u"ArticleSerialNumberDBEdit", u"Article serialnumber",
     u"ArticleserialnumberSpeedButton"},
    {u"EnableButtonCheckBox4", u"Ch5", u"InstallationIDDBEdit", u"InstallationID",
     u"InstallationIDSpeedButton"},
    {u"DBCheckBox2", u"Ch6", u"RusificatorDBEdit", u"Rusificator", u"RusificatorSpeedButton"},
    {u"DBCheckBox3", u"Ch7", u"CrackDBEdit", u"Crack", u"CrackSpeedButton"},
};

QString S(const char16_t* s) { return QString::fromUtf16(s); }

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
    std::unique_ptr<TTresmolApp> FApp;
    QList<QUrl> FOpened;
    bool FOpenerAnswer = true;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    QWidget* Form1() { return FApp->Form1; }
    TDBCheckBox* CheckBox(int row) { return Control<TDBCheckBox>(Form1(), S(Rows[row].CheckBox)); }
    TDBEdit* Edit(int row) { return Control<TDBEdit>(Form1(), S(Rows[row].Edit)); }
    QToolButton* Button(int row) { return Control<QToolButton>(Form1(), S(Rows[row].Button)); }
    TUpDown* UpDown1() { return Control<TUpDown>(Form1(), u"UpDown1"_s); }
    QAction* N31() { return Control<QAction>(Form1(), u"N31"_s); }

    // A catalogue with, for every row, a record whose flag is true ("Ticked"), one
    // whose flag is false ("Unticked") and one whose flag is null ("Null"); each record
    // holds its own name in every text column. Shown on the first record.
    void Start(bool withRecords = true)
    {
        {
            // Made as another program may have made it: its flags allow NULL.
            const TSqliteDatabase db = TSqliteDatabase::Open(
                SqliteUri(FPath).toUtf8(), TSqliteDatabase::TAccess::ReadWriteCreate);
            for (const TTableDef& table : Schema::Tables())
                db.Exec(Schema::CreateTableSql(table)
                            .replace(u" NOT NULL DEFAULT 0"_s, QString())
                            .toUtf8());
        }
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->resize(1000, 700);
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(Table().Active());
        if (!withRecords)
            return;
        const std::pair<QString, QVariant> records[] = {
            {u"Ticked"_s, true}, {u"Unticked"_s, false}, {u"Null"_s, QVariant()}};
        for (const auto& [name, flag] : records) {
            Table().Append();
            Table().FieldByName(u"ProductName"_s)->SetAsString(name);
            for (const TRowNames& r : Rows) {
                if (!flag.isNull())
                    Table().FieldByName(S(r.Flag))->SetAsBoolean(flag.toBool());
                Table().FieldByName(S(r.Text))->SetAsString(name);
            }
            Table().Post();
        }
        // A new record's flags are false; null ones come from another program.
        QStringList nulls;
        for (const TRowNames& r : Rows)
            nulls << u'"' + S(r.Flag) + u"\" = NULL"_s;
        RunOutside(FPath, u"UPDATE SoftTable SET "_s + nulls.join(u", "_s) +
                              u" WHERE ProductName = 'Null'"_s);
        Table().Refresh();
        Table().First();
    }

    void GoTo(const QString& name)
    {
        Table().First();
        while (!Table().Eof() && Table().FieldByName(u"ProductName"_s)->AsString() != name)
            Table().Next();
        QVERIFY(!Table().Eof());
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
        FOpened.clear();
        FOpenerAnswer = true;
        Shell::SetOpener([this](const QUrl& url) {
            FOpened << url;
            return FOpenerAnswer;
        });
    }

    void cleanup()
    {
        if (FApp) {
            if (Table().Active())
                Table().Cancel();
            FApp->Form1->close();
            FApp.reset();
        }
        FDir.reset();
        Shell::SetOpener(nullptr);
        SetDialogs(nullptr);
    }

    void pageLayout()
    {
        Start(false);
        auto* pages = Control<QTabWidget>(Form1(), u"PageControl1"_s);
        pages->setCurrentWidget(Control<QWidget>(Form1(), u"TabSheet3"_s));
        QCOMPARE(pages->tabText(pages->currentIndex()), u"S/N"_s);
        QTRY_VERIFY(Edit(7)->isVisible());
        const QStringList captions = {u"Registration name"_s,     u"Registry key"_s,
                                      u"Serial number"_s,         u"Activation code"_s,
                                      u"Article serial number"_s, u"Installation ID"_s,
                                      u"Rusificator"_s,           u"Crack"_s};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(CheckBox(i)->text(), captions[i]);
            QCOMPARE(Edit(i)->width(), 305);
            QCOMPARE(Button(i)->text(), u"..."_s);
            QCOMPARE(Button(i)->toolTip(), u"Путь к файлу"_s);
            QVERIFY(Button(i)->font().bold());
            QCOMPARE(Button(i)->palette().color(QPalette::Active, QPalette::ButtonText),
                     QColor(Qt::blue));
            if (i > 0)
                QVERIFY(CheckBox(i)->y() > CheckBox(i - 1)->y());
        }
    }

    // Where the rows stand after visiting records in turn, closing the table, or on an
    // empty catalogue.
    void rowEnabling_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("visits"); // records shown in turn; "" for none
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        const auto on = int(Qt::Checked), off = int(Qt::Unchecked),
                   grey = int(Qt::PartiallyChecked);
        for (int row = 0; row < 8; ++row) {
            QTest::addRow("ticked %d", row)
                << row << QStringList{u"Ticked"_s} << false << true << on << u"Ticked"_s;
            QTest::addRow("unticked %d", row)
                << row << QStringList{u"Unticked"_s} << false << false << off << u"Unticked"_s;
            QTest::addRow("null %d", row)
                << row << QStringList{u"Null"_s} << false << false << grey << u"Null"_s;
        }
        QTest::newRow("move to a ticked record")
            << 3 << QStringList{u"Unticked"_s, u"Ticked"_s} << false << true << on << u"Ticked"_s;
        QTest::newRow("move on to an unticked record")
            << 3 << QStringList{u"Ticked"_s, u"Unticked"_s} << false << false << off
            << u"Unticked"_s;
        QTest::newRow("move on to a null record")
            << 3 << QStringList{u"Ticked"_s, u"Null"_s} << false << false << grey << u"Null"_s;
        QTest::newRow("table closed")
            << 3 << QStringList{u"Ticked"_s} << true << false << off << QString();
        QTest::newRow("empty catalogue")
            << 5 << QStringList{QString()} << false << false << grey << QString();
    }
    void rowEnabling()
    {
        QFETCH(int, row);
        QFETCH(QStringList, visits);
        QFETCH(bool, close);
        QFETCH(bool, enabled);
        QFETCH(int, state);
        QFETCH(QString, text);
        Start(!visits.first().isEmpty());
        for (const QString& name : visits)
            if (!name.isEmpty())
                GoTo(name);
        if (close)
            Control<QAction>(Form1(), u"ActDisconnect"_s)->trigger();
        QCOMPARE(int(CheckBox(row)->checkState()), state);
        QVERIFY(CheckBox(row)->isEnabled() != close);
        QCOMPARE(Edit(row)->isEnabled(), enabled);
        QCOMPARE(Button(row)->isEnabled(), enabled);
        QCOMPARE(Edit(row)->text(), text);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // The "..." buttons: blue text while they can be pressed, the style's grey when not.
    void buttonsLookDisabledWhenDisabled_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < 8; ++row)
            QTest::addRow("row %d", row) << row;
    }
    void buttonsLookDisabledWhenDisabled()
    {
        QFETCH(int, row);
        Start();
        Control<QTabWidget>(Form1(), u"PageControl1"_s)->setCurrentIndex(1);
        const auto bluePixels = [](const QImage& image) {
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += c.blue() > 180 && c.red() < 90 && c.green() < 90;
                }
            return count;
        };
        GoTo(u"Ticked"_s);
        QVERIFY(Button(row)->isEnabled());
        const QImage enabled = Button(row)->grab().toImage();
        GoTo(u"Unticked"_s);
        QVERIFY(!Button(row)->isEnabled());
        const QImage disabled = Button(row)->grab().toImage();
        QVERIFY(bluePixels(enabled) > 0);
        QCOMPARE(bluePixels(disabled), 0);
        QVERIFY(enabled != disabled);
    }

    // Ticking by hand unlocks the row and starts editing; unticking locks it again and
    // keeps the text.
    void tickingByHand()
    {
        Start();
        GoTo(u"Unticked"_s);
        CheckBox(2)->click();
        QCOMPARE(CheckBox(2)->checkState(), Qt::Checked);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(Edit(2)->isEnabled() && Button(2)->isEnabled());
        CheckBox(2)->click();
        QCOMPARE(CheckBox(2)->checkState(), Qt::Unchecked);
        QVERIFY(!Edit(2)->isEnabled() && !Button(2)->isEnabled());
        Control<QAction>(Form1(), u"N20"_s)->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().FieldByName(u"Ch2"_s)->AsBoolean(), false);
        QCOMPARE(Table().FieldByName(u"Serialnumber"_s)->AsString(), u"Unticked"_s);
        // A grey box ticks at the first click.
        GoTo(u"Null"_s);
        CheckBox(2)->click();
        QCOMPARE(CheckBox(2)->checkState(), Qt::Checked);
        QVERIFY(Edit(2)->isEnabled());
    }

    // The file chosen for a row is the row's text once the record is saved.
    void chosenPathIsPosted_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("record");
        for (int row : {0, 4, 7}) {
            QTest::addRow("ticked by hand, row %d", row) << row << u"Unticked"_s;
            QTest::addRow("ticked in the record, row %d", row) << row << u"Ticked"_s;
        }
    }
    void chosenPathIsPosted()
    {
        QFETCH(int, row);
        QFETCH(QString, record);
        Start();
        GoTo(record);
        if (CheckBox(row)->checkState() != Qt::Checked)
            CheckBox(row)->click();
        const QString file = FDir->filePath(u"key file.reg"_s);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        FDialogs.AnswerFile(file);
        Button(row)->click();
        QCOMPARE(Edit(row)->text(), QDir::toNativeSeparators(file));
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        Control<QAction>(Form1(), u"N20"_s)->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        Table().Refresh();
        GoTo(record);
        QCOMPARE(Table().FieldByName(S(Rows[row].Text))->AsString(),
                 QDir::toNativeSeparators(file));
        QCOMPARE(Table().FieldByName(S(Rows[row].Flag))->AsBoolean(), true);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void cancelledChoiceChangesNothing()
    {
        Start();
        GoTo(u"Ticked"_s);
        Button(1)->click(); // no answer queued: the dialog is cancelled
        QCOMPARE(FDialogs.Asked().size(), 1);
        QCOMPARE(FDialogs.Asked().first().Kind, u"file"_s);
        QCOMPARE(Edit(1)->text(), u"Ticked"_s);
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
    }

    void ratingSteps_data()
    {
        QTest::addColumn<QVariant>("start");
        QTest::addColumn<QString>("steps"); // 'u' up, 'd' down
        QTest::addColumn<int>("rating");
        QTest::newRow("two up from null") << QVariant() << u"uu"_s << 2;
        QTest::newRow("down from null") << QVariant() << u"d"_s << -1;
        QTest::newRow("up and down from 5") << QVariant(5) << u"udd"_s << 4;
        QTest::newRow("no bound of its own") << QVariant(12) << u"uu"_s << 14;
        QTest::newRow("below -12") << QVariant(-12) << u"d"_s << -13;
    }
    void ratingSteps()
    {
        QFETCH(QVariant, start);
        QFETCH(QString, steps);
        QFETCH(int, rating);
        Start();
        GoTo(u"Ticked"_s);
        if (!start.isNull()) {
            Table().Edit();
            Table().FieldByName(u"Rating"_s)->SetAsInteger(start.toInt());
            Table().Post();
        }
        for (QChar step : steps) {
            QTest::mouseClick(step == u'u' ? UpDown1()->UpButton() : UpDown1()->DownButton(),
                              Qt::LeftButton);
            QCOMPARE(Table().State(), TDataSetState::dsEdit);
        }
        QCOMPARE(Table().FieldByName(u"Rating"_s)->AsInteger(), rating);
        QCOMPARE(Control<TDBEdit>(Form1(), u"DBEdit5"_s)->text(), QString::number(rating));
        // Not posted: cancelling brings the stored rating back.
        Table().Cancel();
        QCOMPARE(Table().FieldByName(u"Rating"_s)->Value(),
                 start.isNull() ? QVariant() : QVariant(start.toInt()));
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void ratingStepOnEmptyCatalogue_data()
    {
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("rating");
        QTest::newRow("up") << true << 1;
        QTest::newRow("down") << false << -1;
    }
    void ratingStepOnEmptyCatalogue()
    {
        QFETCH(bool, up);
        QFETCH(int, rating);
        Start(false);
        QVERIFY(Table().IsEmpty());
        QTest::mouseClick(up ? UpDown1()->UpButton() : UpDown1()->DownButton(), Qt::LeftButton);
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QCOMPARE(Table().FieldByName(u"Rating"_s)->AsInteger(), rating);
        Table().Post();
        QCOMPARE(Table().RecordCount(), 1);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void ratingStepWhileDisconnected()
    {
        Start();
        Control<QAction>(Form1(), u"ActDisconnect"_s)->trigger();
        QTest::mouseClick(UpDown1()->UpButton(), Qt::LeftButton);
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages().first().Icon, TMsgIcon::miStop);
    }

    void ratingEditTakesWholeNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("digits") << u"42"_s << u"42"_s;
        QTest::newRow("leading minus") << u"-7"_s << u"-7"_s;
        QTest::newRow("letters and a later minus dropped") << u"1a-2b"_s << u"12"_s;
    }
    void ratingEditTakesWholeNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Start();
        auto* edit = Control<TDBEdit>(Form1(), u"DBEdit5"_s);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), shown);
    }

    // An executable starts in its own folder, detached; the window keeps its caption.
    void startExecutable()
    {
        Start(false);
        const QString folder = FDir->filePath(u"prog dir"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString script = folder + u"/write-marker"_s;
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho started > marker\n");
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        FDialogs.AnswerFile(script);
        N31()->trigger();
        QTRY_VERIFY(QFile::exists(folder + u"/marker"_s));
        QCOMPARE(Form1()->windowTitle(), u"Tresmol"_s);
        QVERIFY(FOpened.isEmpty());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // Anything else goes to the desktop's default application.
    void openDataFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("executableBit");
        QTest::newRow("text file") << u"notes.txt"_s << false;
        QTest::newRow("windows program") << u"setup.exe"_s << true;
        QTest::newRow("windows program, upper case") << u"SETUP.EXE"_s << true;
    }
    void openDataFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, executableBit);
        Start(false);
        const QString path = FDir->filePath(name);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\ntouch ran\n");
        f.close();
        if (executableBit)
            QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        FDialogs.AnswerFile(path);
        N31()->trigger();
        QCOMPARE(FOpened, QList<QUrl>{QUrl::fromLocalFile(path)});
        QCOMPARE(Form1()->windowTitle(), u"Tresmol"_s);
        QVERIFY(FDialogs.Messages().isEmpty());
        QTest::qWait(100);
        QVERIFY(!QFile::exists(FDir->filePath(u"ran"_s)));
    }

    void cancelledStartDoesNothing()
    {
        Start(false);
        N31()->trigger();
        QCOMPARE(FDialogs.Asked().size(), 1);
        QVERIFY(FOpened.isEmpty());
        QCOMPARE(Form1()->windowTitle(), u"Tresmol"_s);
    }

    // A file that does not start: the standard error box says why.
    void failingStartShowsError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("executableBit");
        QTest::addColumn<bool>("opener");
        QTest::newRow("no application for it") << u"data.xyz"_s << false << false;
        QTest::newRow("marked executable, not a program") << u"garbage"_s << true << true;
    }
    void failingStartShowsError()
    {
        QFETCH(QString, name);
        QFETCH(bool, executableBit);
        QFETCH(bool, opener);
        Start(false);
        FOpenerAnswer = opener;
        const QString path = FDir->filePath(name);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x01\x02\x03 no program here");
        f.close();
        if (executableBit)
            QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        FDialogs.AnswerFile(path);
        N31()->trigger();
        const QList<TScriptedDialogs::TAsked> messages = FDialogs.Messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().Icon, TMsgIcon::miStop);
        QCOMPARE(messages.first().Caption, ApplicationTitle());
        QVERIFY2(messages.first().Text.contains(path), qPrintable(messages.first().Text));
        QCOMPARE(Form1()->windowTitle(), u"Tresmol"_s);
    }
};

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
