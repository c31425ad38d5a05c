#include "extras/apitext.h"

using namespace Qt::Literals::StringLiterals;

TAPIText::TAPIText(QWidget* parent) : QLabel(parent)
{
    // Only the weight and the size are the logo's own; the face follows the window.
    QFont logo = font();
    logo.setBold(true);
    logo.setPointSize(11);
    setFont(logo);
    setStyleSheet(u"color: navy;"_s);
}
