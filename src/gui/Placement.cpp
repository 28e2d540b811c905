#include "gui/Placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kv {

namespace {

// The frame a window manager puts around `window` once shown, taken from its
// owner's until it has one of its own.
QMargins frameOf(const QWidget* w) {
    const QRect inner = w->geometry(), outer = w->frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

// Moves the window's frame to `at`, pulled back onto `screen` where it would cross an edge.
void moveOnto(QWidget* window, QPoint at, const QSize& outer, const QRect& screen) {
    if (!screen.isEmpty()) {
        at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - outer.width())));
        at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - outer.height())));
    }
    window->move(at);
}

}  // namespace

void placeBeside(QWidget* window, const QWidget* owner) {
    const QWidget* top = owner->window();
    const QRect screen = top->screen() ? top->screen()->availableGeometry() : QRect();
    const QRect g = top->frameGeometry();
    const QSize outer = window->size().grownBy(frameOf(top));
    QPoint at;
    if (screen.isEmpty() || g.right() + outer.width() <= screen.right())
        at = QPoint(g.right() + 1, g.top());
    else if (g.left() - outer.width() >= screen.left())
        at = QPoint(g.left() - outer.width(), g.top());
    else   // the owner fills the screen: over its right end, clear of its menus and toolbar
        at = QPoint(g.right() - outer.width() - 40, g.top() + std::min(160, std::max(0, g.height() - outer.height())));
    moveOnto(window, at, outer, screen);
}

void placeOver(QWidget* window, const QWidget* owner) {
    const QWidget* top = owner->window();
    const QRect screen = top->screen() ? top->screen()->availableGeometry() : QRect();
    const QSize outer = window->size().grownBy(frameOf(top));
    moveOnto(window, top->frameGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2), outer, screen);
}

}  // namespace kv
