#include "mainwindow/imgviewform.h"

#include "pictures/image.h"

#include "ui_imgviewform.h"

#include <QScreen>

TImgViewForm::TImgViewForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      ui(std::make_unique<Ui::TImgViewForm>())
{
    ui->setupUi(this);
    // Closing the viewer never ends the program; only the main window does.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(ui->Image1, &TImage::Click, this, [this] { HideViewer(); });
}

TImgViewForm::~TImgViewForm() = default;

void TImgViewForm::ShowPicture(const TPicture& picture)
{
    ui->Image1->SetPicture(picture);
    // The client area takes the picture's size exactly, however large.
    setMinimumSize(0, 0);
    setFixedSize(picture.Size());
    show();
    if (const QScreen* s = screen()) {
        QRect placed(QPoint(), frameGeometry().size());
        placed.moveCenter(s->availableGeometry().center());
        move(placed.topLeft());
    }
    raise();
    activateWindow();
}

void TImgViewForm::HideViewer() { hide(); }
