// The main window's harvesting commands on a real catalogue: "Сканировать" with its
// progress bar, "Сканировать носитель" without it, and "Инфа с файла". The wizard and
// the file information window are played by scripts that press their own controls;
// the folder picker and the file picker are answered by the scripted dialogs.

#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/command.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES "/") + name; }

// FileName, then the thirteen columns harvesting writes, in their order.
const QStringList Columns = {
    u"FileName"_s,     u"CompanyName"_s,    u"FileDescription"_s, u"FileVersion"_s,
    u"InternalName"_s, u"LegalCopyright"_s, u"LegalTrademarks"_s, u"OriginalFilename"_s,
    u"ProductName"_s,  u"ProductVersion"_s, u"Comments"_s,        u"Language"_s,
    u"LangID"_s,       u"CodePage"_s,
};

// What the reader finds in the fixtures copied for a scan; a name not listed is a text
// file named .exe, without version information.
const std::map<QString, QStringList> Harvested = {
    {u"english64.exe"_s,
     {u"Tresmol Test Works"_s, u"English sample program"_s, u"2.5.0.1"_s, u"english"_s,
      u"Copyright (C) 2024 Tresmol Test Works"_s, u"Tresmol(TM)"_s, u"english.exe"_s,
      u"Tresmol Samples"_s, u"2.5"_s, u"Smile: \U0001F600, accents: déjà vu"_s,
      u"English (United States)"_s, u"0409"_s, u"1200"_s}},
    {u"russian32.exe"_s,
     {u"ООО «Рога и копыта»"_s, u"Каталог программ"_s, u"1.0.0.7"_s, u"Каталог"_s,
      u"© 2003 Остап Бендер"_s, u"Тресмол™"_s, u"каталог.exe"_s, u"Тресмол"_s, u"1.0"_s,
      u"Ёлка, щука, ЭХО"_s, u"Russian (Russia)"_s, u"0419"_s, u"1251"_s}},
};

QStringList ExpectedRow(const QString& path)
{
    const auto found = Harvested.find(QFileInfo(path).fileName());
    return QStringList{path} +
           (found != Harvested.end() ? found->second : QStringList(13, u"NO_INFO"_s));
}

// Runs F as soon as the next modal window's event loop runs.
void WhileModal(std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }

// How the script leaves the wizard.
enum class TLeave { Finish, UntickAllAndFinish, Cancel };

// What the progress bar went through: shown, moved, painted, hidden; and whether the
// window handled its pending events (a call posted at each move) before the next file.
class TBarLog : public QObject {
public:
    TBarLog(QProgressBar* bar, const TDataSet& table) : FBar(bar), FTable(table)
    {
        bar->installEventFilter(this);
        connect(bar, &QProgressBar::valueChanged, this, [this](int value) {
            FLog << u"value %1 of %2, %3 records"_s.arg(value).arg(FBar->maximum()).arg(Records());
            QMetaObject::invokeMethod(
                this, [this] { FLog << u"events handled at %1 records"_s.arg(Records()); },
                Qt::QueuedConnection);
            if (OnValue)
                OnValue(value);
        });
    }

    QStringList Log() const { return FLog; }
    // The positions the bar was painted at while shown.
    QList<int> Painted() const { return FPainted; }
    std::function<void(int)> OnValue;

protected:
    // The records of the table, or -1 while it is closed.
    int Records() const { return FTable.Active() ? FTable.RecordCount() : -1; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == FBar) {
            if (event->type() == QEvent::Show)
                FLog << u"shown, maximum %1"_s.arg(FBar->maximum());
            else if (event->type() == QEvent::Hide)
                FLog << u"hidden at %1 of %2"_s.arg(FBar->value()).arg(FBar->maximum());
            else if (event->type() == QEvent::Paint && !FPainted.contains(FBar->value()))
                FPainted << FBar->value();
        }
        return false;
    }

private:
    QProgressBar* FBar;
    const TDataSet& FTable;
    QStringList FLog;
    QList<int> FPainted;
};

} // namespace

