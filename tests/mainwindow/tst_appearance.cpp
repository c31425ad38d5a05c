// How the windows look at this platform's fonts and on small screens: the main window,
// the record editor, the file information window and the wizard keep every caption,
// box and button whole (each at least as large as its size hint, and inside the
// window), the main window fits a 1280 by 720 screen, and the commands' pictures come
// from the icon theme, one per command, plainly different when disabled.

#include "dbaware/dbcontrols.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "lists/editrecordform.h"
#include "mainwindow/columnform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/icons.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/scripteddialogs.h"
#include "tests/mainwindow/form1controls.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// The controls under ROOT that show less than they need: narrower or lower than
// their size hint, or reaching past the window's edge (the contents of a scrolled
// area may reach past it: the area scrolls to them). Values shown from a record are
// not controls: they take the room they are given, as a grid's cells do.
QStringList CutControls(const QWidget* root)
{
    QStringList cut;
    const QWidget* window = root->window();
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        const bool control =
            qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
            qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
            qobject_cast<const QAbstractSpinBox*>(w);
        if (!control || !w->isVisible() || w->window() != window || qobject_cast<const TDBText*>(w))
            continue;
        // Parts of composite widgets (a tab bar's scroll buttons, a spin box's edit).
        if (w->objectName().startsWith(u"qt_"_s))
            continue;
        const QSize hint = w->sizeHint();
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className())
                                 : w->objectName();
        if (hint.isValid() && (w->width() < hint.width() || w->height() < hint.height()))
            cut << u"%1 is %2x%3, needs %4x%5"_s.arg(name)
                       .arg(w->width())
                       .arg(w->height())
                       .arg(hint.width())
                       .arg(hint.height());
        // Nor may any widget it sits in cut it off, up to a scrolled area (which
        // scrolls to it) or the window.
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (qobject_cast<const QScrollArea*>(p) ||
                qobject_cast<const QScrollArea*>(p->parentWidget()))
                break;
            const QRect placed(w->mapTo(p, QPoint(0, 0)), w->size());
            if (!p->rect().contains(placed)) {
                cut << u"%1 is cut off by %2"_s.arg(name, p->objectName());
                break;
            }
            if (p == window)
                break;
        }
    }
    return cut;
}

// Lets the layouts settle after a resize or a page change.
void Settle(QWidget* window)
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    Q_UNUSED(window);
}

