#include "mainwindow/imgviewform.h"

using namespace Qt::Literals::StringLiterals;

TImgViewForm::TImgViewForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(u"ImgViewForm"_s);
    setWindowTitle(u"Просмотр картинки"_s);
    // Closing the viewer never ends the program; only the main window does.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(500, 400);
}
