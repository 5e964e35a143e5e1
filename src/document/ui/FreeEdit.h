#pragma once
#include <QRect>

class QWidget;

// Twip geometry of the floating picture, the floating text and their buttons.
// The pixel geometry follows from it; a widget moved in pixels by other code
// is read back from its pixel geometry.
QRect FloatTwips(const QWidget *widget);
void SetFloatTwips(QWidget *widget, const QRect &twips);
inline void MoveFloatTwips(QWidget *widget, int left, int top)
{
    const QRect r = FloatTwips(widget);
    SetFloatTwips(widget, QRect(left, top, r.width(), r.height()));
}

// Lets the main window's buttons and the document menu open the picture and
// text dialogs, and lets both dialogs hand their result to the document window.
void InstallFreeEditHooks();
