#include "persistence/AcrossKinds.h"

#include "storage/ColumnCatalog.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"

#include <algorithm>

namespace {

// The SELECTs as one statement, kept prepared for the next call when there
// are several; false when it could not run.
bool runBranches(const QStringList &selects, qsizetype kinds, const QVariantList &binds,
                 const std::function<void(qsizetype, const QSqlQuery &)> &take)
{
    QSqlQuery single(gDB());
    QSqlQuery *q = &single;
    std::shared_ptr<QSqlQuery> kept;
    if (selects.size() > 1) {
        kept = KeptStatement(selects.join(QStringLiteral(" UNION ALL ")));
        q = kept.get();
        if (!q)
            return false;
    } else {
        single.setForwardOnly(true);
        if (!single.prepare(selects.first()))
            return false;
    }
    int at = 0;
    for (qsizetype i = 0; i < selects.size(); ++i)
        for (const QVariant &v : binds)
            q->bindValue(at++, v);
    const bool ran = q->exec();
    while (ran && q->next()) {
        const qsizetype kind = q->value(0).toLongLong();
        if (kind >= 0 && kind < kinds)
            take(kind, *q);
    }
    q->finish();
    return ran;
}

// Where name is among a table's columns (as SelectableColumn finds it); -1
// when it is not.
qsizetype columnIn(const QStringList &columns, const QString &name)
{
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

void SelectAcrossKinds(const QList<StoredKind> &kinds, const AcrossKinds &select,
                       const std::function<void(qsizetype kind, const QSqlQuery &row)> &take)
{
    if (!DatabaseIsOpen() || kinds.isEmpty())
        return;
    QStringList tables;
    for (const StoredKind &k : kinds)
        tables << k.table;
    const bool server = CurrentEngine() == Engine::Postgres;
    const bool asText = select.asText && server;
    QHash<QString, QStringList> categories;
    const QHash<QString, QStringList> columns =
        ColumnsOfTables(tables, select.values + select.needed, server && !asText ? &categories : nullptr);
    // The server joins a column only with columns of its type category: the
    // kinds go in groups of one category for each value (SQLite joins any).
    QList<std::pair<QString, QStringList>> groups;
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        const QStringList has = columns.value(kinds[k].table);
        const bool askable = std::all_of(select.needed.cbegin(), select.needed.cend(), [&](const QString &name) {
            return SelectableColumn(has, name) != QStringLiteral("NULL");
        });
        if (!askable)
            continue;
        const QStringList typeOf = categories.value(kinds[k].table);
        QStringList values{QString::number(k)};
        QString group;
        for (const QString &name : select.values) {
            const qsizetype at = columnIn(has, name);
            const QString column = at >= 0 ? QuoteIdent(has[at]) : QStringLiteral("NULL");
            values << (asText ? QStringLiteral("CAST(%1 AS TEXT)").arg(column) : column);
            group += at >= 0 && at < typeOf.size() ? typeOf[at] : QStringLiteral("-");
        }
        const QString branch = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                   .arg(values.join(u','), QuoteIdent(kinds[k].table), select.where);
        auto same = std::find_if(groups.begin(), groups.end(), [&](const auto &g) { return g.first == group; });
        if (same == groups.end())
            groups.append({group, {branch}});
        else
            same->second << branch;
    }
    constexpr qsizetype kPerStatement = 100; // SQLite joins at most 500 SELECTs in one
    for (const auto &[group, branches] : groups)
        for (qsizetype first = 0; first < branches.size(); first += kPerStatement) {
            const QStringList part = branches.mid(first, kPerStatement);
            if (!runBranches(part, kinds.size(), select.binds, take))
                for (const QString &one : part)
                    runBranches({one}, kinds.size(), select.binds, take);
        }
}
