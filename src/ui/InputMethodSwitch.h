#pragma once

class QWidget;

// Turns the desktop's input method on (hiragana input) or off (direct input)
// when a field that wants one or the other gets the keyboard. Qt can only allow
// or forbid input-method input for a widget; switching the input method itself
// goes through its own D-Bus controller: fcitx5's, or IBus's where IBus is the
// one in use. On IBus, on selects the Japanese engine the user has set up
// (mozc-jp when none is) and off returns to the engine in use before. The
// calls do not wait for an answer. Without an input method, or without a
// session bus, nothing happens and nothing is reported.
class InputMethodSwitch
{
public:
    static void switchOn();
    static void switchOff();
    // Switches on (or off) each time widget gets the keyboard focus, and keeps
    // the widget's own input-method attribute in step.
    static void followFocus(QWidget *widget, bool on);
};
