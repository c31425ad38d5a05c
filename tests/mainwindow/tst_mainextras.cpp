// The main window's extras on grabbed pixels: the filter bar's gradient behind the
// search box, the logo, and the home-page link.

#include "extras/apitext.h"
#include "extras/gpanel.h"
#include "extras/weblink.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "platform/dialogs.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }
};

} // namespace

class TestMainExtras : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    QTemporaryDir FDir;
    std::unique_ptr<TTresmolApp> FApp;
    TUrlRecorder FRecorder;

    QWidget* Form1() { return FApp->Form1; }

private slots:
    void initTestCase()
    {
        SetDialogs(&FDialogs);
        QDesktopServices::setUrlHandler(u"file"_s, &FRecorder, "Open");
        const QString path = FDir.filePath(u"Tresmol.mdb"_s);
        Catalogue::CreateDemo(path);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(path));
        FApp->Form1->SetSettingsFileName(FDir.filePath(u"tresmol.ini"_s));
        FApp->Form1->resize(1000, 700);
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
    }
    void cleanupTestCase()
    {
        FApp->Form1->close();
        FApp.reset();
        QDesktopServices::unsetUrlHandler(u"file"_s);
        SetDialogs(nullptr);
    }

    // Silver to white inside the lowered bevel, behind the transparent caption.
    // Each secondary window opens where it belongs from the first opening on: the
    // wizard, the list editors, the file information window and the record editor
    // centred on the main window, the About window on the screen; and the second
    // opening finds it in the same place.
    void windowsOpenInPlaceTheFirstTime_data()
    {
        QTest::addColumn<QString>("item"); // the menu item or action that opens it
        QTest::addColumn<bool>("onScreen");
        QTest::newRow("wizard") << u"ActScan"_s << false;
        QTest::newRow("About") << u"N11"_s << true;
        QTest::newRow("disc types") << u"N13"_s << false;
        QTest::newRow("disc makers") << u"ManufN12"_s << false;
        QTest::newRow("file information") << u"ActFileInfo"_s << false;
        QTest::newRow("record editor") << u"ActRed"_s << false;
    }
    void windowsOpenInPlaceTheFirstTime()
    {
        QFETCH(QString, item);
        QFETCH(bool, onScreen);
        // The main window off the screen's centre, so that the two kinds differ.
        FApp->Form1->move(20, 10);
        QCoreApplication::processEvents();
        QList<QRect> opened;
        for (int time = 0; time < 2; ++time) {
            QTimer::singleShot(0, this, [&] {
                QWidget* w = QApplication::activeModalWidget();
                if (!w)
                    return;
                // Under a window manager the frame is known once the window manager
                // has framed and placed it: it has a frame, and the frame has stayed
                // the same for a while.
                if (QTest::qWaitForWindowExposed(w) &&
                    QGuiApplication::platformName() != u"offscreen"_s) {
                    QRect last;
                    for (int still = 0, polls = 0; still < 4 && polls < 50; ++polls) {
                        QTest::qWait(100);
                        const QRect now = w->frameGeometry();
                        const bool framed = now != w->geometry() && now.contains(w->geometry());
                        still = framed && now == last ? still + 1 : 0;
                        last = now;
                    }
                }
                opened << w->frameGeometry();
                w->close();
            });
            // The wizard asks for nothing before it shows; the record editor needs a
            // record, made on the way.
            Control<QAction>(Form1(), item)->trigger();
            if (FApp->DataModule1->BookTable.State() != TDataSetState::dsBrowse)
                FApp->DataModule1->BookTable.Cancel();
        }
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[1], opened[0]);
        const QRect screen = Form1()->screen()->availableGeometry();
        const QPoint centre = onScreen ? screen.center() : FApp->Form1->frameGeometry().center();
        const QPoint offset = opened[0].center() - centre;
        QVERIFY2(offset.manhattanLength() <= 2 || !screen.contains(opened[0].translated(offset)),
                 qPrintable(u"%1, %2 off"_s.arg(offset.x()).arg(offset.y())));
        QVERIFY2(screen.contains(opened[0]), qPrintable(u"%1,%2 %3x%4"_s.arg(opened[0].x())
                                                            .arg(opened[0].y())
                                                            .arg(opened[0].width())
                                                            .arg(opened[0].height())));
    }

    void filterBarGradient()
    {
        auto* bar = Control<TGPanel>(Form1(), u"GPanel1"_s);
        QCOMPARE(bar->height(), 40);
        QCOMPARE(bar->BevelOuter(), TPanelBevel::bvLowered);
        QCOMPARE(bar->Color_1(), clSilver);
        QCOMPARE(bar->Color_2(), clWhite);
        QCOMPARE(bar->Percent(), 100);
        QVERIFY(bar->Active() && bar->Horizontal());
        QVERIFY(bar->styleSheet().isEmpty());
        const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int inner = bar->width() - 2;
        const auto bands = TGPanel::GradientBands(inner, QColor(192, 192, 192), Qt::white);
        QCOMPARE(image.pixel(1, 1), qRgb(192, 192, 192));
        // Along the top inner row, over the caption's empty upper edge.
        for (const TGradientBand& band : bands)
            for (int t = 0; t < band.Thickness; ++t)
                QCOMPARE(image.pixel(1 + band.Offset + t, 1), band.Color.rgb());
    }

    // The search box and its caption keep the window's font and stay usable.
    void searchBoxOnTheBar()
    {
        auto* edit = Control<QLineEdit>(Form1(), u"Edit1"_s);
        auto* caption = Control<QLabel>(Form1(), u"Label16"_s);
        QCOMPARE(edit->font(), Form1()->font());
        QCOMPARE(caption->font().pointSize(), Form1()->font().pointSize());
        QVERIFY(caption->font().bold());
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(!caption->autoFillBackground());
        QVERIFY(edit->isVisible() && caption->isVisible());
        QVERIFY(edit->height() >= edit->sizeHint().height());
    }

    void logo()
    {
        auto* logo = Control<TAPIText>(Form1(), u"APIText1"_s);
        QCOMPARE(logo->size(), QSize(137, 25));
        QCOMPARE(logo->Text(), u"Tresmol v 1.2"_s);
        QCOMPARE(logo->FontWeight(), TFontWeight::Heavy);
        QVERIFY(logo->Transp());
        QCOMPARE(logo->FontColor(), clRed);
        QCOMPARE(logo->ShadowColor(), clBlack);
        const QImage image = logo->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int red = 0, black = 0, sky = 0;
        const QRgb skyBlue = ColorToRGB(clSkyBlue, logo->palette()).rgb();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                red += image.pixel(x, y) == qRgb(255, 0, 0);
                black += image.pixel(x, y) == qRgb(0, 0, 0);
                sky += image.pixel(x, y) == skyBlue;
            }
        QVERIFY(red > 30);
        QVERIFY(black > 10);
        QCOMPARE(sky, 0);
    }

    void homePageLink()
    {
        QCOMPARE(Control<QLabel>(Form1(), u"Label2"_s)->text(), u"Home page"_s);
        auto* link = Control<TWebLink>(Form1(), u"Label7"_s);
        QCOMPARE(link->Address(), HomePageUrl());
        QVERIFY(link->font().bold());
        QCOMPARE(link->LinkColor(), QColor(Qt::blue));
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), link->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(link, &move);
        QCOMPARE(link->LinkColor(), QColor(Qt::red));
        FRecorder.Opened.clear();
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
        QCOMPARE(FRecorder.Opened, QList<QUrl>{HomePageUrl()});
        QCOMPARE(link->LinkColor(), QColor(Qt::red));
    }
};

QTEST_MAIN(TestMainExtras)
#include "tst_mainextras.moc"
