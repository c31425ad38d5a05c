#include "mainwindow/barlayout.h"

#include <QWidget>

TBarLayout::TBarLayout(QWidget* parent, int step) : QLayout(parent), FStep(step) {}

TBarLayout::~TBarLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TBarLayout::AddButton(QWidget* widget, QSize designed)
{
    addChildWidget(widget);
    auto* item = new QWidgetItem(widget);
    FDesigned.insert(item, designed);
    addItem(item);
}

void TBarLayout::addItem(QLayoutItem* item)
{
    // Only widgets: the bar holds buttons.
    Q_ASSERT(item->widget());
    FItems << item;
    invalidate();
}

int TBarLayout::count() const { return int(FItems.size()); }

QLayoutItem* TBarLayout::itemAt(int index) const { return FItems.value(index); }

QLayoutItem* TBarLayout::takeAt(int index)
{
    if (index < 0 || index >= FItems.size())
        return nullptr;
    QLayoutItem* item = FItems.takeAt(index);
    FDesigned.remove(item);
    invalidate();
    return item;
}

QSize TBarLayout::ItemSize(const QLayoutItem* item) const
{
    return item->sizeHint().expandedTo(FDesigned.value(item));
}

QSize TBarLayout::sizeHint() const
{
    // Everything in one row.
    int width = 0, height = 0;
    for (const QLayoutItem* item : FItems) {
        if (item->isEmpty())
            continue;
        const QSize size = ItemSize(item);
        width += std::max(FStep, size.width());
        height = std::max(height, size.height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize TBarLayout::minimumSize() const
{
    // One button a row.
    int width = 0, height = 0;
    for (const QLayoutItem* item : FItems) {
        if (item->isEmpty())
            continue;
        const QSize size = ItemSize(item);
        width = std::max(width, size.width());
        height = std::max(height, size.height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

int TBarLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

void TBarLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int TBarLayout::Arrange(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.left(), y = area.top(), rowHeight = 0;
    for (QLayoutItem* item : FItems) {
        if (item->isEmpty())
            continue;
        const QSize size = ItemSize(item);
        // A button that would pass the right edge starts the next row, unless it is
        // the first of its row.
        if (x > area.left() && x + size.width() > area.right() + 1) {
            x = area.left();
            y += rowHeight;
            rowHeight = 0;
        }
        // Placed directly: the item would hold a fixed-height button at its hint.
        if (apply)
            item->widget()->setGeometry(QRect(QPoint(x, y), size));
        x += std::max(FStep, size.width());
        rowHeight = std::max(rowHeight, size.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.top() + m.bottom();
}
