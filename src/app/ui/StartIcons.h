#pragma once
#include <QIcon>

// Pictures of the start window's three data buttons, drawn rather than loaded
// so the program needs no image files of its own.
QIcon FinishedDocumentsIcon(); // a page with a circle: finished documents
QIcon PendingDocumentsIcon();  // a page with a triangle: pending documents
QIcon PatientSelectIcon();     // a person with a magnifier: choose a patient
