#include "mainwindow/columnform.h"

using namespace Qt::Literals::StringLiterals;

TColumnForm::TColumnForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"ColumnForm"_s);
    setWindowTitle(u"Настройка столбцов"_s);
    resize(300, 400);
}
