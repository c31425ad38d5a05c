#pragma once
// Windows laid out for one font keep their arrangement at another: the sizes a form
// gives its captions, boxes and buttons are the least they take, and each grows to
// what its text needs at the current font, so that nothing is cut. A window then
// opens at its designed size or larger, as its contents require.

#include <QSize>

class QWidget;

namespace FitWindow {

// Lets every control under ROOT grow to what its text needs (its size hint), and
// keeps a layout from squeezing it below that: a least or most size below the hint
// is raised to it. Sizes at or above the hint stay as designed. Controls placed by
// hand, outside a layout, and values shown from a record (a size policy of Ignored)
// are left alone.
void GrowControls(QWidget* root);

// The size WINDOW needs for its contents, but at least DESIGNED (the client size of
// its form). Controls are grown first (GrowControls).
QSize ContentSize(QWidget* window, QSize designed);

// Moves WINDOW, about to be shown, so that its frame is centred on its owner's frame
// (ON_OWNER, when it has one) or on its screen's free area, and lies on that screen.
// Until the window manager has framed the window once, its frame is taken to be the
// owner's (the same manager draws both), so that the first opening lands where the
// later ones do.
void CentreFrame(QWidget* window, bool onOwner);

// How a secondary window is placed each time it is shown.
enum class TPlace {
    OnOwner,      // centred on the main window, every time
    OnScreen,     // centred on the screen, every time
    FirstOnOwner, // centred on the main window the first time, then where the user left it
};
// Places WINDOW so whenever it is shown, before it reaches the screen.
void PlaceWhenShown(QWidget* window, TPlace place);

} // namespace FitWindow
