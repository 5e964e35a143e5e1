#pragma once

class QStyle;

// The application's style: base (taken over) behind a layer that keeps
// pictures it draws alike again and again: the standard icons that every
// document window's frame asks for, and the scroll bars of the main window,
// which show anew with every document opened.
QStyle *PictureKeepingStyle(QStyle *base);

// Puts the application's own style behind that layer.
void InstallAppStyle();
