#include "storage/AuditTrail.h"

#include "storage/AuditChain.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSysInfo>

namespace {

bool appendRow(const QVariantList &values)
{
    const bool chained = AuditChained();
    QVariant id;
    {
        const KeptQuery q(QStringLiteral("INSERT INTO \"操作履歴\" (\"日時\", \"端末\", %1, \"操作\", \"書類\", \"書類番号\", \"患者番号\"%2) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?%3)%4")
                              .arg(QuoteIdent(QStringLiteral("DrID")),
                                   chained ? QStringLiteral(", \"検証\"") : QString(),
                                   chained ? QStringLiteral(", ?") : QString(),
                                   chained ? dialect::ReturningKey({QStringLiteral("ID")}) : QString()));
        for (const QVariant &v : values)
            q->addBindValue(v);
        if (chained)
            q->addBindValue(AuditOwnHash(values));
        if (!ExecNoted(*q))
            return false;
        if (!chained)
            return true;
        id = q->next() ? q->value(0) : q->lastInsertId();
    }
    return id.isValid() && AwaitAuditLink(id.toLongLong());
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
