#include "app/AppState.h"

QString CurrentDrID;
QString CurrentDrName;

QString PatientID;
QString PatientName;
QString PatientKana;
int PatientSex = 0;
int PatientBirth = 0;
QString PatientEra;
QString PatientEraYear;
QString PatientAddress;
int PatientAge = 0;
