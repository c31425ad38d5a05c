#include "pictures/picture.h"

#include "pictures/metafileprocess.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <mutex>
#include <optional>

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

// A metafile's bytes and, once it has been drawn, its drawing: shared by every copy
// of the picture, converted once by whichever thread draws it first.
struct TPicture::TMetafile {
    QString Path; // for the line that says why it is not shown
    Metafile::TFormat Format = Metafile::TFormat::Wmf;
    std::mutex Lock;
    QByteArray Data; // until converted
    bool Converted = false;
    QByteArray Svg; // empty when the conversion failed

    QByteArray Drawing()
    {
        const std::lock_guard<std::mutex> hold(Lock);
        if (!Converted)
            Take(Metafile::ConvertApart(Format, Data));
        return Svg;
    }

    void Take(const Metafile::TConversion& conversion)
    {
        Converted = true;
        Data = QByteArray();
        Svg = conversion.Svg.Svg;
        const QString shown = QDir::toNativeSeparators(Path);
        switch (conversion.Outcome) {
        case Metafile::TOutcome::Converted:
        case Metafile::TOutcome::Failed:
            break;
        case Metafile::TOutcome::OverTime:
            qWarning().noquote()
                << u"%1: not shown: converting the metafile took longer than %2 s"_s.arg(shown).arg(
                       Metafile::TimeBudgetMs / 1000.0);
            break;
        case Metafile::TOutcome::OverMemory:
            qWarning().noquote() << u"%1: not shown: converting the metafile needed more than "
                                    u"%2 MiB"_s.arg(shown)
                                        .arg(Metafile::MemoryBudget >> 20);
            break;
        case Metafile::TOutcome::Crashed:
            qWarning().noquote()
                << u"%1: not shown: the metafile converter ended abnormally on it"_s.arg(shown);
            break;
        case Metafile::TOutcome::NoHelper:
            qWarning().noquote() << u"%1: not shown: the metafile converter %2 cannot be started"_s
                                        .arg(shown, Metafile::HelperPath());
            break;
        }
    }
};

namespace {

// The size in pixels at 96 dpi that a metafile's header gives, or an empty size when
// the header names none (a WMF without its placeable header); nothing at all when
// DATA does not start as a metafile of FORMAT.
std::optional<QSize> MetafileHeaderSize(Metafile::TFormat format, const QByteArray& data)
{
    const auto u16 = [&](qsizetype at) {
        return qFromLittleEndian<quint16>(data.constData() + at);
    };
    const auto s16 = [&](qsizetype at) { return qFromLittleEndian<qint16>(data.constData() + at); };
    const auto s32 = [&](qsizetype at) { return qFromLittleEndian<qint32>(data.constData() + at); };
    constexpr qint64 MaxSide = 65535;
    if (format == Metafile::TFormat::Emf) {
        // The header record: type 1, its size, the bounds (left, top, right, bottom,
        // inclusive) in device pixels; the signature " EMF" at byte 40.
        if (data.size() < 88 || s32(0) != 1 ||
            qFromLittleEndian<quint32>(data.constData() + 40) != 0x464D4520)
            return std::nullopt;
        const qint64 width = qint64(s32(16)) - s32(8) + 1;
        const qint64 height = qint64(s32(20)) - s32(12) + 1;
        if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
            return std::nullopt;
        return QSize(int(width), int(height));
    }
    // The placeable header: its key, a handle, the bounds (left, top, right, bottom) in
    // metafile units, the units per inch; then the metafile's own header: type 1 or 2,
    // a header of 9 words, version 1 or 3.
    constexpr quint32 PlaceableKey = 0x9AC6CDD7;
    constexpr qsizetype PlaceableSize = 22;
    const bool placeable = data.size() >= PlaceableSize &&
                           qFromLittleEndian<quint32>(data.constData()) == PlaceableKey;
    const qsizetype start = placeable ? PlaceableSize : 0;
    if (data.size() < start + 18 || (u16(start) != 1 && u16(start) != 2) || u16(start + 2) != 9 ||
        (u16(start + 4) != 0x0100 && u16(start + 4) != 0x0300))
        return std::nullopt;
    if (!placeable)
        return QSize();
    const qint64 inch = u16(14);
    if (inch == 0)
        return std::nullopt;
    const qint64 width = qAbs(qint64(s16(10)) - s16(6)) * 96 / inch;
    const qint64 height = qAbs(qint64(s16(12)) - s16(8)) * 96 / inch;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
        return std::nullopt;
    return QSize(int(width), int(height));
}

} // namespace

TPicture TPicture::Load(const QString& path)
{
    const TFormat* format = FormatOf(path);
    if (!format || !QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return {};
    TPicture picture;
    switch (format->Kind) {
    case TFormatKind::Wmf:
    case TFormatKind::Emf: {
        auto metafile = std::make_shared<TMetafile>();
        metafile->Path = path;
        metafile->Format =
            format->Kind == TFormatKind::Wmf ? Metafile::TFormat::Wmf : Metafile::TFormat::Emf;
        metafile->Data = file.readAll();
        const std::optional<QSize> size = MetafileHeaderSize(metafile->Format, metafile->Data);
        if (!size)
            return {};
        picture.FSize = *size;
        if (picture.FSize.isEmpty()) {
            // Only the drawing tells this one's size.
            const Metafile::TConversion conversion =
                Metafile::ConvertApart(metafile->Format, metafile->Data);
            metafile->Take(conversion);
            picture.FSize = conversion.Svg.NaturalSize;
            if (metafile->Svg.isEmpty() || picture.FSize.isEmpty())
                return {};
        }
        picture.FKind = TKind::Metafile;
        picture.FMetafile = std::move(metafile);
        break;
    }
    case TFormatKind::Raster: {
        picture.FKind = TKind::Raster;
        picture.FFormat = format->QtFormat;
        {
            // The header alone first: a picture too large to show is refused before
            // its bytes are read.
            QImageReader header(&file, picture.FFormat);
            header.setAutoDetectImageFormat(false);
            header.setDecideFormatFromContent(false);
            const QSize claimed = header.size();
            if (claimed.isValid() && qint64(claimed.width()) * claimed.height() > MaxPixels)
                return {};
        }
        if (!file.seek(0))
            return {};
        const QByteArray data = file.readAll();
        picture.FData = data;
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
        if (size.isEmpty() || qint64(size.width()) * size.height() > MaxPixels)
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
    case TKind::Metafile: {
        if (size.isEmpty())
            return {};
        // The renderer belongs to the thread that draws: made here, used here.
        const QByteArray drawing = FMetafile->Drawing();
        if (drawing.isEmpty())
            return {};
        QSvgRenderer renderer(drawing);
        if (!renderer.isValid())
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            return {};
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(), QSizeF(size)));
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
