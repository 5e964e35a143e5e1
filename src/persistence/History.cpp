#include "persistence/History.h"

#include "app/AppState.h"
#include "persistence/SavedDocuments.h"
#include "storage/Database.h"
#include "templates/TemplateReader.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

const QString kYear = QStringLiteral("日付Y");
const QString kMonth = QStringLiteral("日付M");
const QString kDay = QStringLiteral("日付D");

// Right("00" & value, 2)
QString twoDigits(const QString &value)
{
    return (QStringLiteral("00") + value).right(2);
}

// table: the kind's table as StoredTableName names it.
void appendKind(const QString &kind, const QString &table, const QString &patientId, QList<HistoryRow> &rows)
{
    const QStringList columns = TableColumns(table);
    if (columns.isEmpty())
        return;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM %6 WHERE \"患者番号\"=?")
                            .arg(SelectableColumn(columns, kYear), SelectableColumn(columns, kMonth),
                                 SelectableColumn(columns, kDay), SelectableColumn(columns, QStringLiteral("ID")),
                                 SelectableColumn(columns, QStringLiteral("終了判定")), QuoteIdent(table));
    if (!q.prepare(sql))
        return;
    q.addBindValue(patientId);
    if (!q.exec())
        return;
    while (q.next()) {
        HistoryRow row;
        row.date = SqlValue(q, 0).toString() + u'.' + twoDigits(SqlValue(q, 1).toString()) + u'.'
                 + twoDigits(SqlValue(q, 2).toString());
        row.id = SqlValue(q, 3).toString();
        row.kind = kind;
        row.state = SqlValue(q, 4).toString();
        rows << row;
    }
}

} // namespace

QList<HistoryRow> LoadPatientHistory(const QString &patientId, const QStringList &kinds)
{
    QList<HistoryRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    // Kinds whose names differ only in letter case are one kind: listed once,
    // under the first of their names.
    for (const StoredKind &stored : OneKindPerTable(kinds))
        appendKind(stored.kind, stored.table, patientId, rows);
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
