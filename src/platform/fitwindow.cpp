#include "platform/fitwindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace FitWindow {

namespace {

// Controls whose size hint is what their text needs. Containers follow their
// layouts and are left alone.
bool IsControl(const QWidget* w)
{
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w);
}

// True when LAYOUT, or a layout nested in it, places W.
bool Places(QLayout* layout, const QWidget* w)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w)
            return true;
        if (item->layout() && Places(item->layout(), w))
            return true;
    }
    return false;
}

} // namespace

void GrowControls(QWidget* root)
{
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!IsControl(w) || w->isWindow())
            continue;
        // Values shown from a record take the room they are given, as a grid cell does.
        if (w->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            continue;
        // A control placed by hand, outside any layout, keeps its geometry.
        const QWidget* parent = w->parentWidget();
        if (!parent || !parent->layout() || !Places(parent->layout(), w))
            continue;
        const QSize hint = w->sizeHint();
        if (!hint.isValid())
            continue;
        const QSize least = w->minimumSize();
        const QSize most = w->maximumSize();
        if (least.width() < hint.width())
            w->setMinimumWidth(hint.width());
        if (least.height() < hint.height())
            w->setMinimumHeight(hint.height());
        if (most.width() < hint.width())
            w->setMaximumWidth(hint.width());
        if (most.height() < hint.height())
            w->setMaximumHeight(hint.height());
    }
}

QSize ContentSize(QWidget* window, QSize designed)
{
    GrowControls(window);
    if (QLayout* l = window->layout()) {
        l->invalidate();
        l->activate();
    }
    return designed.expandedTo(window->sizeHint()).expandedTo(window->minimumSizeHint());
}

} // namespace FitWindow

namespace {

// The frame the window manager last gave W; none before W was first shown.
QMargins KnownFrame(const QWidget* w)
{
    const QWindow* handle = w ? w->windowHandle() : nullptr;
    return handle ? handle->frameMargins() : QMargins();
}

class TPlacer : public QObject {
public:
    TPlacer(QWidget* window, FitWindow::TPlace place) : QObject(window), FPlace(place) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous() &&
            (FPlace != FitWindow::TPlace::FirstOnOwner || !FPlaced)) {
            FPlaced = true;
            FitWindow::CentreFrame(static_cast<QWidget*>(watched),
                                   FPlace != FitWindow::TPlace::OnScreen);
        }
        return false;
    }

private:
    FitWindow::TPlace FPlace;
    bool FPlaced = false;
};

} // namespace

namespace FitWindow {

void CentreFrame(QWidget* window, bool onOwner)
{
    const QWidget* owner =
        onOwner && window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QMargins frame = KnownFrame(window);
    const bool ownFrame = !frame.isNull();
    if (!ownFrame)
        frame = KnownFrame(owner ? owner : window->parentWidget());
    const QScreen* screen = owner ? owner->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    QRect outer(QPoint(), window->size().grownBy(frame));
    outer.moveCenter(owner ? owner->frameGeometry().center() : area.center());
    // On the screen, title bar first when the window is larger than the screen.
    if (!area.isEmpty()) {
        outer.moveLeft(
            std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
        outer.moveTop(
            std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
    }
    // A window whose frame is not known yet, the first time it is shown, is placed by
    // its inside, the window manager putting the frame around it; once it has been
    // on the screen, or where the platform knows the frame at once, by its frame.
    const char* const shownBefore = "FitWindowShownBefore";
    const bool framed = ownFrame || window->property(shownBefore).toBool();
    window->setProperty(shownBefore, true);
    window->move(framed ? outer.topLeft() : outer.topLeft() + QPoint(frame.left(), frame.top()));
}

void PlaceWhenShown(QWidget* window, TPlace place)
{
    window->installEventFilter(new TPlacer(window, place));
}

} // namespace FitWindow
