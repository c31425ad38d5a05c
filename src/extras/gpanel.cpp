#include "extras/gpanel.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

TPanelBase::TPanelBase(QWidget* parent) : QWidget(parent) {}

void TPanelBase::SetBevelInner(TPanelBevel value)
{
    FBevelInner = value;
    update();
}

void TPanelBase::SetBevelOuter(TPanelBevel value)
{
    FBevelOuter = value;
    update();
}

void TPanelBase::SetBevelWidth(int value)
{
    FBevelWidth = std::max(1, value);
    update();
}

void TPanelBase::SetBorderWidth(int value)
{
    FBorderWidth = std::max(0, value);
    update();
}

void TPanelBase::SetColor(TColor value)
{
    FColor = value;
    update();
}

void TPanelBase::SetCaption(const QString& value)
{
    FCaption = value;
    update();
}

namespace {

// WIDTH nested frames, each one pixel inside the last: the top and left edges in TOP,
// the bottom and right edges in BOTTOM. RECT shrinks by WIDTH on every side.
void Frame3D(QPainter& p, QRect& rect, const QColor& top, const QColor& bottom, int width)
{
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
        p.fillRect(QRect(l, t, 1, b - t), top);
        p.fillRect(QRect(l, t, r - l, 1), top);
        p.fillRect(QRect(r, t, 1, b - t + 1), bottom);
        p.fillRect(QRect(l, b, r - l + 1, 1), bottom);
        rect.adjust(1, 1, -1, -1);
    }
}

void PaintBevel(QPainter& p, QRect& rect, TPanelBevel bevel, const QColor& face,
                const QPalette& palette, int width)
{
    const QColor light = ColorToRGB(clBtnHighlight, palette);
    const QColor shadow = ColorToRGB(clBtnShadow, palette);
    switch (bevel) {
    case TPanelBevel::bvNone:
        break;
    case TPanelBevel::bvLowered:
        Frame3D(p, rect, shadow, light, width);
        break;
    case TPanelBevel::bvRaised:
        Frame3D(p, rect, light, shadow, width);
        break;
    case TPanelBevel::bvSpace:
        Frame3D(p, rect, face, face, width);
        break;
    }
}

} // namespace

void TPanelBase::PaintPanel(QPainter& p)
{
    const QColor face = ColorToRGB(FColor, palette());
    QRect rect = this->rect();
    PaintBevel(p, rect, FBevelOuter, face, palette(), FBevelWidth);
    Frame3D(p, rect, face, face, FBorderWidth);
    PaintBevel(p, rect, FBevelInner, face, palette(), FBevelWidth);
    if (rect.width() > 0 && rect.height() > 0)
        p.fillRect(rect, face);
    if (!FCaption.isEmpty()) {
        p.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        p.setFont(font());
        p.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, FCaption);
    }
}

void TPanelBase::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintPanel(p);
}

TGPanel::TGPanel(QWidget* parent) : TPanelBase(parent) {}

void TGPanel::SetActive(bool value)
{
    FActive = value;
    update();
}

void TGPanel::SetColor_1(TColor value)
{
    FColor_1 = value;
    update();
}

void TGPanel::SetColor_2(TColor value)
{
    FColor_2 = value;
    update();
}

void TGPanel::SetColor_3(TColor value)
{
    FColor_3 = value;
    update();
}

void TGPanel::SetHorizontal(bool value)
{
    FHorizontal = value;
    update();
}

void TGPanel::SetPercent(int value)
{
    if (value < 1)
        value = 1;
    else if (value > 99)
        value = 100;
    FPercent = value;
    update();
}

void TGPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintPanel(p);
    if (FActive)
        PaintGradient(p);
}

namespace {

bool BevelTakesWidth(TPanelBevel bevel)
{
    return bevel == TPanelBevel::bvLowered || bevel == TPanelBevel::bvRaised;
}

} // namespace

void TGPanel::PaintGradient(QPainter& p)
{
    // The gradient lies inside the lowered or raised bevels; a spacing bevel and the
    // border are painted over, as the background would be.
    int b = 0;
    if (BevelTakesWidth(BevelInner()))
        b += BevelWidth();
    if (BevelTakesWidth(BevelOuter()))
        b += BevelWidth();
    const int w = width() - 2 * b;
    const int h = height() - 2 * b;
    const int length = FHorizontal ? w : h;
    // A panel no larger than its bevels has no inner area, along or across the
    // gradient: the first part's one-pixel minimum, or a rectangle of negative width,
    // would otherwise paint over the bevel.
    if (w <= 0 || h <= 0)
        return;
    if (FPercent == 100) {
        FillGradient(p, QRect(b, b, w, h), FColor_1, FColor_2);
        return;
    }
    int p1 = length * FPercent / 100;
    if (p1 == 0)
        p1 = 1;
    if (FHorizontal) {
        FillGradient(p, QRect(b, b, p1, h), FColor_1, FColor_2);
        FillGradient(p, QRect(b + p1, b, length - p1, h), FColor_2, FColor_3);
    } else {
        FillGradient(p, QRect(b, b, w, p1), FColor_1, FColor_2);
        FillGradient(p, QRect(b, b + p1, w, length - p1), FColor_2, FColor_3);
    }
}

std::vector<TGradientBand> TGPanel::GradientBands(int length, QColor a, QColor z)
{
    // Colour steps are scaled by 100 so that integer division keeps two decimals.
    const int d[3] = {100 * (z.red() - a.red()), 100 * (z.green() - a.green()),
                      100 * (z.blue() - a.blue())};
    const int n = std::max({std::abs(d[0]), std::abs(d[1]), std::abs(d[2])});
    std::vector<TGradientBand> bands;
    if (length <= 0 || n == 0)
        return bands;
    // As many bands as colour levels at most: a band is L / m pixels, rounded up.
    const int s = n >= 100 * length ? 1 : ((n / 100) + length - 1) * 100 / n;
    const int c = length / s;
    bands.reserve(std::size_t(c) + 1);
    for (int i = 0; i <= c; ++i) {
        const int thickness = (i + 1) * s > length ? length - s * i : s;
        bands.push_back({s * i, thickness,
                         QColor(a.red() + (d[0] / c) * i / 100, a.green() + (d[1] / c) * i / 100,
                                a.blue() + (d[2] / c) * i / 100)});
    }
    return bands;
}

void TGPanel::FillGradient(QPainter& p, const QRect& area, TColor a, TColor z)
{
    // Equal colours leave the panel's background showing.
    if (a == z)
        return;
    const QColor ra = ColorToRGB(a, palette());
    const QColor rz = ColorToRGB(z, palette());
    if (ra.rgb() == rz.rgb())
        return;
    const int length = FHorizontal ? area.width() : area.height();
    for (const TGradientBand& band : GradientBands(length, ra, rz)) {
        if (band.Thickness <= 0)
            continue;
        if (FHorizontal)
            p.fillRect(QRect(area.left() + band.Offset, area.top(), band.Thickness, area.height()),
                       band.Color);
        else
            p.fillRect(QRect(area.left(), area.top() + band.Offset, area.width(), band.Thickness),
                       band.Color);
    }
}
