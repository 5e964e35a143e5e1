#include "persistence/History.h"

#include "app/AppState.h"
#include "persistence/AcrossKinds.h"
#include "persistence/SavedDocuments.h"
#include "storage/Database.h"
#include "templates/TemplateReader.h"

#include <QSqlQuery>

#include <algorithm>

namespace {

const QString kYear = QStringLiteral("日付Y");
const QString kMonth = QStringLiteral("日付M");
const QString kDay = QStringLiteral("日付D");
const QString kId = QStringLiteral("ID");
const QString kState = QStringLiteral("終了判定");
const QString kPatient = QStringLiteral("患者番号");

// Right("00" & value, 2)
QString twoDigits(const QString &value)
{
    return (QStringLiteral("00") + value).right(2);
}

} // namespace

QList<HistoryRow> LoadPatientHistory(const QString &patientId, const QStringList &kinds)
{
    QList<HistoryRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    // Kinds whose names differ only in letter case are one kind: listed once,
    // under the first of their names.
    const QList<StoredKind> stored = OneKindPerTable(kinds);
    AcrossKinds select;
    select.values = QStringList{kYear, kMonth, kDay, kId, kState};
    select.needed = QStringList{kPatient};
    select.where = QuoteIdent(kPatient) + QStringLiteral("=?");
    select.binds = QVariantList{patientId};
    select.asText = true;
    QList<QList<HistoryRow>> byKind(stored.size());
    SelectAcrossKinds(stored, select, [&](qsizetype kind, const QSqlQuery &q) {
        HistoryRow row;
        row.date = SqlValue(q, 1).toString() + u'.' + twoDigits(SqlValue(q, 2).toString()) + u'.'
                 + twoDigits(SqlValue(q, 3).toString());
        row.id = SqlValue(q, 4).toString();
        row.kind = stored[kind].kind;
        row.state = SqlValue(q, 5).toString();
        byKind[kind] << row;
    });
    for (const QList<HistoryRow> &kindRows : byKind)
        rows << kindRows;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const HistoryRow &a, const HistoryRow &b) { return a.date < b.date; });
    return rows;
}

QList<HistoryRow> LoadPatientHistory()
{
    return LoadPatientHistory(PatientID, TemplateKinds());
}

QString HistoryMenuCaption(const HistoryRow &row, HistoryMarks marks)
{
    QString mark = row.isPending() ? QStringLiteral("△") : QStringLiteral("○");
    if (marks == HistoryMarks::DocumentWindow)
        mark += QStringLiteral("　");
    return mark + row.date + QStringLiteral("  ") + row.kind;
}
