#include "pictures/picture.h"

#include "pictures/metafile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

using namespace Qt::Literals::StringLiterals;

namespace {

enum class TFormatKind { Raster, Wmf, Emf };

struct TFormat {
    const char16_t* Title;
    QStringList Extensions;
    TFormatKind Kind;
    const char* QtFormat; // the raster decoder's name
};

// The loadable formats in the order the file dialog offers them.
const QList<TFormat>& Formats()
{
    static const QList<TFormat> formats = {
        {u"Точечные рисунки", {u"bmp"_s}, TFormatKind::Raster, "bmp"},
        {u"Значки", {u"ico"_s}, TFormatKind::Raster, "ico"},
        {u"Метафайлы", {u"wmf"_s}, TFormatKind::Wmf, nullptr},
        {u"Расширенные метафайлы", {u"emf"_s}, TFormatKind::Emf, nullptr},
        {u"Рисунки JPEG", {u"jpg"_s, u"jpeg"_s}, TFormatKind::Raster, "jpeg"},
        {u"Рисунки PNG", {u"png"_s}, TFormatKind::Raster, "png"},
        {u"Рисунки GIF", {u"gif"_s}, TFormatKind::Raster, "gif"},
        {u"Рисунки WebP", {u"webp"_s}, TFormatKind::Raster, "webp"},
    };
    return formats;
}

const TFormat* FormatOf(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    for (const TFormat& f : Formats())
        if (f.Extensions.contains(extension))
            return &f;
    return nullptr;
}

// A reader of DATA as FORMAT only: bytes of another format do not load under this
// extension.
void Prepare(QImageReader& reader, QBuffer& buffer, const QByteArray& data,
             const QByteArray& format)
{
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    reader.setDevice(&buffer);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
}

} // namespace

TPicture TPicture::Load(const QString& path)
{
    const TFormat* format = FormatOf(path);
    if (!format || !QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    TPicture picture;
    switch (format->Kind) {
    case TFormatKind::Wmf:
    case TFormatKind::Emf: {
        const Metafile::TSvg svg =
            format->Kind == TFormatKind::Wmf ? Metafile::WmfToSvg(data) : Metafile::EmfToSvg(data);
        if (svg.Svg.isEmpty())
            return {};
        auto renderer = std::make_shared<QSvgRenderer>(svg.Svg);
        if (!renderer->isValid())
            return {};
        picture.FKind = TKind::Vector;
        picture.FSvg = std::move(renderer);
        picture.FSize = svg.NaturalSize;
        break;
    }
    case TFormatKind::Raster: {
        picture.FKind = TKind::Raster;
        picture.FData = data;
        picture.FFormat = format->QtFormat;
        QBuffer buffer;
        QImageReader reader;
        Prepare(reader, buffer, data, picture.FFormat);
        if (!reader.canRead())
            return {};
        QSize size = reader.size();
        // An icon holds several images; the largest shows best.
        if (picture.FFormat == "ico")
            for (int i = 0; i < reader.imageCount(); ++i) {
                QBuffer b;
                QImageReader r;
                Prepare(r, b, data, picture.FFormat);
                if (!r.jumpToImage(i))
                    break;
                QSize s = r.size();
                if (!s.isValid())
                    s = r.read().size();
                if (i == 0 || s.width() * s.height() > size.width() * size.height()) {
                    picture.FImageIndex = i;
                    size = s;
                }
            }
        if (size.isEmpty())
            size = picture.Decode(QSize()).size(); // the format tells its size only so
        if (size.isEmpty())
            return {};
        picture.FSize = size;
        break;
    }
    }
    return picture;
}

TPicture TPicture::FromImage(const QImage& image)
{
    TPicture picture;
    if (image.isNull())
        return picture;
    picture.FKind = TKind::Image;
    picture.FImage = image;
    picture.FSize = image.size();
    return picture;
}

bool TPicture::Loadable(const QString& path) { return FormatOf(path) != nullptr; }

QString TPicture::FileFilter()
{
    // The platform's dialog matches names with regard to case, so each pattern is
    // given in both.
    const auto patterns = [](const QStringList& extensions) {
        QStringList p;
        for (const QString& e : extensions)
            p << u"*."_s + e;
        for (const QString& e : extensions)
            p << u"*."_s + e.toUpper();
        return p.join(u' ');
    };
    QStringList all;
    QStringList entries;
    for (const TFormat& f : Formats()) {
        all += f.Extensions;
        entries << QString::fromUtf16(f.Title) + u" ("_s + patterns(f.Extensions) + u')';
    }
    entries.prepend(u"Все картинки ("_s + patterns(all) + u')');
    return entries.join(u";;"_s);
}

QImage TPicture::Render(const QSize& size) const
{
    switch (FKind) {
    case TKind::None:
        return {};
    case TKind::Image:
        if (size.isEmpty())
            return {};
        return size == FImage.size()
                   ? FImage
                   : FImage.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    case TKind::Vector: {
        if (size.isEmpty())
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        FSvg->render(&painter, QRectF(QPointF(), QSizeF(size)));
        return image;
    }
    case TKind::Raster:
        return size.isEmpty() ? QImage() : Decode(size);
    }
    return {};
}

QImage TPicture::Decode(const QSize& size) const
{
    QBuffer buffer;
    QImageReader reader;
    Prepare(reader, buffer, FData, FFormat);
    if (FImageIndex > 0 && !reader.jumpToImage(FImageIndex))
        return {};
    if (!size.isEmpty() && size != FSize)
        reader.setScaledSize(size);
    QImage image = reader.read();
    if (!image.isNull() && !size.isEmpty() && image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QRect FitCentred(const QSize& size, const QRect& bounds)
{
    if (size.isEmpty() || bounds.isEmpty())
        return {};
    const QSize fitted = size.scaled(bounds.size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    QRect placed(QPoint(), fitted);
    placed.moveCenter(bounds.center());
    // moveCenter rounds towards the top left; centre on the exact halves instead.
    placed.moveTopLeft(bounds.topLeft() + QPoint((bounds.width() - fitted.width()) / 2,
                                                 (bounds.height() - fitted.height()) / 2));
    return placed;
}
