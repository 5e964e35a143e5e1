#pragma once
#include <QString>

// A message that does not answer something the user just did (a task in the
// background failed) goes through the prompter only once the user has left
// the keyboard and the mouse alone for a moment: a box that opens under the
// fingers of someone typing takes the keystrokes meant for a field, and one
// of them closes it unread.

// Starts watching the application's keyboard and mouse input (once).
void WatchUserInput();
// Shows text with prompter().message at once when no input has been seen
// for the pause (or none at all since watching began), else as soon as
// there has been none for that long. Waiting messages keep their order.
void MessageWhenIdle(const QString &text);
// The pause: 1500 ms unless a test sets another.
void SetIdlePause(int ms);
