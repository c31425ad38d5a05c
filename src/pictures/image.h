#pragma once
// TImage: a picture control. It shows its picture scaled to fit the control in both
// directions, enlarged or reduced, with its proportions kept, and centred; without a
// picture it shows only its parent's background.
//
// The pixels are decoded at the size shown, when the control is painted, and kept
// until that size changes. A file's picture is decoded (a metafile converted and
// drawn) on a worker thread, so that neither a large photograph nor a metafile that
// takes its whole time budget holds up the window: the control shows nothing of a new
// picture until its pixels are ready (a resized one stays, scaled, meanwhile), and a
// picture replaced before its turn is never decoded at all.

#include "pictures/picture.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    const TPicture& Picture() const { return FPicture; }
    void SetPicture(const TPicture& picture);
    void Clear() { SetPicture(TPicture()); }

    // Where the picture is drawn in the control; empty without a picture.
    QRect PictureRect() const;
    // True while the picture's pixels are being decoded for the control.
    bool Decoding() const { return FDecoding; }

signals:
    // The user clicked the control.
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Asks the worker for the picture at PIXELS; the newest request alone is served.
    void Request(const QSize& pixels);
    void Decoded();

    TPicture FPicture;
    quint64 FGeneration = 0; // counts the pictures set
    QImage FShown;           // the picture at the size last drawn
    quint64 FShownGeneration = 0;
    QSize FFailedAt; // the size the picture would not decode at
    // The request the worker is on.
    bool FDecoding = false;
    QSize FRequested;
    quint64 FRequestedGeneration = 0;
    QFutureWatcher<QImage> FWatcher;
    // The newest request's ticket, shared with the worker's tasks so that one whose
    // request has been overtaken returns at once.
    std::shared_ptr<std::atomic<quint64>> FLatest;
};
