#pragma once
#include <QString>

// State shared by every window for the whole run.

// The current doctor (set by Set_Dr): decimal text of 医師.ID, and the name.
extern QString CurrentDrID;
extern QString CurrentDrName;

// The current patient (set by LookupPatient).
extern QString PatientID;
extern QString PatientName;
extern QString PatientKana;
extern int PatientSex;      // 1 male, 2 female
extern int PatientBirth;    // yyyymmdd
extern QString PatientEra;  // era name, e.g. 昭和
extern QString PatientEraYear; // two digits
extern QString PatientAddress;
extern int PatientAge;
