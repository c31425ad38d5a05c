#pragma once
// TImage: a picture control. It shows its picture scaled to fit the control in both
// directions, enlarged or reduced, with its proportions kept, and centred; without a
// picture it shows only its parent's background. The pixels are decoded at the size
// shown, when the control is painted, and kept until that size changes.

#include "pictures/picture.h"

#include <QImage>
#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    const TPicture& Picture() const { return FPicture; }
    void SetPicture(const TPicture& picture);
    void Clear() { SetPicture(TPicture()); }

    // Where the picture is drawn in the control; empty without a picture.
    QRect PictureRect() const;

signals:
    // The user clicked the control.
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPicture FPicture;
    QImage FShown;   // FPicture decoded at the size last drawn
    QSize FFailedAt; // the size FPicture would not decode at
};
