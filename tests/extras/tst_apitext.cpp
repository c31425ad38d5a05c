// The logo control on grabbed pixels: the shadow's offset and colour, the text drawn
// over it, the box behind the shadow when not transparent, and the font it builds.

#include "extras/apitext.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

Q_DECLARE_METATYPE(TFontWeight)

namespace {

// A white surface with the control on it, covering it.
struct TStage {
    QWidget Parent;
    TAPIText* Text;

    explicit TStage(QSize size = QSize(220, 60))
    {
        Parent.resize(size);
        Parent.setAutoFillBackground(true);
        QPalette p = Parent.palette();
        p.setColor(QPalette::Window, Qt::white);
        Parent.setPalette(p);
        Text = new TAPIText(&Parent);
        Text->resize(size);
        Text->SetText(QStringLiteral("Tresmol v 1.2"));
        Text->SetFontColor(clRed);
        Text->SetShadowColor(clBlack);
        Text->SetTransp(true);
    }
    QImage Grab() { return Parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

QList<QPoint> PixelsOf(const QImage& image, QRgb colour)
{
    QList<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                found << QPoint(x, y);
    return found;
}

const QRgb White = qRgb(255, 255, 255);
const QRgb Red = qRgb(255, 0, 0);
const QRgb Black = qRgb(0, 0, 0);
const QRgb Blue = qRgb(0, 0, 255);

} // namespace

class TestAPIText : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        TAPIText t;
        QCOMPARE(t.size(), QSize(87, 24));
        QCOMPARE(t.Text(), QStringLiteral("API Text"));
        QCOMPARE(t.FontName(), QStringLiteral("Arial"));
        QCOMPARE(t.FontHeight(), 24);
        QCOMPARE(t.FontWidth(), 0);
        QCOMPARE(t.FontWeight(), TFontWeight::Heavy);
        QCOMPARE(t.Italic(), true);
        QCOMPARE(t.Underline(), true);
        QCOMPARE(t.StrikeOut(), false);
        QCOMPARE(t.Escapement(), 0);
        QCOMPARE(t.TextXPos(), 0);
        QCOMPARE(t.TextYPos(), 0);
        QCOMPARE(t.ShadowX(), 2);
        QCOMPARE(t.ShadowY(), 2);
        QCOMPARE(t.FontColor(), TColor(0x0000FF));
        QCOMPARE(t.ShadowColor(), TColor(0));
        QCOMPARE(t.Color(), TColor(0xFF0000));
        QCOMPARE(t.Transp(), false);
        QVERIFY(t.testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void weightSteps_data()
    {
        QTest::addColumn<TFontWeight>("step");
        QTest::addColumn<int>("weight");
        const TFontWeight steps[] = {
            TFontWeight::Thin,   TFontWeight::ExtraLight, TFontWeight::Light,
            TFontWeight::Normal, TFontWeight::Medium,     TFontWeight::SemiBold,
            TFontWeight::Bold,   TFontWeight::ExtraBold,  TFontWeight::Heavy};
        const char* names[] = {"Thin",     "ExtraLight", "Light",     "Normal", "Medium",
                               "SemiBold", "Bold",       "ExtraBold", "Heavy"};
        for (int i = 0; i < 9; ++i)
            QTest::newRow(names[i]) << steps[i] << 100 * (i + 1);
    }
    void weightSteps()
    {
        QFETCH(TFontWeight, step);
        QFETCH(int, weight);
        QCOMPARE(FontWeightValue(step), weight);
        TAPIText t;
        t.SetFontWeight(step);
        QCOMPARE(int(t.BuildFont().weight()), weight);
    }

    void fontFromTheProperties()
    {
        TAPIText t;
        t.SetItalic(false);
        t.SetUnderline(false);
        t.SetStrikeOut(true);
        t.SetFontHeight(-30);
        const QFont f = t.BuildFont();
        QCOMPARE(f.pixelSize(), 30);
        QCOMPARE(f.italic(), false);
        QCOMPARE(f.underline(), false);
        QCOMPARE(f.strikeOut(), true);
        // A positive height is the whole cell: ascent and descent together.
        t.SetFontHeight(40);
        const QFontMetrics m(t.BuildFont());
        QVERIFY(std::abs(m.ascent() + m.descent() - 40) <= 2);
        // A wider average character than the face's own stretches the font.
        t.SetFontHeight(24);
        const qreal natural = QFontMetricsF(t.BuildFont()).averageCharWidth();
        t.SetFontWidth(int(natural * 2));
        QVERIFY(t.BuildFont().stretch() > 150);
        // Face names keep 31 characters.
        t.SetFontName(QString(40, u'x'));
        QCOMPARE(t.FontName().size(), 31);
    }

    // "Arial" reaches a metric-compatible face through the font configuration.
    void arialIsAvailable()
    {
        TAPIText t;
        const QString family = QFontInfo(t.BuildFont()).family();
        QVERIFY2(family == QStringLiteral("Arial") || family == QStringLiteral("Liberation Sans"),
                 qPrintable(family));
    }

    // Every pixel wholly in the shadow's colour lies where the unshadowed text is
    // wholly drawn, moved by the offset; the text itself stays where it was.
    void shadowIsTheTextMovedByTheOffset_data()
    {
        QTest::addColumn<int>("sx");
        QTest::addColumn<int>("sy");
        QTest::newRow("default 2,2") << 2 << 2;
        QTest::newRow("right 5") << 5 << 0;
        QTest::newRow("down 4") << 0 << 4;
        QTest::newRow("3,7") << 3 << 7;
        QTest::newRow("none") << 0 << 0;
    }
    void shadowIsTheTextMovedByTheOffset()
    {
        QFETCH(int, sx);
        QFETCH(int, sy);
        TStage stage;
        stage.Text->SetShadowX(0);
        stage.Text->SetShadowY(0);
        const QImage reference = stage.Grab();
        stage.Text->SetShadowX(std::uint16_t(sx));
        stage.Text->SetShadowY(std::uint16_t(sy));
        const QImage shadowed = stage.Grab();

        const QList<QPoint> text = PixelsOf(reference, Red);
        QVERIFY(text.size() > 50);
        for (const QPoint& p : text)
            QCOMPARE(shadowed.pixel(p), Red);
        const QList<QPoint> shadow = PixelsOf(shadowed, Black);
        if (sx == 0 && sy == 0) {
            // Under the text exactly: only the text's colour shows.
            QVERIFY(shadow.isEmpty());
            return;
        }
        QVERIFY(shadow.size() > 20);
        for (const QPoint& p : shadow)
            QCOMPARE(reference.pixel(p - QPoint(sx, sy)), Red);
        // No background is painted when transparent.
        QVERIFY(PixelsOf(shadowed, Blue).isEmpty());
    }

    // The reference point is the text's top left: moving it moves all the ink.
    void textPositionMovesEverything()
    {
        TStage stage(QSize(260, 90));
        const QImage at0 = stage.Grab();
        stage.Text->SetTextXPos(17);
        stage.Text->SetTextYPos(9);
        const QImage moved = stage.Grab();
        for (int y = 0; y + 9 < 90; ++y)
            for (int x = 0; x + 17 < 260; ++x)
                QCOMPARE(moved.pixel(x + 17, y + 9), at0.pixel(x, y));
    }

    // Not transparent: the shadow's cells are filled with Color, offset like the
    // shadow; nothing is filled outside them.
    void opaqueShadowHasItsBox_data()
    {
        QTest::addColumn<int>("sx");
        QTest::addColumn<int>("sy");
        QTest::newRow("2,2") << 2 << 2;
        QTest::newRow("6,3") << 6 << 3;
    }
    void opaqueShadowHasItsBox()
    {
        QFETCH(int, sx);
        QFETCH(int, sy);
        TStage stage;
        stage.Text->SetText(QStringLiteral("ace"));
        stage.Text->SetItalic(false);
        stage.Text->SetUnderline(false);
        stage.Text->SetShadowX(std::uint16_t(sx));
        stage.Text->SetShadowY(std::uint16_t(sy));
        stage.Text->SetColor(clBlue);
        QVERIFY(PixelsOf(stage.Grab(), Blue).isEmpty());
        stage.Text->SetTransp(false);
        const QImage image = stage.Grab();
        const QFontMetrics m(stage.Text->BuildFont());
        const QRect box(sx, sy, m.horizontalAdvance(QStringLiteral("ace")),
                        m.ascent() + m.descent());
        const QList<QPoint> filled = PixelsOf(image, Blue);
        QVERIFY(filled.size() > box.width() * box.height() / 3);
        for (const QPoint& p : filled)
            QVERIFY(box.contains(p));
        // Its corners (the internal leading over lower-case letters) and no further.
        QCOMPARE(image.pixel(box.topLeft()), Blue);
        QCOMPARE(image.pixel(box.topRight()), Blue);
        QCOMPARE(image.pixel(box.right() + 1, box.top()), White);
        QCOMPARE(image.pixel(box.left(), box.bottom() + 1), White);
    }

    // An empty text draws nothing and fills nothing.
    void emptyTextDrawsNothing()
    {
        TStage stage;
        stage.Text->SetTransp(false);
        stage.Text->SetText(QString());
        const QImage image = stage.Grab();
        QCOMPARE(PixelsOf(image, White).size(), image.width() * image.height());
    }

    // A text longer than the control is cut at its edges.
    void longTextIsCut()
    {
        TStage stage(QSize(300, 60));
        stage.Text->resize(60, 20);
        stage.Text->SetTransp(false);
        const QImage image = stage.Grab();
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x)
                if (x >= 60 || y >= 20)
                    QCOMPARE(image.pixel(x, y), White);
        QVERIFY(!PixelsOf(image, Red).isEmpty());
    }