// How much a picture stands out from the background BACK it is drawn on: the mean
// difference in lightness (0 to 255) between each pixel, blended onto the background,
// and the background itself.
double Contrast(const QImage& image, const QColor& back)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const double backLight = qGray(back.rgb());
    double sum = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            const double a = qAlpha(p) / 255.0;
            sum += std::abs(a * qGray(p) + (1 - a) * backLight - backLight);
        }
    return sum / (argb.width() * argb.height());
}

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FOldCurrent;
    std::unique_ptr<TTresmolApp> FApp;

    TForm1Controls Ui() { return TForm1Controls(FApp->Form1); }

    // The demo catalogue, opened by its plain name from the working directory as the
    // program opens it, and the main window shown.
    void Start()
    {
        Catalogue::CreateDemo(FDir->filePath(u"Tresmol.mdb"_s));
        FApp = std::make_unique<TTresmolApp>(TADOConnection::DefaultConnectionString);
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(FApp->DataModule1->BookTable.Active());
    }

    // Checks every page of the main window's details at its present size.
    void CheckMainWindow()
    {
        auto* pages = Control<QTabWidget>(FApp->Form1, u"PageControl1"_s);
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            Settle(FApp->Form1);
            const QStringList cut = CutControls(FApp->Form1);
            QVERIFY2(cut.isEmpty(), qPrintable(pages->tabText(page) + u": "_s + cut.join(u"; "_s)));
        }
        pages->setCurrentIndex(0);
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FOldCurrent = QDir::currentPath();
        QDir::setCurrent(FDir->path());
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

    void mainWindowKeepsEveryControlWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1280x720 screen") << QSize(1280, 720);
        QTest::newRow("1366x768 laptop") << QSize(1366, 768);
        QTest::newRow("designed 927x678") << QSize(927, 678);
        QTest::newRow("1600x1000") << QSize(1600, 1000);
        QTest::newRow("narrow 640x720") << QSize(640, 720);
    }

    void mainWindowKeepsEveryControlWhole()
    {
        QFETCH(QSize, size);
        Start();
        FApp->Form1->resize(size);
        Settle(FApp->Form1);
        QCOMPARE(FApp->Form1->size(), size);
        QVERIFY(Ui().StatusText(0).startsWith(u"Подключены к Tresmol.mdb"_s));
        CheckMainWindow();
        // The bottom bar keeps all six buttons, whatever the width.
        const QWidget* bar = Control<QWidget>(FApp->Form1, u"Panel2"_s);
        for (const QString& name :
             {u"TypeDSpeedButton2"_s, u"ManufSpeedButton4"_s, u"TypePSpeedButton5"_s,
              u"PlatfSpeedButton6"_s, u"CategSpeedButton8"_s, u"CloseSpeedButton1"_s}) {
            const QWidget* b = Control<QToolButton>(FApp->Form1, name);
            QVERIFY2(b->isVisible() && bar->rect().contains(b->geometry()), qPrintable(name));
        }
        // The grid stays usable: several rows in view.
        QVERIFY(Ui().DBGrid1->viewport()->height() >= 100);
    }

    void mainWindowFitsASmallScreen()
    {
        Start();
        // A 1366 by 768 laptop, or a 1280 by 720 screen, leaves some 680 pixels for the
        // window's inside once its title bar and the desktop's panel have theirs.
        const QSize least = FApp->Form1->minimumSizeHint().expandedTo(FApp->Form1->minimumSize());
        QVERIFY2(least.height() <= 680, qPrintable(QString::number(least.height())));
        QVERIFY2(least.width() <= 1280, qPrintable(QString::number(least.width())));
        FApp->Form1->resize(1280, 680);
        Settle(FApp->Form1);
        QCOMPARE(FApp->Form1->size(), QSize(1280, 680));
        // The details side scrolls to what it cannot show.
        auto* details = Control<QScrollArea>(FApp->Form1, u"Panel4Scroll"_s);
        QVERIFY(details->widget() == Control<QWidget>(FApp->Form1, u"Panel4"_s));
        FApp->Form1->resize(1280, 400);
        Settle(FApp->Form1);
        QVERIFY(details->verticalScrollBar()->isVisible());
        CheckMainWindow();
    }

    void bottomBarWrapsWhenNarrow()
    {
        Start();
        const auto buttons = [this] {
            QList<QWidget*> list;
            for (const QString& name :
                 {u"TypeDSpeedButton2"_s, u"ManufSpeedButton4"_s, u"TypePSpeedButton5"_s,
                  u"PlatfSpeedButton6"_s, u"CategSpeedButton8"_s, u"CloseSpeedButton1"_s})
                list << Control<QToolButton>(FApp->Form1, name);
            return list;
        };
        FApp->Form1->resize(1280, 720);
        Settle(FApp->Form1);
        // Wide enough: one row, at the designed 170-pixel steps, or further where a
        // button needs more than 170 pixels for its text.
        for (int i = 1; i < 6; ++i) {
            QCOMPARE(buttons()[i]->y(), buttons()[0]->y());
            QCOMPARE(buttons()[i]->x() - buttons()[i - 1]->x(),
                     std::max(170, buttons()[i - 1]->width()));
        }
        QCOMPARE(buttons()[0]->width(), std::max(72, buttons()[0]->sizeHint().width()));
        // The bar is one row high: its buttons (31 pixels, or what they need) within
        // its frame.
        const auto* panel2 = Control<QFrame>(FApp->Form1, u"Panel2"_s);
        const int oneRow = panel2->height();
        QCOMPARE(oneRow, buttons()[0]->height() + 2 * panel2->frameWidth());
        QVERIFY(buttons()[0]->height() >= 31);
        FApp->Form1->resize(640, 720);
        Settle(FApp->Form1);
        QVERIFY(buttons()[5]->y() > buttons()[0]->y());
        QVERIFY(Control<QWidget>(FApp->Form1, u"Panel2"_s)->height() > oneRow);
        // Left to right, then on to the next row: the order stays.
        for (int i = 1; i < 6; ++i)
            QVERIFY(buttons()[i]->y() > buttons()[i - 1]->y() ||
                    buttons()[i]->x() > buttons()[i - 1]->x());
    }

    void recordEditorKeepsEveryControlWhole()
    {
        Start();
        QWidget* editor = FApp->EditRecordForm;
        QTimer::singleShot(0, editor, [&] {
            // Closed however the checks end, so that a failure cannot leave it waiting.
            const auto done = qScopeGuard([&] { editor->close(); });
            auto* pages = Control<QTabWidget>(editor, u"PageControl1"_s);
            for (int page = 0; page < pages->count(); ++page) {
                pages->setCurrentIndex(page);
                Settle(editor);
                const QStringList cut = CutControls(editor);
                QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u"; "_s)));
            }
        });
        Ui().ActRed->trigger();
        // At least the designed size, and not resizable.
        QVERIFY(editor->width() >= 653 && editor->height() >= 406);
        QCOMPARE(editor->minimumSize(), editor->maximumSize());
    }

    void fileInformationKeepsEveryControlWhole()
    {
        Start();
        QWidget* info = FApp->InfoForm;
        QTimer::singleShot(0, info, [&] {
            const auto done = qScopeGuard([&] { info->close(); });
            info->resize(650, 490);
            Settle(info);
            QVERIFY(info->width() >= 650 && info->height() >= 490);
            const QStringList cut = CutControls(info);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u"; "_s)));
        });
        Ui().ActFileInfo->trigger();
    }

    void wizardKeepsEveryControlWhole()
    {
        Start();
        QTemporaryDir folder;
        FDialogs.AnswerFolder(folder.path());
        QWidget* wizard = FApp->MasterForm;
        QTimer::singleShot(0, wizard, [&] {
            const auto done = qScopeGuard([&] { wizard->close(); });
            Settle(wizard);
            QVERIFY(wizard->height() >= 325);
            QStringList cut = CutControls(wizard);
            QVERIFY2(cut.isEmpty(), qPrintable(u"folders: "_s + cut.join(u"; "_s)));
            Control<QPushButton>(wizard, u"Button1"_s)->click(); // "Добавить"
            Control<QPushButton>(wizard, u"NextBtn"_s)->click(); // the (empty) search
            Settle(wizard);
            cut = CutControls(wizard);
            QVERIFY2(cut.isEmpty(), qPrintable(u"files: "_s + cut.join(u"; "_s)));
            Control<QPushButton>(wizard, u"CancelBtn"_s)->click();
        });
        Ui().ActScan->trigger();
    }

    void columnChooserKeepsEveryCaptionWhole_data()
    {
        QTest::addColumn<int>("points"); // the desktop's font size; 0 as it is
        QTest::newRow("default font") << 0;
        QTest::newRow("10 points") << 10;
        QTest::newRow("12 points") << 12;
    }

    void columnChooserKeepsEveryCaptionWhole()
    {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
        if (points > 0) {
            QFont f = before;
            f.setPointSize(points);
            QApplication::setFont(f);
        }
        TColumnForm chooser;
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        Settle(&chooser);
        // At least the designed size.
        QVERIFY(chooser.width() >= 383 && chooser.height() >= 193);
        auto* list = Control<QListWidget>(&chooser, u"CheckListBox1"_s);
        QCOMPARE(list->count(), TColumnForm::ItemCount);
        for (int i = 0; i < list->count(); ++i) {
            const QModelIndex index = list->model()->index(i, 0);
            const QRect cell = list->visualRect(index);
            const QSize needs = list->sizeHintForIndex(index);
            QVERIFY2(cell.width() >= needs.width() && cell.height() >= needs.height(),
                     qPrintable(u"%1: %2x%3, needs %4x%5"_s.arg(list->item(i)->text())
                                    .arg(cell.width())
                                    .arg(cell.height())
                                    .arg(needs.width())
                                    .arg(needs.height())));
            QVERIFY2(list->viewport()->rect().contains(cell), qPrintable(list->item(i)->text()));
        }
        // The buttons stay inside the window.
        for (const QString& name : {u"SpeedButton1"_s, u"SpeedButton2"_s}) {
            const QWidget* b = Control<QToolButton>(&chooser, name);
            QVERIFY(chooser.rect().contains(QRect(b->mapTo(&chooser, QPoint()), b->size())));
        }
    }

    void everyCommandHasAPictureOfItsOwn()
    {
        Start();
        QSet<QString> names;
        const QList<QAction*> actions = Ui().ToolBar1->actions();
        int buttons = 0;
        for (QAction* a : actions) {
            if (a->isSeparator())
                continue;
            ++buttons;
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
            QVERIFY2(!a->icon().name().isEmpty(), qPrintable(a->objectName()));
            names.insert(a->icon().name());
        }
        QCOMPARE(buttons, 15);
        QCOMPARE(names.size(), 15); // no two commands share a picture
        // The bottom bar's six buttons have pictures too, each its own and none of the
        // toolbar's but "Выход"'s, which no toolbar button offers.
        for (const QString& name :
             {u"TypeDSpeedButton2"_s, u"ManufSpeedButton4"_s, u"TypePSpeedButton5"_s,
              u"PlatfSpeedButton6"_s, u"CategSpeedButton8"_s, u"CloseSpeedButton1"_s}) {
            const QIcon icon = Control<QToolButton>(FApp->Form1, name)->icon();
            QVERIFY2(!icon.isNull() && !icon.name().isEmpty(), qPrintable(name));
            QVERIFY2(!names.contains(icon.name()), qPrintable(name));
            names.insert(icon.name());
        }
        QCOMPARE(names.size(), 21);
        // And the picture page's three commands.
        for (QAction* a : {Ui().ActViewImg, Ui().ActAddImg, Ui().ActDelImg}) {
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
            QVERIFY2(!names.contains(a->icon().name()), qPrintable(a->objectName()));
            names.insert(a->icon().name());
        }
        QCOMPARE(names.size(), 24);
    }

    void enabledAndDisabledPicturesDifferPlainly()
    {
        Start();
        FApp->Form1->UpdateActions();
        const QColor back = Ui().ToolBar1->palette().color(QPalette::Button);
        for (QAction* a : Ui().ToolBar1->actions()) {
            if (a->isSeparator())
                continue;
            const QIcon icon = a->icon();
            const double on = Contrast(icon.pixmap(QSize(24, 24), QIcon::Normal).toImage(), back);
            const double off =
                Contrast(icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage(), back);
            const QString what = u"%1: enabled %2, disabled %3"_s.arg(a->objectName())
                                     .arg(on, 0, 'f', 1)
                                     .arg(off, 0, 'f', 1);
            qDebug("%s", qPrintable(what));
            // An enabled picture stands out from its button; the disabled one fades to
            // a third of that or less.
            QVERIFY2(on >= 8, qPrintable(what));
            QVERIFY2(off <= on / 3, qPrintable(what));
        }
        // "Добавить", "Удалить", "Сканировать" and "Редактировать" are enabled on a
        // connected catalogue, and show it.
        for (QAction* a : {Ui().ActAdd, Ui().ActDel, Ui().ActScan, Ui().ActRed})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QCOMPARE(Icons::FallbackTheme(), u"Adwaita"_s);
    }
};

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
