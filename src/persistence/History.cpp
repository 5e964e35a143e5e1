#include "persistence/History.h"

#include "app/AppState.h"
#include "persistence/SavedDocuments.h"
#include "storage/ColumnCatalog.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
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

// The patient's rows of one kind's table, the columns it has among those
// the history shows (a missing one reads as empty). A value is selected as
// text on the server, where the kinds' tables may type a column differently
// and the branches of one statement must agree.
QString selectKind(int branch, const QString &table, const QStringList &columns)
{
    const bool server = CurrentEngine() == Engine::Postgres;
    QStringList values{QString::number(branch)};
    for (const QString &name : {kYear, kMonth, kDay, kId, kState}) {
        const QString column = SelectableColumn(columns, name);
        values << (server ? QStringLiteral("CAST(%1 AS TEXT)").arg(column) : column);
    }
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3=?").arg(values.join(u','), QuoteIdent(table), QuoteIdent(kPatient));
}

struct Branch
{
    QString kind;
    QString select;
};

// Runs the branches as one statement; false when it could not run (each is
// then run on its own, so that one table the statement cannot read does not
// hide the others). Rows go to their branch's list.
bool runBranches(const QList<Branch> &branches, qsizetype first, const QString &patientId,
                 QList<QList<HistoryRow>> &byBranch)
{
    QStringList selects;
    for (const Branch &b : branches)
        selects << b.select;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(selects.join(QStringLiteral(" UNION ALL "))))
        return false;
    for (qsizetype i = 0; i < branches.size(); ++i)
        q.addBindValue(patientId);
    if (!q.exec())
        return false;
    while (q.next()) {
        const qsizetype at = q.value(0).toLongLong() - first;
        if (at < 0 || at >= branches.size())
            continue;
        HistoryRow row;
        row.date = SqlValue(q, 1).toString() + u'.' + twoDigits(SqlValue(q, 2).toString()) + u'.'
                 + twoDigits(SqlValue(q, 3).toString());
        row.id = SqlValue(q, 4).toString();
        row.kind = branches[at].kind;
        row.state = SqlValue(q, 5).toString();
        byBranch[first + at] << row;
    }
    return true;
}

} // namespace

QList<HistoryRow> LoadPatientHistory(const QString &patientId, const QStringList &kinds)
{
    QList<HistoryRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    // The columns of every table come in one question and the rows of up to
    // a hundred kinds in one statement: a hospital's hundreds of kinds are
    // not as many round trips to the server at each choice of patient.
    const QHash<QString, QStringList> columns = TablesHavingColumns({kYear, kMonth, kDay, kId, kState, kPatient});
    QList<Branch> branches;
    // Kinds whose names differ only in letter case are one kind: listed once,
    // under the first of their names.
    for (const StoredKind &stored : OneKindPerTable(kinds)) {
        const QStringList has = columns.value(stored.table);
        if (SelectableColumn(has, kPatient) == QStringLiteral("NULL"))
            continue;
        branches.append({stored.kind, selectKind(int(branches.size()), stored.table, has)});
    }
    QList<QList<HistoryRow>> byBranch(branches.size());
    constexpr qsizetype kPerStatement = 100; // SQLite joins at most 500 SELECTs in one
    for (qsizetype first = 0; first < branches.size(); first += kPerStatement) {
        const QList<Branch> part = branches.mid(first, kPerStatement);
        if (!runBranches(part, first, patientId, byBranch))
            for (qsizetype i = 0; i < part.size(); ++i)
                runBranches({part[i]}, first + i, patientId, byBranch);
    }
    for (const QList<HistoryRow> &kindRows : byBranch)
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
