#include "extras/gpanel.h"

using namespace Qt::Literals::StringLiterals;

TGPanel::TGPanel(QWidget* parent) : QFrame(parent) {}

void TGPanel::showEvent(QShowEvent* event)
{
    // The gradient is a style sheet, and a style sheet fixes the fonts of the panel and
    // its controls as they are when it is set; it waits for the first showing, when
    // the window around has chosen its font.
    if (styleSheet().isEmpty())
        setStyleSheet(u"TGPanel { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                      u"stop:0 silver, stop:1 palette(window)); }"_s);
    QFrame::showEvent(event);
}
