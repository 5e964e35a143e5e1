#include "storage/AuditTrail.h"

#include "storage/ChainHash.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSysInfo>

namespace {

// Whether 操作履歴 has the columns of the chain.
bool g_chained = false;

const QString kChainColumns[] = {QStringLiteral("前"), QStringLiteral("検証")};

QString rowHash(const QString &previous, const QVariantList &values)
{
    ChainHash hash;
    hash.add(QStringLiteral("操作履歴/1")).add(previous);
    for (int i = 0; i < values.size(); ++i) {
        const QString text = values[i].isNull() ? QString() : values[i].toString();
        // The kind is spelt as the server stores names (a move keeps the hash).
        hash.add(i == 4 ? dialect::PortableName(text) : text);
    }
    return hash.hex();
}

bool appendRow(const QVariantList &values)
{
    QString previous;
    if (g_chained) {
        if (!dialect::LockAuditChain())
            return false;
        QSqlQuery last(gDB());
        if (!last.exec(QStringLiteral("SELECT \"検証\" FROM \"操作履歴\" ORDER BY %1 DESC LIMIT 1")
                           .arg(QuoteIdent(QStringLiteral("ID")))))
            return false;
        previous = last.next() ? last.value(0).toString() : QString();
    }
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("INSERT INTO \"操作履歴\" (\"日時\", \"端末\", %1, \"操作\", \"書類\", \"書類番号\", \"患者番号\"%2) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?%3)")
                  .arg(QuoteIdent(QStringLiteral("DrID")),
                       g_chained ? QStringLiteral(", \"前\", \"検証\"") : QString(),
                       g_chained ? QStringLiteral(", ?, ?") : QString()));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (g_chained) {
        q.addBindValue(previous);
        q.addBindValue(rowHash(previous, values));
    }
    return ExecNoted(q);
}

} // namespace

bool WriteAudit(const QString &operation, const QString &doctorId, const QString &kind,
                int documentId, const QString &patientId)
{
    if (!DatabaseIsOpen())
        return false;
    const QVariantList values{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                              QSysInfo::machineHostName(),
                              doctorId,
                              operation,
                              kind,
                              documentId > 0 ? QVariant(documentId) : QVariant(QMetaType(QMetaType::Int)),
                              patientId};
    if (InTransaction())
        return appendRow(values);
    if (!BeginTrans())
        return false;
    if (appendRow(values) && CommitTrans())
        return true;
    Rollback();
    return false;
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
    g_chained = columns.contains(kChainColumns[0]) && columns.contains(kChainColumns[1]);
}

AuditCheck VerifyAuditChain()
{
    AuditCheck check;
    if (!DatabaseIsOpen() || !g_chained)
        return check;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1, \"日時\", \"端末\", %2, \"操作\", \"書類\", \"書類番号\", \"患者番号\", "
                               "\"前\", \"検証\" FROM \"操作履歴\" ORDER BY %1")
                    .arg(QuoteIdent(QStringLiteral("ID")), QuoteIdent(QStringLiteral("DrID")))))
        return check;
    bool begun = false;
    QString before;
    while (q.next()) {
        const QVariant stored = SqlValue(q, 9);
        if (stored.isNull() && !begun)
            continue; // written before the chain began
        begun = true;
        ++check.checked;
        QVariantList values;
        for (int i = 1; i <= 7; ++i)
            values << SqlValue(q, i);
        const QString previous = SqlValue(q, 8).toString();
        const qint64 id = q.value(0).toLongLong();
        if (rowHash(previous, values) != stored.toString())
            check.breaks.append({id, false});
        if (previous != before)
            check.breaks.append({id, true});
        before = stored.toString();
    }
    return check;
}

QList<AuditRow> ReadAudit(const QString &patientId, const QDate &from, const QDate &to, int limit)
{
    QList<AuditRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    QStringList where;
    QVariantList values;
    if (!patientId.isEmpty()) {
        where << QStringLiteral("\"患者番号\"=?");
        values << patientId;
    }
    // The time is stored as "yyyy-MM-dd HH:mm:ss", so text order is time order.
    if (from.isValid()) {
        where << QStringLiteral("\"日時\">=?");
        values << from.toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (to.isValid()) {
        where << QStringLiteral("\"日時\"<?");
        values << to.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    const QString id = QuoteIdent(QStringLiteral("ID"));
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT \"日時\", \"端末\", %1, \"操作\", \"書類\", \"書類番号\", \"患者番号\" FROM \"操作履歴\"%2 "
                             "ORDER BY \"日時\" DESC, %3 DESC LIMIT %4")
                  .arg(QuoteIdent(QStringLiteral("DrID")),
                       where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
                       id, QString::number(qMax(limit, 0))));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return rows;
    while (q.next()) {
        AuditRow row;
        row.time = SqlValue(q, 0).toString();
        row.workstation = SqlValue(q, 1).toString();
        row.doctorId = SqlValue(q, 2).toString();
        row.operation = SqlValue(q, 3).toString();
        row.kind = SqlValue(q, 4).toString();
        row.documentId = SqlValue(q, 5).toString();
        row.patientId = SqlValue(q, 6).toString();
        rows << row;
    }
    return rows;
}
