#pragma once
#include <QMargins>
#include <QRect>

// Where a top-level window goes so that it lies, frame included, inside the
// usable part of the screen (`available`: the screen less the desktop's
// panels). `wanted` is the frame's top-left corner and the size of the
// window's inside, as a window is moved and sized; `frame` is what the
// window system adds around that inside (title bar, borders). A window too
// large for the screen is made smaller; one that reaches past an edge is
// moved back onto the screen.
QRect FitWindowToScreen(const QRect &wanted, const QMargins &frame, const QRect &available);
