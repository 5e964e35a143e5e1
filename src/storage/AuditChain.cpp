#include "storage/AuditChain.h"

#include "storage/AuditTrail.h"
#include "storage/ChainHash.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"

#include <QSqlQuery>

namespace {

// Whether 操作履歴 has the columns of the chain and 操作履歴連結 exists.
bool g_chained = false;
// This workstation committed rows that wait to be linked.
bool g_waiting = false;

const QString kChainColumns[] = {QStringLiteral("前"), QStringLiteral("検証")};

// Hashes of a row's values: "操作履歴/2" of the values alone, as written
// now; "操作履歴/1" with the 検証 of the row before (in 前), as the earlier
// release wrote them.
QString valuesHash(const QVariantList &values, const QString *previous)
{
    ChainHash hash;
    hash.add(previous ? QStringLiteral("操作履歴/1") : QStringLiteral("操作履歴/2"));
    if (previous)
        hash.add(*previous);
    for (int i = 0; i < values.size(); ++i) {
        const QString text = values[i].isNull() ? QString() : values[i].toString();
        // The kind is spelt as the server stores names (a move keeps the hash).
        hash.add(i == 4 ? dialect::PortableName(text) : text);
    }
    return hash.hex();
}

QString linkHash(const QString &before, qint64 id, const QString &own)
{
    return ChainHash().add(QStringLiteral("操作履歴連結")).add(before).add(id).add(own).hex();
}

// Inside a write transaction holding the links: every committed row waiting
// for its place gets the next ones, in ID order.
bool linkWaiting()
{
    QSqlQuery q(gDB());
    if (!q.exec(QStringLiteral("SELECT \"順\", \"連結\" FROM \"操作履歴連結\" "
                               "WHERE \"順\" = (SELECT MAX(\"順\") FROM \"操作履歴連結\")")))
        return false;
    qint64 place = q.next() ? q.value(0).toLongLong() : 0;
    QString link = place > 0 ? q.value(1).toString() : QString();
    if (!q.exec(QStringLiteral("SELECT l.\"履歴\", a.\"検証\" FROM \"操作履歴連結\" l JOIN \"操作履歴\" a ON a.%1 = l.\"履歴\" "
                               "WHERE l.\"順\" IS NULL ORDER BY l.\"履歴\"")
                    .arg(QuoteIdent(QStringLiteral("ID")))))
        return false;
    QList<std::pair<qint64, QString>> waiting;
    while (q.next())
        waiting.append({q.value(0).toLongLong(), q.value(1).toString()});
    q.finish();
    const KeptQuery update(QStringLiteral("UPDATE \"操作履歴連結\" SET \"順\"=?, \"連結\"=? WHERE \"履歴\"=?"));
    for (const auto &[id, own] : waiting) {
        link = linkHash(link, id, own);
        update->addBindValue(++place);
        update->addBindValue(link);
        update->addBindValue(id);
        if (!update->exec())
            return false;
    }
    return true;
}

// Links the waiting rows in a transaction of its own; when another
// workstation holds the links, waits for it or (wait false) leaves them.
bool linkInOwnTransaction(bool wait)
{
    if (!dialect::BeginWrite())
        return false;
    QSqlDatabase db = gDB();
    if (dialect::LockAuditLinks(wait) && linkWaiting() && db.commit())
        return true;
    db.rollback();
    return false;
}

// Walks the rows of a query whose columns from `first` on are the row's ID,
// its values, 前 and 検証.
struct RowAt
{
    RowAt(const QSqlQuery &q, int first)
        : present(!q.value(first).isNull()), id(q.value(first).toLongLong()),
          previous(SqlValue(q, first + 8).toString()), stored(SqlValue(q, first + 9))
    {
        for (int i = first + 1; i <= first + 7; ++i)
            values << SqlValue(q, i);
    }
    // Whether 検証 is the hash of its values as written now or, chained
    // after the row before, by the earlier release.
    bool intact() const
    {
        const QString own = stored.toString();
        return !stored.isNull() && (own == valuesHash(values, nullptr) || own == valuesHash(values, &previous));
    }
    bool present;
    qint64 id;
    QVariantList values;
    QString previous;
    QVariant stored;
};

QString rowColumns()
{
    return QStringLiteral("a.%1, a.\"日時\", a.\"端末\", a.%2, a.\"操作\", a.\"書類\", a.\"書類番号\", a.\"患者番号\", "
                          "a.\"前\", a.\"検証\"")
        .arg(QuoteIdent(QStringLiteral("ID")), QuoteIdent(QStringLiteral("DrID")));
}

} // namespace

