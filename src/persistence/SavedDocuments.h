#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The saved-documents list: a doctor's pending or finished documents.

struct SavedDocumentRow
{
    QString editDate;    // 編集日 as "2006/10/05"
    QString date;        // the document's date fields as "2006/04/05"
    QString patientId;   // 患者番号
    QString patientName; // Kanja_Data.Name, empty when unknown
    QString kind;
    QString id;          // ID as text
};

// The documents of one kind saved by doctor drId with 終了判定 = state (0
// pending, 1 finished), in table order, without patient names. A kind without
// a table contributes nothing; missing date columns read as empty.
QList<SavedDocumentRow> LoadSavedDocuments(const QString &kind, const QString &drId, int state);

// Kanja_Data.Name for each distinct patient number (one query per few
// hundred numbers); numbers without a patient are absent from the result.
QHash<QString, QString> PatientNames(const QStringList &patientIds);

// 編集日 by the pattern "####/##/##": 20061005 gives "2006/10/05".
QString FormatEditDate(const QVariant &value);
// 日付Y "/" Right("0" & 日付M, 2) "/" Right("0" & 日付D, 2).
QString DocumentDateText(const QVariant &year, const QVariant &month, const QVariant &day);

// Deletes the document's row and its page image. False, with nothing deleted,
// when the row could not be deleted.
bool DeleteSavedDocument(const QString &kind, int id);
