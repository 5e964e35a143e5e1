#pragma once
#include "persistence/SavedDocuments.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// What the readable archive (PDFs and plain HTML pages that a browser opens
// from the folder, without the program or the database) is made of.

// A stored document as the archive holds it: every saved document is one
// entry, and each of its kept earlier versions (all kept versions of a
// deleted document) another, which ArchivePdfPath tells apart.
struct ArchivedDocument
{
    QString kind;
    int id = 0;
    int version = 0;     // the stored version (0 before versions were kept)
    bool current = true; // the version the database holds now
    bool deleted = false; // a kept version that was the document's delete
    QString savedAt;     // when a kept version was saved ("" unknown)
    QString patientId;   // 患者番号
    QString drId;        // DrID
    QString state;       // 終了判定: "0" pending, "1" finished, "" never set
    ListDate date;       // the document's date fields
    ListDate editDate;   // 編集日
    // Everything the PDF is made from: the row, the page image file, the
    // template, the patient as the document shows them. A PDF is made again
    // when this changed since it was written. A kept version never changes:
    // its fingerprint is the hash it was kept with.
    QByteArray fingerprint;
};

// A patient as the archive's pages name them.
struct ArchivedPatient
{
    QString id, name, kana;
    int birth = 0; // yyyymmdd, 0 unknown
    bool registered = false;
};

struct ArchiveCatalog
{
    QList<ArchivedDocument> documents;     // by kind, then ID
    QHash<QString, ArchivedPatient> patients; // by patient number
    QHash<QString, QString> doctors;       // name by DrID
    QStringList kindsRead;                 // kinds whose documents are all listed
    QStringList problems;                  // kinds whose documents could not be read
};

// Reads every saved document of the kinds (one per table) and every kept
// earlier version, with their patients.
// Leaves the current patient (app/AppState.h) as the last one looked up.
ArchiveCatalog ReadArchiveCatalog(const QStringList &kinds);

// Where an entry's PDF lies in the archive folder: pdf/<kind>/<ID>.pdf for
// the current version, pdf/<kind>/<ID>/v<version>.pdf for an older one.
QString ArchivePdfPath(const ArchivedDocument &doc);
// The page of a patient in the archive folder: patients/p<number>.html for
// numbers of ASCII letters and digits, patients/x<hex of UTF-8>.html otherwise.
QString ArchivePatientPage(const QString &patientId);

// What the archive folder holds from the last run: file (relative path) and
// the fingerprint it was made from (empty for the HTML pages). Kept in
// rydol-archive.tsv in the folder.
using ArchiveState = QHash<QString, QByteArray>;
ArchiveState ReadArchiveState(const QString &folder);
bool WriteArchiveState(const QString &folder, const ArchiveState &state);
