#pragma once
// Windows metafiles turned into SVG by Debian's libraries, for Qt SVG to draw: libwmf
// for the 16-bit metafile (WMF), libemf2svg for the enhanced one (EMF). Neither is a
// picture format that Qt reads itself.
//
// Both libraries run without a limit of their own, and a damaged file can keep libwmf
// going for ever; the program therefore calls them only in the helper process
// tresmol-metafile (see metafileprocess.h), never in its own.

#include <QByteArray>
#include <QSize>

namespace Metafile {

struct TSvg {
    QByteArray Svg;           // empty when the file could not be converted
    QSize NaturalSize;        // the picture's size in pixels at 96 dpi
    bool OutOfMemory = false; // the conversion failed for want of memory
};

// The SVG drawing of the WMF file whose bytes are DATA.
TSvg WmfToSvg(const QByteArray& data);
// The SVG drawing of the EMF file whose bytes are DATA.
TSvg EmfToSvg(const QByteArray& data);

} // namespace Metafile
