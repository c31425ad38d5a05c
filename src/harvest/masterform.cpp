#include "harvest/masterform.h"

using namespace Qt::Literals::StringLiterals;

TMasterForm* MasterForm = nullptr;

TMasterForm::TMasterForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"MasterForm"_s);
    setWindowTitle(u"Добавление программы"_s);
    resize(500, 400);
}