    // 90 degrees counter-clockwise: the line runs up from its reference point.
    void escapementRotatesAboutTheReferencePoint()
    {
        TStage stage(QSize(80, 220));
        stage.Text->SetShadowX(0);
        stage.Text->SetShadowY(0);
        stage.Text->SetTextXPos(10);
        stage.Text->SetTextYPos(200);
        stage.Text->SetEscapement(900);
        const QList<QPoint> ink = PixelsOf(stage.Grab(), Red);
        QVERIFY(ink.size() > 50);
        QRect bounds(ink.first(), ink.first());
        for (const QPoint& p : ink)
            bounds |= QRect(p, p);
        QVERIFY(bounds.height() > 2 * bounds.width());
        QVERIFY(bounds.bottom() <= 200);
        QVERIFY(bounds.left() >= 10);
    }

    // Every assignment repaints, the same value included.
    void everySetterRepaints()
    {
        TStage stage;
        stage.Parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&stage.Parent));
        struct TCounter : QObject {
            int Paints = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                Paints += e->type() == QEvent::Paint;
                return false;
            }
        } counter;
        stage.Text->installEventFilter(&counter);
        stage.Text->SetText(stage.Text->Text());
        QCOMPARE(counter.Paints, 1);
        stage.Text->SetShadowX(stage.Text->ShadowX());
        QCOMPARE(counter.Paints, 2);
    }
};

QTEST_MAIN(TestAPIText)
#include "tst_apitext.moc"
