#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// One saved document of the current patient, as a row of the history list.
struct HistoryRow
{
    QString date;  // the document's own date: 日付Y "." MM "." DD, e.g. "2006.04.05"
    QString id;    // ID (the document number) as text
    QString kind;  // the kind (table name)
    QString state; // 終了判定 as text: "0" pending, "1" finished, "" never set

    bool isPending() const { return state == QStringLiteral("0"); }
};

// The patient's documents of every kind whose table exists, sorted by date
// text ascending (documents of one date keep the kinds' order, then the
// table's). A kind whose table is missing or has no 患者番号 is skipped; a
// missing date column reads as empty.
QList<HistoryRow> LoadPatientHistory(const QString &patientId, const QStringList &kinds);
// The current patient (PatientID) over every kind of DATA/ini.
QList<HistoryRow> LoadPatientHistory();

// Menu captions: the main window marks "△"/"○", the document window
// "△　"/"○　"; then the date, two spaces and the kind.
enum class HistoryMarks { MainWindow, DocumentWindow };
QString HistoryMenuCaption(const HistoryRow &row, HistoryMarks marks);
