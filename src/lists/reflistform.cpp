#include "lists/reflistform.h"

using namespace Qt::Literals::StringLiterals;

TRefListForm::TRefListForm(const QString& objectName, QWidget* parent) : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(u"Редактирование"_s);
    resize(400, 300);
}

TAddManufacturerForm::TAddManufacturerForm(QWidget* parent)
    : TRefListForm(u"AddManufacturerForm"_s, parent)
{
}

TTypeDiscForm::TTypeDiscForm(QWidget* parent) : TRefListForm(u"TypeDiscForm"_s, parent) {}

TPlatformForm::TPlatformForm(QWidget* parent) : TRefListForm(u"PlatformForm"_s, parent) {}

TCategoryForm::TCategoryForm(QWidget* parent) : TRefListForm(u"CategoryForm"_s, parent) {}

TProgramTypeForm::TProgramTypeForm(QWidget* parent) : TRefListForm(u"ProgramTypeForm"_s, parent) {}
