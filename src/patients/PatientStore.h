#pragma once
#include <QString>
#include <QVector>
#include <optional>

// One row of Kanja_Data as the entry window writes it.
struct PatientRecord
{
    QString id;
    QString name;
    QString kana;
    int birth = 0; // yyyymmdd
    int sex = 0;   // 1 male, 2 female
    QString address;
};

// Adds the patient, or overwrites the patient that already has this ID, with
// its 操作履歴 row. False when nothing could be stored.
bool StorePatient(const PatientRecord &patient);
// Adds the patient under the next free number (NextFreePatientID), chosen
// and taken in one transaction that other workstations wait for, so two
// workstations registering at once never share a number. patient.id is set
// on success.
bool RegisterNewPatient(PatientRecord &patient);

// The stored patient with this ID; nullopt when there is none (or the
// patients cannot be read).
std::optional<PatientRecord> ReadPatient(const QString &id);

// A patient number nobody has yet: one above the highest numeric number in
// Kanja_Data ("1" for an empty table). Empty when the patients cannot be read.
QString NextFreePatientID();

struct PatientHit
{
    QString id;
    QString name;
    int birth = 0; // yyyymmdd, 0 when unknown
    int sex = 0;   // 1 male, 2 female
};
// Patients whose kana, name or number contains text anywhere (every patient
// for an empty text), compared in their folded forms (FoldForSearch), in the
// text order of their numbers. nullopt when the search failed.
std::optional<QVector<PatientHit>> FindPatientsByKana(const QString &text);

// Folds the search keys the database has left empty (patients added or
// renamed by a writer that does not fold, or every patient of a database
// opened for the first time by this version): work for those alone. The
// search does it first; the program does it at start. False on failure.
bool SyncPatientSearchKeys();
