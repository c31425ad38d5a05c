#include "extras/aboutform.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"AboutForm"_s);
    setWindowTitle(u"О программе"_s);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(u"Tresmol v 1.2"_s, this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
