#pragma once

// A place where a test stops one workstation between two steps of a change,
// to run another workstation's work exactly in that gap. A process started
// with RYDOL_PAUSE_AT=<step> and RYDOL_PAUSE_FILE=<path> creates the file the
// first time it reaches that step and waits until the file is removed (at
// most a minute). Without both variables it does nothing.
//
// Steps: "image-written" (a save's new image is on the disk, the row not yet
// written), "number-claimed" (a new document's number is taken, its row not
// yet written), "version-claimed" (the document's next version is taken),
// "row-written" (the row is written, not committed), "committed" (the save
// is committed, its image not yet in place), "file-step-done" (an image has
// been moved into place or removed, the step not yet forgotten),
// "patient-number-chosen" (a new patient's number is chosen, not stored).
void PausePoint(const char *step);
