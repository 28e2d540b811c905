#pragma once
// Where a window of its own opens: beside the window it belongs to, on that
// window's screen, never across a screen edge.
class QWidget;

namespace kv {

// Moves `window` (not yet shown, at its size) beside `owner`'s window: to its
// right where the screen has room, else to its left, else over its right
// end; always whole on the owner's screen.
void placeBeside(QWidget* window, const QWidget* owner);

// Moves `window` to the middle of `owner`'s window, whole on its screen.
void placeOver(QWidget* window, const QWidget* owner);

}  // namespace kv
