#pragma once
#include <QDate>
#include <QString>

// Makes the patient with this ID current (fills the Patient* state of
// app/AppState.h). False, with the state emptied, when there is no such patient.
bool LookupPatient(const QString &id);

// "平成010108" (era name, two-digit era year, month, day) to 19890108.
int EraDateToNumber(const QString &eraDate);
