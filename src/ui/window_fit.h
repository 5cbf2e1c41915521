// Top-level windows on small screens: every window must fit the screen it
// opens on (a 1366 x 768 laptop at 150 % leaves about 910 x 510 logical
// pixels), with room for the window manager's frame.
#pragma once

#include <QSize>

class QWidget;

namespace qelvar::ui {

// The largest client size a top-level window may take on `window`'s screen
// (the primary screen before it has one): the screen's free area less a
// frame's title bar and borders. An empty size when there is no screen.
QSize roomOnScreen(const QWidget* window);

// Shrinks `window` to roomOnScreen() where it is larger, and moves it into
// the free area when it has been placed partly off it. The window's own
// minimum size still wins: a window meant to fit must keep that small.
void fitToScreen(QWidget* window);

} // namespace qelvar::ui
