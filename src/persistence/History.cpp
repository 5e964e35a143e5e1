#include "persistence/History.h"

#include "app/AppState.h"
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

QStringList columnsOf(const QString &kind)
{
    QStringList names;
    QSqlQuery q(gDB());
    if (!q.exec(QStringLiteral("SELECT * FROM ") + QuoteIdent(kind) + QStringLiteral(" WHERE 0")))
        return names;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        names << rec.fieldName(i);
    return names;
}

// The column as it is named in the table, or an empty-text expression when
// the table has none.
QString selectable(const QStringList &columns, const QString &name)
{
    for (const QString &c : columns)
        if (c.compare(name, Qt::CaseInsensitive) == 0)
            return QuoteIdent(c);
    return QStringLiteral("NULL");
}

void appendKind(const QString &kind, const QString &patientId, QList<HistoryRow> &rows)
{
    const QStringList columns = columnsOf(kind);
    if (columns.isEmpty())
        return;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1, %2, %3, %4, %5 FROM %6 WHERE \"患者番号\"=?")
                            .arg(selectable(columns, kYear), selectable(columns, kMonth),
                                 selectable(columns, kDay), selectable(columns, QStringLiteral("ID")),
                                 selectable(columns, QStringLiteral("終了判定")), QuoteIdent(kind));
    if (!q.prepare(sql))
        return;
    q.addBindValue(patientId);
    if (!q.exec())
        return;
    while (q.next()) {
        HistoryRow row;
        row.date = q.value(0).toString() + u'.' + twoDigits(q.value(1).toString()) + u'.'
                 + twoDigits(q.value(2).toString());
        row.id = q.value(3).toString();
        row.kind = kind;
        row.state = q.value(4).toString();
        rows << row;
    }
}

} // namespace

QList<HistoryRow> LoadPatientHistory(const QString &patientId, const QStringList &kinds)
{
    QList<HistoryRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    for (const QString &kind : kinds)
        appendKind(kind, patientId, rows);
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
