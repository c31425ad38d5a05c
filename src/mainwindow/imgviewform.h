#pragma once
// The picture viewer: a borderless window that shows a copy of a picture at its own
// size, centred on the screen, the one window shown beside the main window rather than
// modally. A click on the picture closes it.

#include <QWidget>

#include <memory>

class TPicture;
namespace Ui {
class TImgViewForm;
}

class TImgViewForm : public QWidget {
    Q_OBJECT
public:
    explicit TImgViewForm(QWidget* parent = nullptr);
    ~TImgViewForm() override;

    // Shows PICTURE, which must not be null, at its own size in pixels, and centres the
    // window on the screen it is on; a window already shown takes the new picture, size
    // and place.
    void ShowPicture(const TPicture& picture);

    // The picture was clicked: the window hides, to be shown again by the next view.
    void HideViewer();

private:
    std::unique_ptr<Ui::TImgViewForm> ui;
};