class TestHarvestCommands : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
    QString FScanFolder;
    std::unique_ptr<TTresmolApp> FApp;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    TForm1Controls Ui() { return TForm1Controls(FApp->Form1); }

    void StartWith(const QStringList& names)
    {
        Catalogue::Create(FPath);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(Table().Active());
        TTestCatalogue::AddNames(Table(), names);
        Table().First();
    }

    // Fills the scan folder: copies of the named fixtures, and a text file for any
    // name that is not one.
    void MakeScanFolder(const QStringList& names)
    {
        QVERIFY(QDir().mkpath(FScanFolder));
        for (const QString& name : names) {
            const QString target = FScanFolder + u'/' + name;
            if (QFile::exists(Fixture(name))) {
                QVERIFY(QFile::copy(Fixture(name), target));
            } else {
                QFile f(target);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("not a program\n");
            }
        }
    }

    // Plays the wizard once it is up: the scan folder added and searched, the files it
    // lists kept in LISTED, then left as LEAVE says.
    void PlayWizard(TLeave leave, QStringList* listed = nullptr)
    {
        WhileModal([this, leave, listed] {
            const QWidget* w = FApp->MasterForm;
            auto* files = Control<QListWidget>(w, u"FilesCbL"_s);
            auto* finish = Control<QPushButton>(w, u"NextBtn"_s); // "Готово" on the files page
            FDialogs.AnswerFolder(FScanFolder);
            Control<QAction>(w, u"ActAddFolder"_s)->trigger();
            Control<QAction>(w, u"ActNext"_s)->trigger();
            for (int i = 0; i < files->count(); ++i) {
                if (listed)
                    *listed << files->item(i)->text();
                if (leave == TLeave::UntickAllAndFinish)
                    files->item(i)->setCheckState(Qt::Unchecked);
            }
            if (leave == TLeave::Cancel)
                Control<QAction>(w, u"ActCancel"_s)->trigger();
            else
                QTest::mouseClick(finish, Qt::LeftButton);
        });
    }

    // Every record's FileName and harvested columns, in the order the records were
    // added.
    QList<QStringList> Records()
    {
        QList<std::pair<int, QStringList>> rows;
        for (Table().First(); !Table().Eof(); Table().Next()) {
            QStringList row;
            for (const QString& c : Columns)
                row << Table().FieldByName(c)->AsString();
            rows.append({Table().FieldByName(u"Номер"_s)->AsInteger(), row});
        }
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        QList<QStringList> out;
        for (const auto& r : rows)
            out << r.second;
        return out;
    }

    // The record named NAME, read from the catalogue file by a second connection.
    QString SavedColumn(const QString& name, const QString& column)
    {
        QStringList errors;
        TDataModule1 other([&errors](const QString& m) { errors << m; },
                           Catalogue::ConnectionStringFor(FPath));
        if (!errors.isEmpty())
            return u"cannot open: "_s + errors.join(u'\n');
        other.BookTable.Open();
        for (other.BookTable.First(); !other.BookTable.Eof(); other.BookTable.Next())
            if (other.BookTable.FieldByName(u"ProductName"_s)->AsString() == name)
                return other.BookTable.FieldByName(column)->AsString();
        return u"no record named "_s + name;
    }

    void TypeIntoDetails(const QString& text)
    {
        Ui().DBEdit6->setFocus();
        Ui().DBEdit6->selectAll();
        QTest::keyClicks(Ui().DBEdit6, text);
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
        FScanFolder = FDir->filePath(u"Disc"_s);
    }

    void cleanup()
    {
        if (FApp) {
            FApp->Form1->close();
            FApp.reset();
        }
        FDir.reset();
        SetDialogs(nullptr);
    }

    void scanHarvestsTheTickedFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("leave");
        QTest::newRow("three files")
            << QStringList{u"english64.exe"_s, u"russian32.exe"_s, u"notes.exe"_s}
            << int(TLeave::Finish);
        QTest::newRow("one file") << QStringList{u"english64.exe"_s} << int(TLeave::Finish);
        QTest::newRow("wizard cancelled")
            << QStringList{u"english64.exe"_s, u"notes.exe"_s} << int(TLeave::Cancel);
        QTest::newRow("nothing ticked")
            << QStringList{u"english64.exe"_s, u"notes.exe"_s} << int(TLeave::UntickAllAndFinish);
    }

    void scanHarvestsTheTickedFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(int, leave);
        StartWith({});
        MakeScanFolder(files);
        TBarLog bar(Ui().ProgressBar, Table());
        QStringList listed;
        PlayWizard(TLeave(leave), &listed);
        Ui().ActScan->trigger();

        QVERIFY(FApp->MasterForm->isHidden());
        QCOMPARE(listed.size(), files.size());
        const QStringList harvested = TLeave(leave) == TLeave::Finish ? listed : QStringList();
        const int n = int(harvested.size());
        // Every file moves the bar once its record is saved. The window handles its
        // events at most once a frame in between, but always after the first and the
        // last file; after which other files depends on the clock. Each file's queued
        // call has been handled by the end, each once.
        QStringList log = bar.Log();
        QCOMPARE(log.value(0), u"shown, maximum %1"_s.arg(n));
        QCOMPARE(log.value(log.size() - 1),
                 u"hidden at %1 of %2"_s.arg(n == 0 ? -1 : n - 1).arg(n));
        qsizetype at = 1;
        int handledCalls = 0;
        for (int i = 0; i < n; ++i) {
            QCOMPARE(log.value(at++), u"value %1 of %2, %3 records"_s.arg(i).arg(n).arg(i + 1));
            const QString handled = u"events handled at %1 records"_s.arg(i + 1);
            int handledHere = 0;
            for (; log.value(at) == handled; ++at)
                ++handledHere;
            if (i == 0 || i == n - 1)
                QVERIFY2(handledHere > 0, qPrintable(QString::number(i)));
            handledCalls += handledHere;
        }
        QCOMPARE(handledCalls, n);
        QCOMPARE(at, log.size() - 1);
        QVERIFY(Ui().ProgressBar->isHidden());
        // The bar moved on screen: it was painted at the first and the last position.
        if (n > 0) {
            QVERIFY(bar.Painted().contains(0));
            QVERIFY(bar.Painted().contains(n - 1));
        }
        // The grid followed: it holds every record, the last one harvested current.
        QCOMPARE(Ui().DBGrid1->model()->rowCount(), n);
        if (n > 0) {
            QCOMPARE(Ui().DBGrid1->currentIndex().row(), Table().ViewCurrentRow());
            QCOMPARE(Ui().DBEdit3->text(), harvested.last());
        }

        QList<QStringList> expected;
        for (const QString& path : harvested)
            expected << ExpectedRow(path);
        QCOMPARE(Records(), expected);
        if (n > 0) {
            QCOMPARE(Table().State(), TDataSetState::dsBrowse);
            QVERIFY2(Ui().StatusText(1).endsWith(u" из %1"_s.arg(n)),
                     qPrintable(Ui().StatusText(1)));
        }
        // A run over files ends with word of what it added; a wizard that handed over
        // nothing (cancelled, or every tick cleared) started no run to report.
        QCOMPARE(Ui().StatusText(2), n > 0 ? u"Добавлено записей: %1"_s.arg(n) : QString());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // Inside an archive, then the same folder again: the second scan lists every file
    // as already in the catalogue, unticked, and adds nothing.
    void scanInsideArchivesThenAgain()
    {
        StartWith({});
        MakeScanFolder({u"english64.exe"_s});
        QVERIFY(QFile::copy(QStringLiteral(ARCHIVE_FIXTURES "/programs.zip"),
                            FScanFolder + u"/programs.zip"_s));
        const QString member = FScanFolder + u"/programs.zip!/SETUP/SETUP.EXE"_s;
        QStringList marks;
        const auto scan = [&](bool firstTime) {
            WhileModal([&, firstTime] {
                const QWidget* w = FApp->MasterForm;
                auto* files = Control<QListWidget>(w, u"FilesCbL"_s);
                if (firstTime) {
                    Control<QCheckBox>(w, u"CheckBox1"_s)->setChecked(true);
                    FDialogs.AnswerFolder(FScanFolder);
                    Control<QAction>(w, u"ActAddFolder"_s)->trigger();
                }
                Control<QAction>(w, u"ActNext"_s)->trigger();
                marks.clear();
                for (int i = 0; i < files->count(); ++i)
                    marks << files->item(i)->text() + (files->item(i)->checkState() == Qt::Checked
                                                           ? u" [x]"_s
                                                           : u" [ ]"_s);
                QTest::mouseClick(Control<QPushButton>(w, u"NextBtn"_s), Qt::LeftButton);
            });
            Ui().ActScan->trigger();
        };
        scan(true);
        QCOMPARE(marks.size(), 4);
        QVERIFY(marks.contains(member + u" [x]"_s));
        QCOMPARE(Table().RecordCount(), 4);
        bool found = false;
        for (Table().First(); !Table().Eof(); Table().Next()) {
            if (Table().FieldByName(u"FileName"_s)->AsString() != member)
                continue;
            found = true;
            QCOMPARE(Table().FieldByName(u"PlacingProgram"_s)->AsString(),
                     FScanFolder + u"/programs.zip!/SETUP/"_s);
            QCOMPARE(Table().FieldByName(u"ExtractFileName"_s)->AsString(), u"SETUP.EXE"_s);
            QCOMPARE(Table().FieldByName(u"CompanyName"_s)->AsString(), u"Tresmol Test Works"_s);
        }
        QVERIFY(found);

        scan(false);
        QCOMPARE(marks.size(), 4);
        for (const QString& m : marks)
            QVERIFY2(m.endsWith(u"  — уже в базе [ ]"_s), qPrintable(m));
        QCOMPARE(Table().RecordCount(), 4);
    }

    // Packages from the window: each becomes a record with its own names, Latin and
    // Cyrillic, the programs inside them members; a second scan knows them all.
    void scanPackagesThenAgain()
    {
        StartWith({});
        MakeScanFolder({});
        for (const char* name : {"latin.msi", "cyrillic.msi"})
            QVERIFY(QFile::copy(QStringLiteral(MSI_FIXTURES "/packages/") + QLatin1String(name),
                                FScanFolder + u'/' + QLatin1String(name)));
        QStringList marks;
        const auto scan = [&](bool firstTime) {
            WhileModal([&, firstTime] {
                const QWidget* w = FApp->MasterForm;
                auto* files = Control<QListWidget>(w, u"FilesCbL"_s);
                if (firstTime) {
                    Control<QCheckBox>(w, u"CheckBox1"_s)->setChecked(true);
                    Control<QCheckBox>(w, u"CheckBox3"_s)->setChecked(true);
                    FDialogs.AnswerFolder(FScanFolder);
                    Control<QAction>(w, u"ActAddFolder"_s)->trigger();
                }
                Control<QAction>(w, u"ActNext"_s)->trigger();
                marks.clear();
                for (int i = 0; i < files->count(); ++i)
                    marks << files->item(i)->text() + (files->item(i)->checkState() == Qt::Checked
                                                           ? u" [x]"_s
                                                           : u" [ ]"_s);
                QTest::mouseClick(Control<QPushButton>(w, u"NextBtn"_s), Qt::LeftButton);
            });
            Ui().ActScan->trigger();
        };
        scan(true);
        // Two packages, the two programs of the Latin one, the one of the Cyrillic one.
        QCOMPARE(marks.size(), 5);
        QCOMPARE(Table().RecordCount(), 5);
        // The names as msitools reads them from each package.
        const auto msiinfo = [](const QString& package, const QString& name) {
            QProcess p;
            p.start(u"msiinfo"_s, {u"export"_s, package, u"Property"_s});
            p.waitForFinished(60000);
            for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
                if (line.startsWith(name + u'\t'))
                    return line.mid(name.size() + 1).trimmed();
            return QString();
        };
        int packages = 0;
        for (Table().First(); !Table().Eof(); Table().Next()) {
            const QString path = Table().FieldByName(u"FileName"_s)->AsString();
            if (!path.endsWith(u".msi"_s))
                continue;
            ++packages;
            QCOMPARE(Table().FieldByName(u"ProductName"_s)->AsString(),
                     msiinfo(path, u"ProductName"_s));
            QCOMPARE(Table().FieldByName(u"CompanyName"_s)->AsString(),
                     msiinfo(path, u"Manufacturer"_s));
            if (path.endsWith(u"cyrillic.msi"_s))
                QVERIFY(
                    Table().FieldByName(u"ProductName"_s)->AsString().contains(u"Бухгалтерия"_s));
        }
        QCOMPARE(packages, 2);

        scan(false);
        QCOMPARE(marks.size(), 5);
        for (const QString& m : marks)
            QVERIFY2(m.endsWith(u"  — уже в базе [ ]"_s), qPrintable(m));
        QCOMPARE(Table().RecordCount(), 5);
    }

    void scanPostsTheChangeTypedIntoTheRecord()
    {
        StartWith({u"Alpha"_s});
        MakeScanFolder({u"english64.exe"_s});
        TypeIntoDetails(u"9.9"_s);
        QVERIFY(Ui().DBEdit6->Holding());
        QCOMPARE(Table().State(), TDataSetState::dsEdit);

        PlayWizard(TLeave::Finish);
        Ui().ActScan->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Table().RecordCount(), 2);
        QCOMPARE(Table().FieldByName(u"FileName"_s)->AsString(), FScanFolder + u"/english64.exe"_s);
        QCOMPARE(SavedColumn(u"Alpha"_s, u"ProductVersion"_s), u"9.9"_s);
        QCOMPARE(SavedColumn(u"Tresmol Samples"_s, u"ProductVersion"_s), u"2.5"_s);
    }

    void scanDropsAnUntouchedNewRecord()
    {
        StartWith({u"Alpha"_s});
        MakeScanFolder({u"notes.exe"_s});
        Table().Insert();
        QCOMPARE(Table().State(), TDataSetState::dsInsert);

        PlayWizard(TLeave::Finish);
        Ui().ActScan->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Table().RecordCount(), 2);
        const QList<QStringList> records = Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0][8], u"Alpha"_s);
        QCOMPARE(records[1], ExpectedRow(FScanFolder + u"/notes.exe"_s));
    }

    void scanKeepsTheGridsCurrentColumnAndScroll()
    {
        StartWith({u"Alpha"_s});
        MakeScanFolder({u"english64.exe"_s, u"russian32.exe"_s, u"notes.exe"_s});
        TDBGrid* grid = Ui().DBGrid1;
        const int column = grid->model()->columnCount() - 2;
        grid->setCurrentIndex(grid->model()->index(0, column));
        grid->scrollTo(grid->currentIndex());
        const int scrolled = grid->horizontalScrollBar()->value();
        QVERIFY(scrolled > 0);
        PlayWizard(TLeave::Finish);
        Ui().ActScan->trigger();

        QCOMPARE(grid->model()->rowCount(), 4);
        QCOMPARE(grid->currentIndex().row(), Table().ViewCurrentRow());
        QCOMPARE(grid->currentIndex().column(), column);
        QCOMPARE(grid->horizontalScrollBar()->value(), scrolled);
    }

    void scanErrorEndsTheRunAndLeavesTheBar()
    {
        StartWith({});
        MakeScanFolder({u"english64.exe"_s, u"russian32.exe"_s, u"notes.exe"_s});
        TBarLog bar(Ui().ProgressBar, Table());
        // The catalogue goes away once the first file is saved.
        bar.OnValue = [this](int value) {
            if (value == 0)
                Table().Close();
        };
        QStringList listed;
        PlayWizard(TLeave::Finish, &listed);
        Ui().ActScan->trigger();

        QCOMPARE(FDialogs.Messages().size(), 1);
        const auto box = FDialogs.Messages()[0];
        QCOMPARE(box.Text, u"Cannot perform this operation on a closed dataset."_s);
        QCOMPARE(box.Icon, TMsgIcon::miStop);
        QCOMPARE(box.Caption, ApplicationTitle());
        QCOMPARE(bar.Log(), (QStringList{u"shown, maximum 3"_s, u"value 0 of 3, 1 records"_s,
                                         u"events handled at -1 records"_s}));
        QVERIFY(Ui().ProgressBar->isVisible());
        QCOMPARE(Ui().ProgressBar->value(), 0);

        // The record before the error is saved, nothing after it.
        Table().Open();
        QCOMPARE(Records(), QList<QStringList>{ExpectedRow(listed[0])});

        // The next run hides the bar.
        bar.OnValue = nullptr;
        FDialogs.ClearAsked();
        WhileModal([this] { Control<QAction>(FApp->MasterForm, u"ActCancel"_s)->trigger(); });
        Ui().ActScan->trigger();
        QVERIFY(Ui().ProgressBar->isHidden());
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Table().RecordCount(), 1);
    }

    void closeDuringAScanWaitsForItsEnd()
    {
        StartWith({});
        MakeScanFolder({u"english64.exe"_s, u"russian32.exe"_s, u"notes.exe"_s});
        TBarLog bar(Ui().ProgressBar, Table());
        bool stillOpen = false;
        bar.OnValue = [this, &stillOpen](int value) {
            if (value == 0)
                QMetaObject::invokeMethod(
                    FApp->Form1, [this] { FApp->Form1->close(); }, Qt::QueuedConnection);
            if (value == 2)
                stillOpen = FApp->Form1->isVisible();
        };
        QStringList listed;
        PlayWizard(TLeave::Finish, &listed);
        Ui().ActScan->trigger();

        QVERIFY(stillOpen);
        QVERIFY(!FApp->Form1->isVisible());
        QVERIFY(!Table().Active());
        QVERIFY(FDialogs.Messages().isEmpty());
        for (const QString& path : listed) {
            const QStringList row = ExpectedRow(path);
            QCOMPARE(SavedColumn(row[8], u"FileName"_s), path);
        }
    }

    void scanMediumHarvestsWithoutTheBar()
    {
        StartWith({u"Alpha"_s});
        MakeScanFolder({u"english64.exe"_s, u"notes.exe"_s});
        QVERIFY(Ui().PopupMenu->actions().contains(Ui().N14));
        QCOMPARE(Ui().N14->text(), u"Сканировать носитель"_s);
        TBarLog bar(Ui().ProgressBar, Table());
        QStringList listed;
        PlayWizard(TLeave::Finish, &listed);
        Ui().N14->trigger();

        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(bar.Log().isEmpty());
        QVERIFY(Ui().ProgressBar->isHidden());
        QList<QStringList> records = Records();
        QCOMPARE(records.size(), 3);
        records.removeFirst(); // Alpha
        QCOMPARE(records, (QList<QStringList>{ExpectedRow(listed[0]), ExpectedRow(listed[1])}));
        QCOMPARE(Ui().StatusText(2), u"Добавлено записей: 2"_s);
    }

    void scanMediumOnAClosedCatalogueShowsTheEngineError()
    {
        StartWith({u"Alpha"_s});
        MakeScanFolder({u"english64.exe"_s});
        Ui().ActDisconnect->trigger();
        FApp->Form1->UpdateActions();
        QVERIFY(!Ui().ActScan->isEnabled());
        QVERIFY(Ui().N14->isEnabled());

        bool wizardShown = false;
        WhileModal([this, &wizardShown] { wizardShown = FApp->MasterForm->isVisible(); });
        PlayWizard(TLeave::Finish);
        Ui().N14->trigger();
        QVERIFY(wizardShown);
        QCOMPARE(FDialogs.Messages().size(), 1);
        QCOMPARE(FDialogs.Messages()[0].Text,
                 u"Cannot perform this operation on a closed dataset."_s);
        QCOMPARE(FDialogs.Messages()[0].Icon, TMsgIcon::miStop);

        FDialogs.ClearAsked();
        Ui().ActConnect->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QCOMPARE(Table().RecordCount(), 1);
        QCOMPARE(Table().FieldByName(u"ProductName"_s)->AsString(), u"Alpha"_s);
    }

    void fileInfoPostsTheEditedRecordThenOpensTheWindow()
    {
        StartWith({u"Alpha"_s});
        TypeIntoDetails(u"9.9"_s);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);

        bool modal = false;
        TDataSetState state = TDataSetState::dsInactive;
        QString savedMeanwhile;
        WhileModal([&] {
            modal = QApplication::activeModalWidget() == FApp->InfoForm;
            state = Table().State();
            savedMeanwhile = SavedColumn(u"Alpha"_s, u"ProductVersion"_s);
            const QWidget* info = FApp->InfoForm;
            // "Выход"
            QTest::mouseClick(Control<QPushButton>(info, u"SpeedButton3"_s), Qt::LeftButton);
        });
        Ui().ActFileInfo->trigger();
        QVERIFY(modal);
        QCOMPARE(state, TDataSetState::dsInsert);
        QCOMPARE(savedMeanwhile, u"9.9"_s);
        QVERIFY(FApp->InfoForm->isHidden());
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void fileInfoSavesWhatTheWindowRead()
    {
        StartWith({u"Alpha"_s});
        const QString path = Fixture(u"english64.exe"_s);
        FDialogs.AnswerFile(path);
        WhileModal([this] {
            const QWidget* info = FApp->InfoForm;
            // "Обзор", then "Сохранить"
            QTest::mouseClick(Control<QPushButton>(info, u"SpeedButton1"_s), Qt::LeftButton);
            QTest::mouseClick(Control<QPushButton>(info, u"SpeedButton2"_s), Qt::LeftButton);
        });
        Ui().ActFileInfo->trigger();
        QVERIFY(FDialogs.Messages().isEmpty());
        QVERIFY(FApp->InfoForm->isHidden());
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 2);
        QCOMPARE(SavedColumn(u"Tresmol Samples"_s, u"FileName"_s), path);
        QCOMPARE(SavedColumn(u"Tresmol Samples"_s, u"ExtractFileName"_s), u"english64.exe"_s);
        QCOMPARE(SavedColumn(u"Tresmol Samples"_s, u"LangID"_s), u"0409"_s);
    }

    void getInformationShowsWhatHarvestingStores_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("english64.exe") << u"english64.exe"_s;
        QTest::newRow("russian32.exe") << u"russian32.exe"_s;
    }

    void getInformationShowsWhatHarvestingStores()
    {
        QFETCH(QString, fixture);
        StartWith({u"Alpha"_s});
        MakeScanFolder({fixture});
        const QString path = FScanFolder + u'/' + fixture;
        FApp->Form1->HarvestFile(path);
        QCOMPARE(Table().FieldByName(u"FileName"_s)->AsString(), path);

        FApp->Form1->findChild<QAction*>(u"N29"_s)->trigger();
        const QList<TScriptedDialogs::TAsked> boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].Icon, TMsgIcon::miInformation);
        // Each line names a column's value as the harvested record holds it.
        const std::pair<QString, QString> lines[] = {
            {u"Название"_s, u"ProductName"_s},
            {u"Производитель"_s, u"CompanyName"_s},
            {u"Описание"_s, u"FileDescription"_s},
            {u"Версия продукта"_s, u"ProductVersion"_s},
            {u"Версия файла"_s, u"FileVersion"_s},
            {u"Внутреннее имя"_s, u"InternalName"_s},
            {u"Исходное имя файла"_s, u"OriginalFilename"_s},
            {u"Авторские права"_s, u"LegalCopyright"_s},
            {u"Товарные знаки"_s, u"LegalTrademarks"_s},
            {u"Комментарии"_s, u"Comments"_s},
            {u"Язык"_s, u"Language"_s},
            {u"Language ID"_s, u"LangID"_s},
            {u"Code Page"_s, u"CodePage"_s},
        };
        QStringList wanted{path, QString()};
        for (const auto& [label, column] : lines) {
            const QString value = Table().FieldByName(column)->AsString();
            QVERIFY2(!value.isEmpty() && value != u"NO_INFO"_s, qPrintable(column));
            wanted << label + u": "_s + value;
        }
        QCOMPARE(boxes[0].Text.split(u'\n'), wanted);
    }
};

QTEST_MAIN(TestHarvestCommands)
#include "tst_harvestcommands.moc"
