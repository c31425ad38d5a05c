#include "pictures/image.h"

#include <QMouseEvent>
#include <QPainter>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// One worker for every picture control: a request overtaken while it waits returns
// at once, so holding a key down over pictures decodes only the one stopped on.
QThreadPool& DecodePool()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    return pool;
}

} // namespace

TImage::TImage(QWidget* parent)
    : QWidget(parent), FLatest(std::make_shared<std::atomic<quint64>>(0))
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    connect(&FWatcher, &QFutureWatcher<QImage>::finished, this, [this] { Decoded(); });
}

TImage::~TImage()
{
    // A task under way finishes on its own copy of the picture; nobody takes its
    // result.
    FLatest->fetch_add(1);
}

void TImage::SetPicture(const TPicture& picture)
{
    FPicture = picture;
    ++FGeneration;
    FShown = QImage();
    FFailedAt = QSize();
    if (FDecoding)
        FLatest->fetch_add(1); // the worker drops the old picture if it has not begun
    update();
}

QRect TImage::PictureRect() const { return FitCentred(FPicture.Size(), rect()); }

void TImage::Request(const QSize& pixels)
{
    if (FDecoding && FRequested == pixels && FRequestedGeneration == FGeneration)
        return;
    FDecoding = true;
    FRequested = pixels;
    FRequestedGeneration = FGeneration;
    const quint64 ticket = FLatest->fetch_add(1) + 1;
    FWatcher.setFuture(QtConcurrent::run(
        &DecodePool(), [picture = FPicture, pixels, ticket, latest = FLatest]() -> QImage {
            if (latest->load() != ticket)
                return {};
            return picture.Render(pixels);
        }));
}

void TImage::Decoded()
{
    FDecoding = false;
    if (FRequestedGeneration != FGeneration)
        return; // another picture came meanwhile; its paint asks again
    QImage image = FWatcher.result();
    if (image.isNull()) {
        FFailedAt = FRequested;
    } else {
        image.setDevicePixelRatio(devicePixelRatioF());
        FShown = image;
        FShownGeneration = FGeneration;
    }
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    const QRect target = PictureRect();
    if (target.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    const bool current = FShownGeneration == FGeneration && !FShown.isNull();
    if (!current || FShown.size() != pixels) {
        // A picture that fails to decode shows as none and is not tried again at every
        // paint of the same size.
        if (pixels == FFailedAt)
            return;
        if (FPicture.DecodesAnywhere()) {
            Request(pixels);
        } else {
            QImage image = FPicture.Render(pixels);
            if (image.isNull()) {
                FFailedAt = pixels;
                return;
            }
            image.setDevicePixelRatio(ratio);
            FShown = image;
            FShownGeneration = FGeneration;
        }
    }
    if (FShownGeneration != FGeneration || FShown.isNull())
        return; // a new picture shows once decoded
    QPainter painter(this);
    if (FShown.size() == pixels) {
        painter.drawImage(target.topLeft(), FShown);
    } else {
        // Resized while the new size is decoded: the old pixels, scaled, meanwhile.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, FShown);
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(event);
}
