#include "extras/colors.h"

QColor ColorToRGB(TColor c, const QPalette& palette)
{
    if (!IsSystemColor(c))
        return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    switch (c & 0xFF) {
    case 0x0D:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 0x0F:
        return palette.color(QPalette::Active, QPalette::Button);
    case 0x10:
        return palette.color(QPalette::Active, QPalette::Dark);
    case 0x12:
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case 0x14:
        return palette.color(QPalette::Active, QPalette::Light);
    case 0x16:
        return palette.color(QPalette::Active, QPalette::Midlight);
    case 0x18:
        return palette.color(QPalette::Active, QPalette::ToolTipBase);
    case 0x1A:
        return palette.color(QPalette::Active, QPalette::Link);
    default:
        return palette.color(QPalette::Active, QPalette::Window);
    }
}