bool AuditChained()
{
    return g_chained;
}

QString AuditOwnHash(const QVariantList &values)
{
    return valuesHash(values, nullptr);
}

bool AwaitAuditLink(qint64 id)
{
    {
        const KeptQuery q(QStringLiteral("INSERT INTO \"操作履歴連結\" (\"履歴\") VALUES (?)"));
        q->addBindValue(id);
        if (!ExecNoted(*q))
            return false;
    }
    if (CurrentEngine() != Engine::Postgres)
        return linkWaiting();
    g_waiting = true;
    return true;
}

void LinkAuditRows()
{
    // Rows another workstation's linking did not see (it read the waiting
    // rows before this commit) are tried again after the next commit and
    // when the records are closed.
    if (g_waiting && DatabaseIsOpen() && !InTransaction())
        g_waiting = !linkInOwnTransaction(false);
}

void PrepareAuditChain()
{
    QStringList columns = TableColumns(QStringLiteral("操作履歴"));
    for (const QString &column : kChainColumns)
        if (!columns.contains(column)) {
            QSqlQuery q(gDB());
            q.exec(QStringLiteral("ALTER TABLE \"操作履歴\" ADD COLUMN \"%1\" VARCHAR(64)").arg(column));
        }
    columns = TableColumns(QStringLiteral("操作履歴"));
    g_chained = columns.contains(kChainColumns[0]) && columns.contains(kChainColumns[1])
             && !TableColumns(QStringLiteral("操作履歴連結")).isEmpty();
    if (!g_chained)
        return;
    // The rows an earlier release chained, each by its 検証 to the one before
    // it in ID order, keep that order and are linked by their 検証 (one
    // statement: workstations starting together make it once).
    QSqlQuery q(gDB());
    if (q.exec(QStringLiteral("SELECT 1 FROM \"操作履歴連結\" LIMIT 1")) && !q.next())
        q.exec(QStringLiteral("INSERT INTO \"操作履歴連結\" (\"履歴\", \"順\", \"連結\") SELECT %1, %1, \"検証\" "
                              "FROM \"操作履歴\" WHERE \"検証\" IS NOT NULL "
                              "AND NOT EXISTS (SELECT 1 FROM \"操作履歴連結\")")
                   .arg(QuoteIdent(QStringLiteral("ID"))));
}

AuditCheck VerifyAuditChain()
{
    AuditCheck check;
    if (!DatabaseIsOpen() || !g_chained)
        return check;
    linkInOwnTransaction(true);
    const QString id = QuoteIdent(QStringLiteral("ID"));
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    // The chain, in its order. A link whose row is gone is passed over: the
    // next row's link, made from it, tells.
    if (!q.exec(QStringLiteral("SELECT l.\"連結\", %1 FROM \"操作履歴連結\" l LEFT JOIN \"操作履歴\" a ON a.%2 = l.\"履歴\" "
                               "WHERE l.\"順\" IS NOT NULL ORDER BY l.\"順\"")
                    .arg(rowColumns(), id)))
        return check;
    QString before;
    while (q.next()) {
        const RowAt row(q, 1);
        if (!row.present)
            continue;
        ++check.checked;
        const QString link = q.value(0).toString();
        const QString own = row.stored.toString();
        if (!row.intact())
            check.breaks.append({row.id, false});
        // Rows the earlier release chained are linked by their own 検証.
        if (link != linkHash(before, row.id, own) && (link != own || row.previous != before))
            check.breaks.append({row.id, true});
        before = link;
    }
    // Rows not linked: each on its own; those before the chain began have no 検証.
    if (!q.exec(QStringLiteral("SELECT MIN(%1) FROM \"操作履歴\" WHERE \"検証\" IS NOT NULL").arg(id)) || !q.next())
        return check;
    const qint64 firstChained = q.value(0).isNull() ? 0 : q.value(0).toLongLong();
    if (!q.exec(QStringLiteral("SELECT %1 FROM \"操作履歴\" a WHERE NOT EXISTS (SELECT 1 FROM \"操作履歴連結\" l "
                               "WHERE l.\"履歴\" = a.%2 AND l.\"順\" IS NOT NULL) ORDER BY a.%2")
                    .arg(rowColumns(), id)))
        return check;
    while (q.next()) {
        const RowAt row(q, 0);
        if (row.stored.isNull() && (firstChained == 0 || row.id < firstChained))
            continue;
        ++check.checked;
        ++check.unlinked;
        if (!row.intact())
            check.breaks.append({row.id, false});
    }
    return check;
}
