#include "extras/apitext.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>
#include <cstdlib>

int FontWeightValue(TFontWeight weight) { return 100 * (int(weight) + 1); }

TAPIText::TAPIText(QWidget* parent) : QWidget(parent)
{
    // Drawn on the parent's surface and deaf to the mouse, like a label painted there.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    resize(87, 24);
    update();
}

void TAPIText::Changed() { repaint(); }

void TAPIText::SetText(const QString& value)
{
    FText = value;
    Changed();
}

void TAPIText::SetFontName(const QString& value)
{
    FFontName = value.left(31);
    Changed();
}

void TAPIText::SetFontHeight(std::int32_t value)
{
    FFontHeight = value;
    Changed();
}

void TAPIText::SetFontWidth(std::int32_t value)
{
    FFontWidth = value;
    Changed();
}

void TAPIText::SetFontWeight(TFontWeight value)
{
    FFontWeight = value;
    Changed();
}

void TAPIText::SetItalic(bool value)
{
    FItalic = value;
    Changed();
}

void TAPIText::SetUnderline(bool value)
{
    FUnderline = value;
    Changed();
}

void TAPIText::SetStrikeOut(bool value)
{
    FStrikeOut = value;
    Changed();
}

void TAPIText::SetEscapement(std::int32_t value)
{
    FEscapement = value;
    Changed();
}

void TAPIText::SetTextXPos(std::uint16_t value)
{
    FTextXPos = value;
    Changed();
}

void TAPIText::SetTextYPos(std::uint16_t value)
{
    FTextYPos = value;
    Changed();
}

void TAPIText::SetShadowX(std::uint16_t value)
{
    FShadowX = value;
    Changed();
}

void TAPIText::SetShadowY(std::uint16_t value)
{
    FShadowY = value;
    Changed();
}

void TAPIText::SetFontColor(TColor value)
{
    FFontColor = value;
    Changed();
}

void TAPIText::SetShadowColor(TColor value)
{
    FShadowColor = value;
    Changed();
}

void TAPIText::SetColor(TColor value)
{
    FColor = value;
    Changed();
}

void TAPIText::SetTransp(bool value)
{
    FTransp = value;
    Changed();
}

QFont TAPIText::BuildFont() const
{
    QFont f(FFontName);
    f.setWeight(QFont::Weight(FontWeightValue(FFontWeight)));
    f.setItalic(FItalic);
    f.setUnderline(FUnderline);
    f.setStrikeOut(FStrikeOut);
    f.setStyleStrategy(QFont::PreferQuality);
    f.setKerning(false);
    // A negative height is the characters' own height (the em), a positive one the
    // whole cell with its internal leading, 0 the default size.
    if (FFontHeight < 0) {
        f.setPixelSize(int(std::min<std::int64_t>(-std::int64_t(FFontHeight), 0x7FFF)));
    } else if (FFontHeight > 0) {
        const int cell = int(std::min<std::int32_t>(FFontHeight, 0x7FFF));
        f.setPixelSize(cell);
        const QFontMetricsF m(f);
        const qreal measured = m.ascent() + m.descent();
        if (measured > 0)
            f.setPixelSize(std::max(1, int(std::lround(cell * cell / measured))));
    }
    // A width asks for that average character width; 0 keeps the face's proportions.
    if (FFontWidth != 0) {
        const qreal average = QFontMetricsF(f).averageCharWidth();
        if (average > 0)
            f.setStretch(
                std::clamp(int(std::lround(std::abs(qreal(FFontWidth)) * 100 / average)), 1, 4000));
    }
    return f;
}

void TAPIText::paintEvent(QPaintEvent*)
{
    if (FText.isEmpty())
        return;
    QPainter p(this);
    const QFont font = BuildFont();
    p.setFont(font);
    const QFontMetrics m(font);
    const QRect box(0, 0, m.horizontalAdvance(FText), m.ascent() + m.descent());
    const qreal angle = -FEscapement / 10.0; // counter-clockwise on screen

    // The reference point is the text's top left; each line turns about its own.
    const auto drawLine = [&](int x, int y, const QColor& color, bool opaque) {
        p.save();
        p.translate(x, y);
        if (FEscapement != 0)
            p.rotate(angle);
        if (opaque)
            p.fillRect(box, ColorToRGB(FColor, palette()));
        p.setPen(color);
        p.drawText(0, m.ascent(), FText);
        p.restore();
    };
    // The sums are plain non-negative integers: no wrapping at 16 bits.
    drawLine(int(FTextXPos) + int(FShadowX), int(FTextYPos) + int(FShadowY),
             ColorToRGB(FShadowColor, palette()), !FTransp);
    drawLine(FTextXPos, FTextYPos, ColorToRGB(FFontColor, palette()), false);
}
