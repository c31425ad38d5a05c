#include "mainwindow/updown.h"

#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), FUp(new QToolButton(this)), FDown(new QToolButton(this))
{
    FUp->setObjectName(u"Up"_s);
    FDown->setObjectName(u"Down"_s);
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {FUp, FDown}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(FUp, &QToolButton::clicked, this, [this] { emit Click(true); });
    connect(FDown, &QToolButton::clicked, this, [this] { emit Click(false); });
}
