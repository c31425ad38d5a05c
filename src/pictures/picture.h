#pragma once
// TPicture: a picture as the picture controls hold it. Loading reads the file's header
// first, refuses a file or picture too large to show (see MaxFileBytes, MaxPixels),
// then keeps the bytes; the pixels are decoded only at the size they are drawn at, so
// a large photograph shown small costs what a small one does. A metafile is converted
// to a drawing when it is first drawn, in a helper process under a budget of time and
// memory (see metafileprocess.h), and the drawing is kept. A copy shares the bytes and
// the drawing, and stays valid after the file is gone.
//
// The format follows the file's extension, compared without regard to case: "bmp",
// "ico", "jpg" and "jpeg", "wmf" and "emf", and also "png", "gif" and "webp", the
// formats screenshots are kept in today. A file under any other extension, or whose
// bytes are not of its extension's format, does not load.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class TPicture {
public:
    // The null picture: nothing to show.
    TPicture() = default;

    // The largest picture file loaded, and the most pixels a picture may have.
    static constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;
    static constexpr qint64 MaxPixels = 100LL * 1000 * 1000;

    // The picture in the file at PATH; the null picture when it does not load.
    static TPicture Load(const QString& path);
    // A picture of IMAGE as it is; the null picture for a null image.
    static TPicture FromImage(const QImage& image);

    // True when PATH's extension names a loadable format.
    static bool Loadable(const QString& path);
    // The file dialog's filter: every loadable format together first, then each one.
    static QString FileFilter();

    bool IsNull() const { return FKind == TKind::None; }
    // The picture's own size in pixels (a metafile's at 96 dpi).
    QSize Size() const { return FSize; }

    // True when Render may take long and belongs on another thread than the window's:
    // a file's bytes to decode, or a metafile to convert.
    bool DecodesAnywhere() const { return FKind == TKind::Raster || FKind == TKind::Metafile; }

    // The pixels at SIZE exactly, proportions as given; a null image when SIZE is
    // empty or decoding fails. Raster pictures are decoded at that size where the
    // format allows (JPEG decodes at a fraction of its size). A metafile that cannot
    // be converted within the budget draws as nothing, with one line on standard
    // error.
    QImage Render(const QSize& size) const;

private:
    // A raster picture's pixels at SIZE, or at its own size when SIZE is empty.
    QImage Decode(const QSize& size) const;

    struct TMetafile;

    enum class TKind { None, Raster, Metafile, Image };
    TKind FKind = TKind::None;
    QSize FSize;
    QByteArray FData;    // a raster file's bytes
    QByteArray FFormat;  // Qt's name of the raster format
    int FImageIndex = 0; // the image of a multi-image file (the largest of an icon)
    std::shared_ptr<TMetafile> FMetafile;
    QImage FImage;
};

// SIZE scaled to fit within BOUNDS in both directions, enlarged or reduced, with its
// proportions kept, and centred in BOUNDS. Empty when either is empty.
QRect FitCentred(const QSize& size, const QRect& bounds);
