// The gradient panel on grabbed pixels: the bands of the gradient, the split, the
// bevel inset, the cases that leave the plain panel showing, and the properties.

#include "extras/gpanel.h"

#include <QLineEdit>
#include <QTest>

Q_DECLARE_METATYPE(TPanelBevel)

namespace {

// A panel without bevels, so that its inner area is the whole panel.
std::unique_ptr<TGPanel> BarePanel(int w, int h)
{
    auto panel = std::make_unique<TGPanel>();
    panel->SetBevelOuter(TPanelBevel::bvNone);
    panel->resize(w, h);
    return panel;
}

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

} // namespace

class TestGPanel : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        TGPanel panel;
        QCOMPARE(panel.Active(), true);
        QCOMPARE(panel.Color_1(), clBtnFace);
        QCOMPARE(panel.Color_1(), TColor(0xFF00000F));
        QCOMPARE(panel.Color_2(), RGBColor(255, 255, 255));
        QCOMPARE(panel.Color_3(), RGBColor(0, 255, 255));
        QCOMPARE(panel.Horizontal(), true);
        QCOMPARE(panel.Percent(), 100);
        QVERIFY(panel.styleSheet().isEmpty());
    }

    void percentIsClamped_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("negative") << -5 << 1;
        QTest::newRow("zero") << 0 << 1;
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("sixty") << 60 << 60;
        QTest::newRow("ninety-nine") << 99 << 99;
        QTest::newRow("hundred") << 100 << 100;
        QTest::newRow("hundred and fifty") << 150 << 100;
    }
    void percentIsClamped()
    {
        QFETCH(int, value);
        QFETCH(int, stored);
        TGPanel panel;
        panel.SetPercent(value);
        QCOMPARE(panel.Percent(), stored);
    }

    // 372 pixels from grey 192 to white: 63 levels, bands of 6 pixels, 62 of them.
    void silverToWhiteOver372Pixels()
    {
        auto panel = BarePanel(372, 8);
        panel->SetColor_1(RGBColor(192, 192, 192));
        const QImage image = Grab(*panel);
        for (int x = 0; x < 372; ++x) {
            const int band = x / 6;
            QCOMPARE(image.pixel(x, 4), Rgb(192 + band, 192 + band, 192 + band));
        }
        const auto bands = TGPanel::GradientBands(372, QColor(192, 192, 192), Qt::white);
        QCOMPARE(int(bands.size()), 63);
        for (int i = 0; i < 62; ++i) {
            QCOMPARE(bands[i].Offset, 6 * i);
            QCOMPARE(bands[i].Thickness, 6);
        }
        QCOMPARE(bands[62].Thickness, 0);
        QCOMPARE(bands[61].Color, QColor(253, 253, 253));
    }

    // Black to red over 100 pixels: one pixel per band, red stepping by 2.55 and
    // truncated.
    void blackToRedOver100Pixels()
    {
        auto panel = BarePanel(100, 4);
        panel->SetColor_1(clBlack);
        panel->SetColor_2(clRed);
        const QImage image = Grab(*panel);
        QCOMPARE(qRed(image.pixel(0, 1)), 0);
        QCOMPARE(qRed(image.pixel(1, 1)), 2);
        QCOMPARE(qRed(image.pixel(2, 1)), 5);
        QCOMPARE(qRed(image.pixel(98, 1)), 249);
        QCOMPARE(qRed(image.pixel(99, 1)), 252);
        for (int x = 0; x < 100; ++x)
            QCOMPARE(image.pixel(x, 1), Rgb(25500 / 100 * x / 100, 0, 0));
    }

    // The first 120 of 200 pixels run to Color_2, the other 80 on to Color_3; with one
    // level per pixel each channel counts the pixels.
    void percentSixtySplitsTheLength_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("left to right") << true;
        QTest::newRow("top to bottom") << false;
    }
    void percentSixtySplitsTheLength()
    {
        QFETCH(bool, horizontal);
        auto panel = horizontal ? BarePanel(200, 6) : BarePanel(6, 200);
        panel->SetHorizontal(horizontal);
        panel->SetColor_1(RGBColor(0, 0, 0));
        panel->SetColor_2(RGBColor(120, 0, 0));
        panel->SetColor_3(RGBColor(120, 80, 0));
        panel->SetPercent(60);
        const QImage image = Grab(*panel);
        for (int t = 0; t < 200; ++t) {
            const QRgb expected = t < 120 ? Rgb(t, 0, 0) : Rgb(120, t - 120, 0);
            for (int across : {0, 5})
                QCOMPARE(horizontal ? image.pixel(t, across) : image.pixel(across, t), expected);
        }
    }

    void color3PlaysNoPartAtPercent100()
    {
        auto a = BarePanel(150, 10);
        auto b = BarePanel(150, 10);
        for (TGPanel* p : {a.get(), b.get()}) {
            p->SetColor_1(clBlack);
            p->SetColor_2(clBlue);
        }
        a->SetColor_3(clRed);
        b->SetColor_3(clYellow);
        QCOMPARE(Grab(*a), Grab(*b));
    }

    // Inside the lowered and raised bevels only; the gradient's first band starts at
    // the inset, and what lies outside is the plain panel's painting.
    void gradientStartsInsideTheBevels_data()
    {
        QTest::addColumn<TPanelBevel>("outer");
        QTest::addColumn<TPanelBevel>("inner");
        QTest::addColumn<int>("bevelWidth");
        QTest::addColumn<int>("inset");
        QTest::newRow("none") << TPanelBevel::bvNone << TPanelBevel::bvNone << 1 << 0;
        QTest::newRow("lowered outer") << TPanelBevel::bvLowered << TPanelBevel::bvNone << 1 << 1;
        QTest::newRow("both") << TPanelBevel::bvLowered << TPanelBevel::bvRaised << 1 << 2;
        QTest::newRow("wide") << TPanelBevel::bvRaised << TPanelBevel::bvNone << 3 << 3;
        QTest::newRow("space adds nothing")
            << TPanelBevel::bvSpace << TPanelBevel::bvLowered << 2 << 2;
    }
    void gradientStartsInsideTheBevels()
    {
        QFETCH(TPanelBevel, outer);
        QFETCH(TPanelBevel, inner);
        QFETCH(int, bevelWidth);
        QFETCH(int, inset);
        TGPanel panel;
        panel.resize(120, 30);
        panel.SetBevelOuter(outer);
        panel.SetBevelInner(inner);
        panel.SetBevelWidth(bevelWidth);
        panel.SetColor(RGBColor(0, 128, 0));
        panel.SetColor_1(clBlack);
        panel.SetColor_2(clRed);
        const QImage gradient = Grab(panel);
        panel.SetActive(false);
        const QImage plain = Grab(panel);
        QCOMPARE(gradient.pixel(inset, 15), Rgb(0, 0, 0));
        QCOMPARE(gradient.pixel(inset, inset), Rgb(0, 0, 0));
        QVERIFY(gradient.pixel(119 - inset, 15) != plain.pixel(119 - inset, 15));
        for (int x = 0; x < inset; ++x) {
            QCOMPARE(gradient.pixel(x, 15), plain.pixel(x, 15));
            QCOMPARE(gradient.pixel(119 - x, 15), plain.pixel(119 - x, 15));
            QCOMPARE(gradient.pixel(60, x), plain.pixel(60, x));
            QCOMPARE(gradient.pixel(60, 29 - x), plain.pixel(60, 29 - x));
        }
    }

    // Off, the panel is the plain panel, caption included.
    void inactiveLooksLikeThePlainPanel()
    {
        TGPanel panel;
        TPanelBase plain;
        for (TPanelBase* p : {static_cast<TPanelBase*>(&panel), &plain}) {
            p->resize(160, 40);
            p->SetBevelOuter(TPanelBevel::bvLowered);
            p->SetCaption(QStringLiteral("GPanel1"));
        }
        panel.SetColor_1(clSilver);
        const QImage on = Grab(panel);
        panel.SetActive(false);
        const QImage off = Grab(panel);
        QCOMPARE(off, Grab(plain));
        QVERIFY(on != off);
        // The caption shows on the plain panel and is covered by the gradient.
        const QColor face = ColorToRGB(clBtnFace, panel.palette());
        int captionPixels = 0;
        for (int x = 40; x < 120; ++x)
            for (int y = 10; y < 30; ++y)
                captionPixels += off.pixel(x, y) != face.rgb();
        QVERIFY(captionPixels > 20);
    }

    // Equal colours, as values or once resolved, paint no gradient: the panel's own
    // colour shows over the whole inner area.
    void equalColoursPaintNothing_data()
    {
        QTest::addColumn<bool>("sameValue");
        QTest::newRow("same value") << true;
        QTest::newRow("same RGB") << false;
    }
    void equalColoursPaintNothing()
    {
        QFETCH(bool, sameValue);
        auto panel = BarePanel(80, 12);
        panel->SetColor(RGBColor(0, 128, 0));
        panel->SetColor_1(clBtnFace);
        const QColor face = ColorToRGB(clBtnFace, panel->palette());
        panel->SetColor_2(sameValue ? clBtnFace : RGBColor(face.red(), face.green(), face.blue()));
        const QImage image = Grab(*panel);
        for (int x = 0; x < 80; x += 7)
            QCOMPARE(image.pixel(x, 6), Rgb(0, 128, 0));
    }

    // System colours are looked up in the palette when painting.
    void systemColoursFollowThePalette()
    {
        auto panel = BarePanel(50, 6);
        QPalette p = panel->palette();
        p.setColor(QPalette::Button, QColor(10, 20, 30));
        panel->setPalette(p);
        panel->SetColor_2(clBlack);
        QCOMPARE(Grab(*panel).pixel(0, 3), Rgb(10, 20, 30));
    }

    // However long the area, at most m + 1 bands, m the largest channel difference, and
    // they cover the length exactly.
    void bandsAreBounded_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QColor>("from");
        QTest::addColumn<QColor>("to");
        const int lengths[] = {1, 2, 40, 63, 64, 254, 255, 256, 372, 1000, 4000};
        for (int length : lengths) {
            QTest::addRow("%d black-white", length)
                << length << QColor(Qt::black) << QColor(Qt::white);
            QTest::addRow("%d grey-white", length)
                << length << QColor(192, 192, 192) << QColor(Qt::white);
            QTest::addRow("%d falling", length)
                << length << QColor(200, 10, 90) << QColor(13, 12, 80);
        }
    }
    void bandsAreBounded()
    {
        QFETCH(int, length);
        QFETCH(QColor, from);
        QFETCH(QColor, to);
        const int m =
            std::max({std::abs(to.red() - from.red()), std::abs(to.green() - from.green()),
                      std::abs(to.blue() - from.blue())});
        const auto bands = TGPanel::GradientBands(length, from, to);
        QVERIFY(int(bands.size()) <= m + 1);
        int covered = 0;
        for (const TGradientBand& band : bands) {
            QCOMPARE(band.Offset, covered);
            covered += band.Thickness;
            for (auto [c, a, z] : {std::tuple{band.Color.red(), from.red(), to.red()},
                                   std::tuple{band.Color.green(), from.green(), to.green()},
                                   std::tuple{band.Color.blue(), from.blue(), to.blue()}})
                QVERIFY(c >= std::min(a, z) && c <= std::max(a, z));
        }
        QCOMPARE(covered, length);
        // A full 255 step over fewer pixels than levels: one pixel per band.
        if (m == 255 && length < 255)
            for (std::size_t i = 0; i + 1 < bands.size(); ++i)
                QCOMPARE(bands[i].Thickness, 1);
    }

    // A panel no larger than its bevels shows only the plain panel.
    void panelSmallerThanItsBevels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("2x2") << QSize(2, 2);
        QTest::newRow("1x30") << QSize(1, 30);
        QTest::newRow("30x2") << QSize(30, 2);
    }
    void panelSmallerThanItsBevels()
    {
        QFETCH(QSize, size);
        for (bool horizontal : {true, false}) {
            TGPanel panel;
            panel.resize(size);
            panel.SetBevelOuter(TPanelBevel::bvLowered);
            panel.SetColor_1(clBlack);
            panel.SetColor_2(clRed);
            panel.SetHorizontal(horizontal);
            panel.SetPercent(50);
            const QImage on = Grab(panel);
            panel.SetActive(false);
            QCOMPARE(on, Grab(panel));
        }
    }

    // The panel paints itself: the controls on it keep the font they inherit.
    void controlsKeepTheirFont()
    {
        QWidget window;
        QFont small = window.font();
        small.setPointSize(8);
        window.setFont(small);
        auto* panel = new TGPanel(&window);
        auto* edit = new QLineEdit(panel);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(edit->font(), small);
        QCOMPARE(edit->fontInfo().pointSize(), 8);
    }
};

QTEST_MAIN(TestGPanel)
#include "tst_gpanel.moc"
