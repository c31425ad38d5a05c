// Grid columns and the layout settings file on the real main window: the chooser, the
// painting of installed rows and of the current cell, and what the settings file keeps
// between runs. Every run keeps its settings file in a temporary folder.

#include "dbaware/dbgrid.h"
#include "mainwindow/columnform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/command.h"
#include "platform/inifile.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

class TestColumns : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath, FIni;
    std::unique_ptr<TTresmolApp> FApp;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    TDBGrid* Grid() { return TForm1Controls(FApp->Form1).DBGrid1; }
    QListWidget* Ticks() { return FApp->ColumnForm->findChild<QListWidget*>(u"CheckListBox1"_s); }
    QStringList Titles()
    {
        QStringList titles;
        for (int c = 0; c < Grid()->model()->columnCount(); ++c)
            titles << Grid()->model()->headerData(c, Qt::Horizontal).toString();
        return titles;
    }
    QStringList Names()
    {
        QStringList names;
        for (int c = 0; c < Grid()->model()->columnCount(); ++c)
            names << Grid()->GridModel()->ColumnField(c)->FieldName();
        return names;
    }
    QStringList Keys(const QString& section)
    {
        QFile f(FIni);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList keys;
        bool in = false;
        for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
            if (line.startsWith(u'['))
                in = line == u'[' + section + u']';
            else if (in && line.contains(u'='))
                keys << line.left(line.indexOf(u'='));
        }
        return keys;
    }

    void Start(bool maximized = false)
    {
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FIni);
        if (maximized)
            FApp->Form1->showMaximized();
        else
            FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(Table().Active());
    }
    void Stop()
    {
        FApp->Form1->close();
        FApp.reset();
    }

    // Opens the chooser through "Столбцы" and runs F while it is shown; F closes it.
    void WithChooser(const std::function<void()>& f)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QVERIFY(FApp->ColumnForm->isVisible());
            f();
            ran = true;
            if (FApp->ColumnForm->isVisible())
                Control<QToolButton>(FApp->ColumnForm, u"SpeedButton2"_s)->click();
        });
        TForm1Controls(FApp->Form1).N12->trigger();
        QVERIFY(ran);
        QVERIFY(!FApp->ColumnForm->isVisible());
    }
    void Toggle(int item)
    {
        QListWidgetItem* it = Ticks()->item(item);
        it->setCheckState(it->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
        FIni = FDir->filePath(u"tresmol.ini"_s);
        Catalogue::Create(FPath);
    }

    void cleanup()
    {
        if (FApp)
            Stop();
        FDir.reset();
        SetDialogs(nullptr);
    }

    void columnsFollowVisibilityWithTitlesAndWidths()
    {
        Start();
        QCOMPARE(Grid()->model()->columnCount(), 24); // the first 23 and Ch0
        QCOMPARE(Names().first(), u"Номер"_s);
        QCOMPARE(Names().last(), u"Ch0"_s);
        for (int c = 0; c < Grid()->model()->columnCount(); ++c) {
            const TField* field = Grid()->GridModel()->ColumnField(c);
            QCOMPARE(Titles()[c],
                     field->DisplayLabel().isEmpty() ? field->FieldName() : field->DisplayLabel());
            const int digits =
                field->DisplayWidth() * Grid()->fontMetrics().horizontalAdvance(u'0') + 4;
            const int title =
                Grid()->horizontalHeader()->fontMetrics().horizontalAdvance(Titles()[c]) + 4;
            QCOMPARE(Grid()->columnWidth(c), std::max(digits, title));
        }
        // A title longer than the field's display width is not cut.
        const int maker = Names().indexOf(u"Производитель дисков"_s);
        QVERIFY(maker >= 0);
        QVERIFY(Grid()->columnWidth(maker) >=
                Grid()->horizontalHeader()->fontMetrics().horizontalAdvance(Titles()[maker]) + 4);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void firstRunWritesEveryKey()
    {
        QVERIFY(!QFile::exists(FIni));
        Start();
        Stop();
        const QStringList columns = Keys(u"Columns"_s);
        int visible = 0, width = 0;
        for (const QString& k : columns) {
            visible += k.endsWith(u"Visible"_s);
            width += k.endsWith(u"Width"_s);
        }
        QCOMPARE(visible, 51);
        QCOMPARE(width, 24);
        QVERIFY(columns.contains(u"Тип дискаVisible"_s));
        QVERIFY(columns.contains(u"НомерWidth"_s));
        QVERIFY(columns.contains(u"Ch0Width"_s));
        QVERIFY(!columns.contains(u"IdWidth"_s));
        QCOMPARE(Keys(u"DBGrid"_s), QStringList{u"Width"_s});
        QCOMPARE(Keys(u"Form1"_s), (QStringList{u"Left"_s, u"Top"_s, u"Height"_s, u"Width"_s,
                                                u"ClientHeight"_s, u"ClientWidth"_s}));
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void fieldHiddenInOneRunIsHiddenInTheNext()
    {
        Start();
        WithChooser([&] { Toggle(1); }); // "Название программы" unticked
        QVERIFY(!Names().contains(u"ProductName"_s));
        const int year = Names().indexOf(u"Year"_s);
        Grid()->setColumnWidth(year, 97); // as a dragged border does
        Stop();

        Start();
        QVERIFY(!Table().FieldByName(u"ProductName"_s)->Visible());
        QCOMPARE(Grid()->model()->columnCount(), 23);
        QCOMPARE(Grid()->columnWidth(Names().indexOf(u"Year"_s)), 97);
        // The chooser shows the field as it is now.
        WithChooser([&] {
            QCOMPARE(Ticks()->item(1)->checkState(), Qt::Unchecked);
            QCOMPARE(Ticks()->item(2)->checkState(), Qt::Checked);
        });
    }

    void disconnectAndReconnectGiveTheSameGrid()
    {
        Start();
        Grid()->setColumnWidth(3, 131);
        Table().FieldByName(u"Year"_s)->SetVisible(false);
        Grid()->RefreshColumns();
        const QStringList names = Names();
        QList<int> widths;
        for (int c = 0; c < names.size(); ++c)
            widths << Grid()->columnWidth(c);
        TForm1Controls(FApp->Form1).ActDisconnect->trigger();
        QVERIFY(!Table().Active());
        TForm1Controls(FApp->Form1).ActConnect->trigger();
        QVERIFY(Table().Active());
        QCOMPARE(Names(), names);
        for (int c = 0; c < names.size(); ++c)
            QCOMPARE(Grid()->columnWidth(c), widths[c]);
    }

    void handEditWhileRunningIsTakenUp()
    {
        Start();
        TForm1Controls(FApp->Form1).ActDisconnect->trigger();
        TIniFile ini(FIni);
        QCOMPARE(ini.ReadInteger(u"Columns"_s, u"CompanyNameVisible"_s, -1), 1);
        ini.WriteString(u"Columns"_s, u"CompanyNameVisible"_s, u"0"_s);
        ini.WriteString(u"COLUMNS"_s, u"languagewidth"_s, u"$7B"_s);
        TForm1Controls(FApp->Form1).ActConnect->trigger();
        QVERIFY(!Names().contains(u"CompanyName"_s));
        QCOMPARE(Grid()->columnWidth(Names().indexOf(u"Language"_s)), 123);
    }

    void chooserKeysAreReadLikeTheOthers_data()
    {
        QTest::addColumn<QByteArray>("file"); // the "Columns" section as edited by hand
        QTest::addColumn<bool>("shown");      // the first field, "№", shown at start
        QTest::newRow("Visible0 edited to 0") << QByteArray("Visible0=0\n") << false;
        QTest::newRow("Visible0 edited to 0 beside the field's key")
            << QByteArray("НомерVisible=1\nVisible0=0\n") << false;
        QTest::newRow("the field's key edited to 0")
            << QByteArray("НомерVisible=0\nVisible0=1\n") << false;
        QTest::newRow("both say shown") << QByteArray("НомерVisible=1\nVisible0=1\n") << true;
    }
    void chooserKeysAreReadLikeTheOthers()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, shown);
        {
            QFile f(FIni);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Columns]\n" + file);
        }
        Start();
        QCOMPARE(Names().contains(u"Номер"_s), shown);
        WithChooser(
            [&] { QCOMPARE(Ticks()->item(0)->checkState(), shown ? Qt::Checked : Qt::Unchecked); });
        Stop();
        // Written back alike, so the next start agrees.
        QCOMPARE(TIniFile(FIni).ReadInteger(u"Columns"_s, u"Visible0"_s, -1), int(shown));
        QCOMPARE(TIniFile(FIni).ReadInteger(u"Columns"_s, u"НомерVisible"_s, -1), int(shown));
        // Ticked again in the chooser, it stays shown from then on.
        Start();
        if (!shown)
            WithChooser([&] { Toggle(0); });
        QVERIFY(Names().contains(u"Номер"_s));
        Stop();
        Start();
        QVERIFY(Names().contains(u"Номер"_s));
    }

    void chooserShowsAndHidesColumns()
    {
        Start();
        QCOMPARE(FApp->ColumnForm->windowTitle(), u"Настройка столбцов"_s);
        // The designed size, or larger where the captions need it; fixed either way.
        QVERIFY(FApp->ColumnForm->width() >= 383 && FApp->ColumnForm->height() >= 193);
        QCOMPARE(FApp->ColumnForm->minimumSize(), FApp->ColumnForm->maximumSize());
        QPoint first;
        WithChooser([&] {
            QCOMPARE(Ticks()->count(), 23);
            QCOMPARE(Ticks()->item(3)->text(), u"Производитель дисков"_s);
            QCOMPARE(Ticks()->item(22)->text(), u"Авторск. права"_s);
            for (int i = 0; i < 23; ++i)
                QCOMPARE(Ticks()->item(i)->checkState(), Qt::Checked);
            QCOMPARE(FApp->ColumnForm->geometry().center(), FApp->Form1->geometry().center());
            first = FApp->ColumnForm->geometry().topLeft();
            Toggle(8); // "Производитель" hides CompanyName at once
            QVERIFY(!Names().contains(u"CompanyName"_s));
            QCOMPARE(Grid()->model()->columnCount(), 23);
            Toggle(8);
            QCOMPARE(Names().indexOf(u"CompanyName"_s), 8);
        });
        // Opened again, in the same place.
        WithChooser([&] { QCOMPARE(FApp->ColumnForm->geometry().topLeft(), first); });
    }

    void hidingAll23LeavesCh0()
    {
        Start();
        WithChooser([&] {
            for (int i = 0; i < 23; ++i)
                Toggle(i);
        });
        QCOMPARE(Names(), QStringList{u"Ch0"_s});
    }

    void okShowsTheTickedCaptions_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QString>("text");
        QTest::newRow("first two") << QList<int>{0, 1} << u"Выбрано№ Название программы "_s;
        QTest::newRow("none") << QList<int>{} << u"Выбрано"_s;
        QTest::newRow("last") << QList<int>{22} << u"ВыбраноАвторск. права "_s;
    }
    void okShowsTheTickedCaptions()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QString, text);
        Start();
        WithChooser([&] {
            for (int i = 0; i < 23; ++i)
                Ticks()->item(i)->setCheckState(ticked.contains(i) ? Qt::Checked : Qt::Unchecked);
            FDialogs.ClearAsked();
            Control<QToolButton>(FApp->ColumnForm, u"SpeedButton1"_s)->click();
            QVERIFY(FApp->ColumnForm->isVisible()); // the chooser stays open
            const auto boxes = FDialogs.Messages();
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].Text, text);
            QCOMPARE(boxes[0].Caption, u"Внимание!"_s);
            QCOMPARE(boxes[0].Buttons, TMsgButtons::mbOK);
            QCOMPARE(boxes[0].Icon, TMsgIcon::miNone);
        });
    }

    void installedRowsAndTheCurrentCellArePainted_data()
    {
        QTest::addColumn<bool>("focused");
        QTest::newRow("grid focused") << true;
        QTest::newRow("focus elsewhere") << false;
    }
    void installedRowsAndTheCurrentCellArePainted()
    {
        QFETCH(bool, focused);
        Start();
        TTestCatalogue::AddNames(Table(), {u"Plain"_s, u"Installed"_s, u"Third"_s});
        Table().First();
        Table().Next();
        Table().Edit();
        Table().FieldByName(u"Installed"_s)->SetAsBoolean(true);
        Table().Post();
        Table().Last(); // the current cell is in the third row
        if (focused)
            Grid()->setFocus();
        else
            TForm1Controls(FApp->Form1).Edit1->setFocus();
        QApplication::processEvents();
        const QImage image = Grid()->viewport()->grab().toImage();
        const auto pixel = [&](int row, int column) {
            const QRect cell = Grid()->visualRect(Grid()->model()->index(row, column));
            return image.pixelColor(cell.right() - 2, cell.center().y());
        };
        const QColor info = QApplication::palette().color(QPalette::Active, QPalette::ToolTipBase);
        const QColor highlight = Grid()->palette().color(QPalette::Active, QPalette::Highlight);
        const int column = Grid()->currentIndex().column();
        QCOMPARE(Grid()->currentIndex().row(), 2);
        QCOMPARE(pixel(1, 0), info);
        QCOMPARE(pixel(1, column), info);
        const int other = column == 1 ? 2 : 1; // a visible column other than the current
        QCOMPARE(pixel(1, other), info);
        QVERIFY(pixel(0, 0) != info);
        // The focus frame may tint the current cell's edge by a shade.
        const auto near = [](const QColor& a, const QColor& b) {
            return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
                   std::abs(a.blue() - b.blue()) <= 3;
        };
        QVERIFY(near(pixel(2, column), highlight));
        QVERIFY(pixel(2, other) != highlight);
        QVERIFY(pixel(2, other) != info);
        // The installed row's current cell is in the highlight colours.
        Table().Prior();
        QApplication::processEvents();
        const QImage again = Grid()->viewport()->grab().toImage();
        const QRect cell = Grid()->visualRect(Grid()->model()->index(1, column));
        QVERIFY(near(again.pixelColor(cell.right() - 2, cell.center().y()), highlight));
    }

    void windowSizeComesBack_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::newRow("normal") << false;
        QTest::newRow("maximised") << true;
    }
    void windowSizeComesBack()
    {
        QFETCH(bool, maximized);
        TIniFile ini(FIni);
        // Within the test screen (800 by 800) with room for a frame.
        ini.WriteInteger(u"Form1"_s, u"ClientWidth"_s, 700);
        ini.WriteInteger(u"Form1"_s, u"ClientHeight"_s, 650);
        // Narrow enough to fit beside the details side on the small test screen.
        ini.WriteInteger(u"DBGrid"_s, u"Width"_s, 200);
        Start(maximized);
        const QRect normal = maximized ? FApp->Form1->normalGeometry() : FApp->Form1->geometry();
        QCOMPARE(normal.size(), QSize(700, 650));
        QCOMPARE(Grid()->width(), 200);
        Stop();
        QCOMPARE(TIniFile(FIni).ReadInteger(u"Form1"_s, u"ClientWidth"_s, 0), 700);
        QCOMPARE(TIniFile(FIni).ReadInteger(u"Form1"_s, u"ClientHeight"_s, 0), 650);
        QCOMPARE(TIniFile(FIni).ReadInteger(u"DBGrid"_s, u"Width"_s, 0), 200);
    }

    void storedGeometryIsKeptToTheScreen_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Written on a 3840 by 2160 monitor.
        QTest::newRow("larger screen")
            << QByteArray("[Form1]\nLeft=-1280\nTop=-725\nWidth=3840\nHeight=2160\n"
                          "ClientWidth=3830\nClientHeight=2130\n");
        QTest::newRow("huge width") << QByteArray("[Form1]\nWidth=100000\n");
        QTest::newRow("huge client size")
            << QByteArray("[Form1]\nClientWidth=100000\nClientHeight=100000\n");
        // The extremes a 32-bit value can hold; the sanitizer build checks that no
        // arithmetic on them overflows.
        QTest::newRow("least values")
            << QByteArray("[Form1]\nLeft=-2147483648\nTop=-2147483648\nWidth=-2147483648\n"
                          "Height=-2147483648\n[DBGrid]\nWidth=-2147483648\n");
        QTest::newRow("greatest values")
            << QByteArray("[Form1]\nLeft=2147483647\nWidth=2147483647\nHeight=2147483647\n"
                          "ClientWidth=2147483647\nClientHeight=2147483647\n"
                          "[DBGrid]\nWidth=2147483647\n");
        QTest::newRow("grid width 0x80000000") << QByteArray("[DBGrid]\nWidth=0x80000000\n");
        QTest::newRow("zero sizes")
            << QByteArray("[Form1]\nClientWidth=0\nClientHeight=0\n[DBGrid]\nWidth=0\n");
    }
    void storedGeometryIsKeptToTheScreen()
    {
        QFETCH(QByteArray, file);
        {
            QFile f(FIni);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        Start();
        const QRect screen = FApp->Form1->screen()->availableGeometry();
        QVERIFY2(screen.contains(FApp->Form1->frameGeometry()),
                 qPrintable(u"%1,%2 %3x%4"_s.arg(FApp->Form1->frameGeometry().x())
                                .arg(FApp->Form1->frameGeometry().y())
                                .arg(FApp->Form1->frameGeometry().width())
                                .arg(FApp->Form1->frameGeometry().height())));
        QVERIFY(FApp->Form1->width() > 0 && FApp->Form1->height() > 0);
        QVERIFY(Grid()->width() >= Grid()->minimumWidth());
        QVERIFY(Grid()->width() <= FApp->Form1->width());
    }

    void closingWritesTheFileOnceAndKeepsHandEdits()
    {
        Start();
        // Edited by hand while the program runs.
        {
            QFile f(FIni);
            QVERIFY(f.open(QIODevice::Append));
            f.write("\n[Mine]\nNote=kept\n");
        }
        // Every file that lands in the folder under the settings file's name.
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        const auto closeWatch = qScopeGuard([&] { ::close(watch); });
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(FDir->path()).constData(),
                                  IN_MOVED_TO | IN_CLOSE_WRITE) >= 0);
        Stop();
        int landed = 0, writtenInPlace = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len && QFile::decodeName(event->name) == u"tresmol.ini"_s) {
                    landed += (event->mask & IN_MOVED_TO) != 0;
                    writtenInPlace += (event->mask & IN_CLOSE_WRITE) != 0;
                }
                at += sizeof(inotify_event) + event->len;
            }
        QCOMPARE(landed, 1);
        QCOMPARE(writtenInPlace, 0);
        QCOMPARE(TIniFile(FIni).ReadString(u"Mine"_s, u"Note"_s, QString()), u"kept"_s);
        QVERIFY(TIniFile(FIni).ReadInteger(u"Form1"_s, u"ClientWidth"_s, 0) > 0);
        QCOMPARE(Keys(u"Columns"_s).size(), 51 + 23 + 24);
        QCOMPARE(QDir(FDir->path()).entryList({u"tresmol.ini*"_s}, QDir::Files | QDir::Hidden),
                 QStringList{u"tresmol.ini"_s});
    }

    void unwritableSettingsAreReportedOnceAndTheWindowCloses()
    {
        // The settings file's folder is a file: every write fails, even for root.
        QFile blocker(FDir->filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        FIni = FDir->filePath(u"blocker/tresmol.ini"_s);
        Start();
        FDialogs.ClearAsked();
        QVERIFY(FApp->Form1->close());
        QVERIFY(!FApp->Form1->isVisible());
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].Text, u"Unable to write to "_s + FIni + u'.');
        QCOMPARE(boxes[0].Icon, TMsgIcon::miStop);
        FApp.reset();
    }
};

QTEST_MAIN(TestColumns)
#include "tst_columns.moc"
