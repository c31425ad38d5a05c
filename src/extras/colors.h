#pragma once
// TColor: the 32-bit colour value the extras' properties hold. A plain colour is
// 0x00BBGGRR, red in the low byte; a system colour has 0xFF in the high byte and the
// system colour's index in the low byte, and is looked up in the palette each time it
// is drawn, so that it follows the desktop's colour scheme.

#include <QColor>
#include <QPalette>
#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clAqua = 0xFFFF00; // red 0, green and blue 255
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSkyBlue = 0xF0CAA6;

// System colours by their index.
constexpr TColor clHighlight = 0xFF00000D;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clBtnShadow = 0xFF000010;
constexpr TColor clBtnText = 0xFF000012;
constexpr TColor clBtnHighlight = 0xFF000014;
constexpr TColor cl3DLight = 0xFF000016;
constexpr TColor clInfoBk = 0xFF000018;
constexpr TColor clHotLight = 0xFF00001A;

constexpr bool IsSystemColor(TColor c) { return (c >> 24) == 0xFF; }

// C as an RGB colour: plain colours as they are, system colours through PALETTE.
QColor ColorToRGB(TColor c, const QPalette& palette);
