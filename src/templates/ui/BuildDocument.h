#pragma once
#include <QString>

#include <functional>

class FM;

// Turns the document window into a new document of kind: unloads the current
// window (which may ask to save it), loads a fresh one, builds every element
// of the kind's template hidden, fills the patient, doctor, hospital and date
// fields, orders the fields for reading, shows the window, and on the first
// use of the kind creates its table and DATA/pic_save/<kind>. False when the
// old document stayed open (nothing was built). beforeShown, when given, runs
// on the built window just before it shows (a reopened document puts its
// stored values in, so the page is painted once, with them).
bool BuildDocument(const QString &kind, const std::function<void(FM &)> &beforeShown = {});

// Fills LVTabIndex: the input fields by top, then left.
void BuildTabOrder(FM &window);
