#pragma once

#include <QMargins>

class QWidget;

// Where a window opens that belongs to another one (a dialog, a message box,
// a window opened by a button of another window): centred over its owner, at
// least as large as its content asks for, and inside the owner's screen.

// What the window system puts around a window (title bar, borders): known
// once the window has been shown, nothing before.
QMargins FrameOf(const QWidget *window);

// The window a dialog or message box belongs to: the active window, else a
// modal window that is shown, else the only visible window; nullptr when
// none can be told.
QWidget *OwnerWindow();

// Sizes window to show its content and centres it over owner (a hidden owner
// counts where it was last shown), or over the screen without an owner. Does
// not show it.
void PlaceOver(QWidget *window, const QWidget *owner);

// PlaceOver, unless window is shown already (then it stays where the user put
// it), then shows, raises and activates it.
void ShowOver(QWidget *window, const QWidget *owner);
