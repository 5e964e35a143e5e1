#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The saved-documents list: a doctor's pending or finished documents.

// A date column of the list: the text it shows and the date it stands for.
// Dates stored as numbers keep only the number and are written out when a row
// is shown, so that a list of many thousand documents is read quickly.
class ListDate
{
public:
    ListDate() = default;
    // 編集日 by the pattern "####/##/##": 20061005 shows "2006/10/05".
    static ListDate editDate(const QVariant &value);
    // 日付Y "/" Right("0" & 日付M, 2) "/" Right("0" & 日付D, 2).
    static ListDate documentDate(const QVariant &year, const QVariant &month, const QVariant &day);

    QString text() const;
    // The date as yyyymmdd (more digits for years past 9999), or -1 when the
    // text is not a date (empty, letters, ...).
    qint64 value() const { return m_value; }
    // Dates compare by value; texts that are no date come first, by text.
    static bool less(const ListDate &a, const ListDate &b);

private:
    qint64 m_value = -1;
    QString m_text; // null when the text follows from m_value
    bool m_editPattern = false;
};

struct SavedDocumentRow
{
    ListDate editDate;   // 編集日, shown "2006/10/05"
    ListDate date;       // the document's date fields, shown "2006/04/05"
    QString patientId;   // 患者番号
    QString patientName; // Kanja_Data.Name, empty when unknown
    QString kind;
    int id = 0;          // ID
};
Q_DECLARE_TYPEINFO(ListDate, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(SavedDocumentRow, Q_RELOCATABLE_TYPE);

// The documents of one kind saved by doctor drId with 終了判定 = state (0
// pending, 1 finished), in table order, without patient names. A kind without
// a table contributes nothing; missing date columns read as empty.
QList<SavedDocumentRow> LoadSavedDocuments(const QString &kind, const QString &drId, int state);

// A kind with the table that holds its documents (StoredTableName).
struct StoredKind
{
    QString kind;
    QString table;
};
// Kinds whose names differ only in letter case are one kind with one table:
// of kinds, one per table, under the first of its names, in list order.
QList<StoredKind> OneKindPerTable(const QStringList &kinds);
// LoadSavedDocuments over many kinds at once (see OneKindPerTable): the
// kinds in their order, each in table order.
QList<SavedDocumentRow> LoadSavedDocuments(const QList<StoredKind> &kinds, const QString &drId, int state);

// Kanja_Data.Name for each distinct patient number (the first patient row of
// a number); numbers without a patient are absent from the result.
QHash<QString, QString> PatientNames(const QStringList &patientIds);

// 編集日 by the pattern "####/##/##": 20061005 gives "2006/10/05".
QString FormatEditDate(const QVariant &value);
// 日付Y "/" Right("0" & 日付M, 2) "/" Right("0" & 日付D, 2).
QString DocumentDateText(const QVariant &year, const QVariant &month, const QVariant &day);

enum class Existence { Yes, No, Unknown };
// Whether the kind's table holds the row with this ID; Unknown when that
// cannot be read (no database, a kind without a usable table name, an error).
Existence SavedDocumentExists(const QString &kind, int id);

// Deletes the document's row and its page image, keeping both as its
// deleted version (persistence/KeptVersions.h). False, with nothing deleted,
// when the row could not be deleted or its version not kept.
bool DeleteSavedDocument(const QString &kind, int id);

// Whether the document with this ID is stored finished (終了判定 = 1). False
// when it is pending, has no row or cannot be read.
bool StoredAsFinished(const QString &kind, int id);
