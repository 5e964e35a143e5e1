#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

// Makes the patient with this ID current (fills the Patient* state of
// app/AppState.h). False, with the state emptied, when there is no such patient.
bool LookupPatient(const QString &id);

// "平成010108" (era name, two-digit era year, month, day) to 19890108.
int EraDateToNumber(const QString &eraDate);

// True when the era date (as EraDateToNumber takes it) names a day that
// exists and lies inside its era: 平成31年4月30日 is, 平成31年5月1日 is not.
bool IsValidEraDate(const QString &eraDate);

// The Japanese era of a birth date given as yyyymmdd.
struct Era
{
    QString name;   // "令和" ... "明治"; empty before 18680101
    QString letter; // "R", "H", "S", "T", "M"; empty before 18680101
    int year = 0;   // era year, 1 for the first (partial) year
};
Era EraOfDate(int yyyymmdd);

// Era names, newest first: 令和, 平成, 昭和, 大正, 明治.
QStringList EraNames();

// Whole years from birth (yyyymmdd) to the given day; the age goes up on the
// birthday itself.
int AgeOn(int birth, const QDate &day);

// A date as the number yyyymmdd.
int DateNumber(const QDate &day);
