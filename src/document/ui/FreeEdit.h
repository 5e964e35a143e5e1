#pragma once
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

class FM;
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

// Puts a picture or a text floating on the page at twips, with its buttons
// (a picture just chosen or a text just written, or as a recovered draft left
// them). A text given an empty size gets the size that fits it.
void PlaceFloatingPicture(FM &window, const QImage &picture, const QRect &twips);
void PlaceFloatingText(FM &window, const QString &text, const QRect &twips, const QColor &color, double pointSize,
                       bool bold, bool underline);
