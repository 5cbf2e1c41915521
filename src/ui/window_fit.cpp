#include "ui/window_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace qelvar::ui {

namespace {

// Before a window is mapped its frame is unknown; these are a generous
// title bar and border.
constexpr QMargins kAssumedFrame(6, 34, 6, 6);

QMargins frameOf(const QWidget* window) {
    if (!window->isVisible())
        return kAssumedFrame;
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins m(inner.left() - frame.left(), inner.top() - frame.top(),
                     frame.right() - inner.right(), frame.bottom() - inner.bottom());
    return m.isNull() ? kAssumedFrame : m;
}

QScreen* screenOf(const QWidget* window) {
    if (QScreen* s = window->screen())
        return s;
    return QGuiApplication::primaryScreen();
}

} // namespace

QSize roomOnScreen(const QWidget* window) {
    const QScreen* screen = screenOf(window);
    if (!screen)
        return {};
    return screen->availableGeometry().marginsRemoved(frameOf(window)).size();
}

void fitToScreen(QWidget* window) {
    const QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QMargins frame = frameOf(window);
    const QRect room = screen->availableGeometry().marginsRemoved(frame);
    const QSize size = window->size().boundedTo(room.size()).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
    // Only a window already placed is moved; the window manager places new ones.
    if (window->isVisible() && !room.contains(window->geometry())) {
        QRect g = window->geometry();
        g.moveRight(std::min(g.right(), room.right()));
        g.moveBottom(std::min(g.bottom(), room.bottom()));
        g.moveLeft(std::max(g.left(), room.left()));
        g.moveTop(std::max(g.top(), room.top()));
        // move() places the frame, geometry() is the client area inside it.
        window->move(g.topLeft() - QPoint(frame.left(), frame.top()));
    }
}

} // namespace qelvar::ui
