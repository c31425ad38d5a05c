#include "harvest/infoform.h"

using namespace Qt::Literals::StringLiterals;

TInfoForm* InfoForm = nullptr;

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"InfoForm"_s);
    setWindowTitle(u"Сбор информации с файла"_s);
    resize(500, 400);
}
