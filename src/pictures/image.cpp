#include "pictures/image.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void TImage::SetPicture(const TPicture& picture)
{
    FPicture = picture;
    FShown = QImage();
    FFailedAt = QSize();
    update();
}

QRect TImage::PictureRect() const { return FitCentred(FPicture.Size(), rect()); }

void TImage::paintEvent(QPaintEvent*)
{
    const QRect target = PictureRect();
    if (target.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (FShown.size() != pixels) {
        // A picture that fails to decode shows as none and is not tried again at
        // every paint of the same size.
        if (pixels == FFailedAt)
            return;
        FShown = FPicture.Render(pixels);
        if (FShown.isNull()) {
            FFailedAt = pixels;
            return;
        }
        FShown.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawImage(target.topLeft(), FShown);
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(event);
}
