// The About window: its layout, picture and logo, the keys that must not close it, its
// focus, the "OK" button and the close box, and the home-page link's colour and click.

#include "extras/aboutform.h"
#include "extras/aboutpicture.h"
#include "extras/apitext.h"
#include "extras/gpanel.h"
#include "extras/weblink.h"
#include "platform/shell.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QListWidget>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Records the addresses the desktop is asked to open instead of starting a browser.
class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }
};

void MoveOver(QWidget* w, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

int RedPixels(QWidget* w)
{
    const QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 60 &&
                 qBlue(image.pixel(x, y)) < 60;
    return n;
}

} // namespace

class TestAboutForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TAboutForm> FForm;
    TUrlRecorder FRecorder;

    void ShowForm()
    {
        FForm->show();
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(u"file"_s, &FRecorder, "Open");
        FForm = std::make_unique<TAboutForm>();
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(u"file"_s);
        FForm.reset();
    }
    void cleanup() { FForm->hide(); }

    void window()
    {
        QCOMPARE(FForm->objectName(), u"AboutForm"_s);
        QCOMPARE(FForm->windowTitle(), u"О программе"_s);
        QCOMPARE(FForm->size(), QSize(341, 170));
        QCOMPARE(FForm->minimumSize(), FForm->maximumSize());
        QVERIFY(FForm->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(FForm->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(!FForm->windowIcon().isNull());
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Panel1") << u"Panel1"_s << QRect(0, 0, 341, 145);
        QTest::newRow("Image1") << u"Image1"_s << QRect(4, 4, 157, 138);
        QTest::newRow("APIText1") << u"APIText1"_s << QRect(192, 8, 141, 25);
        QTest::newRow("SpeedButton1") << u"SpeedButton1"_s << QRect(0, 146, 98, 23);
        QTest::newRow("ListBox1") << u"ListBox1"_s << QRect(112, 150, 225, 17);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QCOMPARE(Control<QWidget>(FForm.get(), name)->geometry(), geometry);
    }

    // Texts start at their places; none runs past the window's right edge.
    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("Label3") << u"Label3"_s << QPoint(164, 48);
        QTest::newRow("Label4") << u"Label4"_s << QPoint(200, 64);
        QTest::newRow("Label5") << u"Label5"_s << QPoint(168, 80);
        QTest::newRow("Label6") << u"Label6"_s << QPoint(216, 96);
        QTest::newRow("Label11") << u"Label11"_s << QPoint(163, 112);
        QTest::newRow("Label9") << u"Label9"_s << QPoint(221, 112);
        QTest::newRow("Label7") << u"Label7"_s << QPoint(199, 125);
    }
    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, topLeft);
        auto* label = Control<QLabel>(FForm.get(), name);
        QCOMPARE(label->pos(), topLeft);
        QVERIFY(!label->text().trimmed().isEmpty());
        // A trailing blank is spacing only and may run under the next label.
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text().trimmed()) <= label->width(),
                 qPrintable(label->text()));
        QVERIFY(label->geometry().right() < 341);
    }

    void fixedTexts()
    {
        QCOMPARE(Control<QLabel>(FForm.get(), u"Label11"_s)->text(), u"Home page "_s);
        QCOMPARE(Control<QLabel>(FForm.get(), u"Label7"_s)->text(), u"Special thanks to"_s);
        QCOMPARE(Control<QToolButton>(FForm.get(), u"SpeedButton1"_s)->text(), u"OK"_s);
        auto* list = Control<QListWidget>(FForm.get(), u"ListBox1"_s);
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    // 200 x 159 in 24-bit colour, stretched to its frame, with the name in red.
    void picture()
    {
        auto* image = Control<QLabel>(FForm.get(), u"Image1"_s);
        const QPixmap picture = image->pixmap();
        QCOMPARE(picture.size(), QSize(200, 159));
        QVERIFY(image->hasScaledContents());
        QCOMPARE(PaintAboutPicture().format(), QImage::Format_RGB888);
        QCOMPARE(PaintAboutPicture(), PaintAboutPicture());
        QVERIFY(RedPixels(image) > 500);
    }

    void logo()
    {
        auto* logo = Control<TAPIText>(FForm.get(), u"APIText1"_s);
        QCOMPARE(logo->Text(), u"Tresmol v 1.2"_s);
        QCOMPARE(logo->FontName(), u"Arial"_s);
        QCOMPARE(logo->FontHeight(), 24);
        QCOMPARE(logo->FontWeight(), TFontWeight::Medium);
        QVERIFY(logo->Italic() && logo->Underline() && !logo->StrikeOut());
        QCOMPARE(logo->Transp(), false);
        QCOMPARE(logo->Color(), clBlue);
        QCOMPARE(logo->FontColor(), clYellow);
        QCOMPARE(logo->ShadowColor(), clBtnText);
        QCOMPARE(logo->ShadowX(), 2);
        QCOMPARE(logo->ShadowY(), 2);
        // The whole line and its shadow fit: nothing of the logo is cut.
        const QFontMetrics m(logo->BuildFont());
        QVERIFY(m.boundingRect(logo->Text()).right() + logo->ShadowX() < logo->width());
        QVERIFY(m.ascent() + m.descent() + logo->ShadowY() <= logo->height() + 1);
        // Yellow text on a blue box.
        const QImage image = logo->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int yellow = 0, blue = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                yellow += image.pixel(x, y) == qRgb(255, 255, 0);
                blue += image.pixel(x, y) == qRgb(0, 0, 255);
            }
        QVERIFY(yellow > 30);
        QVERIFY(blue > 100);
    }

    // The list is the only control that takes the focus, and keeps it.
    void tabOrder()
    {
        ShowForm();
        auto* list = Control<QListWidget>(FForm.get(), u"ListBox1"_s);
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(Control<QToolButton>(FForm.get(), u"SpeedButton1"_s)->focusPolicy(), Qt::NoFocus);
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), list);
    }

    void keysDoNotClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void keysDoNotClose()
    {
        QFETCH(int, key);
        ShowForm();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(FForm->isVisible());
        QTest::keyClick(FForm.get(), Qt::Key(key));
        QVERIFY(FForm->isVisible());
    }

    // "OK" and the close box end the modal call the same way.
    void okAndCloseBoxAgree()
    {
        ShowForm();
        QTest::mouseClick(Control<QToolButton>(FForm.get(), u"SpeedButton1"_s), Qt::LeftButton);
        QVERIFY(!FForm->isVisible());
        const int byOk = FForm->result();
        FForm->setResult(-1);
        ShowForm();
        QVERIFY(FForm->close());
        QVERIFY(!FForm->isVisible());
        QCOMPARE(FForm->result(), byOk);
    }

    // Blue until the pointer first moves over it, then red for good, across showings.
    void linkTurnsRedAndStays()
    {
        ShowForm();
        auto* link = Control<TWebLink>(FForm.get(), u"Label9"_s);
        QCOMPARE(link->LinkColor(), QColor(Qt::blue));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(RedPixels(link), 0);
        MoveOver(link, QPoint(5, 5));
        QCOMPARE(link->LinkColor(), QColor(Qt::red));
        MoveOver(FForm.get(), QPoint(5, 160));
        QCOMPARE(link->LinkColor(), QColor(Qt::red));
        FForm->close();
        ShowForm();
        QCOMPARE(link->LinkColor(), QColor(Qt::red));
        QVERIFY(RedPixels(link) > 10);
    }

    // A click opens the home page, an existing file, and leaves the window open.
    void linkOpensTheHomePage()
    {
        ShowForm();
        auto* link = Control<TWebLink>(FForm.get(), u"Label9"_s);
        FRecorder.Opened.clear();
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(FRecorder.Opened, QList<QUrl>{HomePageUrl()});
        QVERIFY(FForm->isVisible());
        QVERIFY(HomePageUrl().isLocalFile());
        QVERIFY(QFileInfo(HomePageUrl().toLocalFile()).isFile());
        QVERIFY(link->text().startsWith(u' '));
        QCOMPARE(link->toolTip(), HomePageUrl().toString());
    }

    // Where nothing can open the address, a box gives it to be copied.
    void linkThatCannotBeOpenedGivesTheAddress()
    {
        TScriptedDialogs dialogs;
        SetDialogs(&dialogs);
        Shell::SetOpener([](const QUrl&) { return false; });
        const auto restore = qScopeGuard([] {
            Shell::SetOpener({});
            SetDialogs(nullptr);
        });
        ShowForm();
        auto* link = Control<TWebLink>(FForm.get(), u"Label9"_s);
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(dialogs.Messages().size(), 1);
        QCOMPARE(dialogs.Messages()[0].Icon, TMsgIcon::miInformation);
        QVERIFY2(dialogs.Messages()[0].Text.contains(
                     HomePageUrl().toDisplayString(QUrl::PreferLocalFile)),
                 qPrintable(dialogs.Messages()[0].Text));
        QVERIFY(FForm->isVisible());
    }
};

QTEST_MAIN(TestAboutForm)
#include "tst_aboutform.moc"
