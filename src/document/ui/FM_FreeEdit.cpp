#include "document/ui/FM.h"

// Mouse on the page in free editing. Drawing with the palette's tools is not
// there yet: the page only takes the clicks.

void FM::Form_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
}

void FM::Form_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, double, double)
{
}

void FM::Form_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
}
