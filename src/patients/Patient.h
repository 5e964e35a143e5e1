#pragma once
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Makes the patient with this ID current (fills the Patient* state of
// app/AppState.h). False, with the state emptied, when there is no such patient.
bool LookupPatient(const QString &id);

// The current patient as the main window's top bar shows it, each value with
// the tag of its patient item: 患者番号, カナ名, 患者名, 生年 (era and year),
// 生月, 生日, 年齢, 性別, 住所. No birth date leaves month, day and age empty.
QList<QPair<QString, QString>> CurrentPatientValues();

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
