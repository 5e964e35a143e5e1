#include "persistence/DocumentVersion.h"

#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"
#include "storage/PausePoint.h"

#include <QSqlError>
#include <QSqlQuery>

#include <optional>

namespace {

const QString kWhere = QStringLiteral(" WHERE \"書類\"=? AND %1=?");

QString where()
{
    return kWhere.arg(QuoteIdent(QStringLiteral("ID")));
}

// The stored version, 0 for none; nullopt when it cannot be read.
std::optional<int> readVersion(const QString &kind, int id, bool lock)
{
    KeptQuery q(QStringLiteral("SELECT \"版\" FROM \"書類版\"") + where() + (lock ? dialect::ForUpdate() : QString()));
    q->addBindValue(kind);
    q->addBindValue(id);
    if (!ExecNoted(*q))
        return std::nullopt;
    return q->next() ? q->value(0).toInt() : 0;
}

bool setVersion(const QString &kind, int id, int version, bool exists, QSqlError *error)
{
    const KeptQuery q(exists ? QStringLiteral("UPDATE \"書類版\" SET \"版\"=?") + where()
                             : QStringLiteral("INSERT INTO \"書類版\" (\"書類\", %1, \"版\") VALUES (?, ?, ?)")
                                   .arg(QuoteIdent(QStringLiteral("ID"))));
    if (exists) {
        q->addBindValue(version);
        q->addBindValue(kind);
        q->addBindValue(id);
    } else {
        q->addBindValue(kind);
        q->addBindValue(id);
        q->addBindValue(version);
    }
    const bool ok = ExecNoted(*q) && q->numRowsAffected() == 1;
    if (error)
        *error = q->lastError();
    return ok;
}

} // namespace

int StoredVersion(const QString &kind, int id)
{
    if (!DatabaseIsOpen())
        return 0;
    return readVersion(kind, id, false).value_or(0);
}

QString StoredVersionSubquery()
{
    return QStringLiteral("(SELECT \"版\" FROM \"書類版\"") + where() + u')';
}

VersionClaim ClaimNextVersion(const QString &kind, int id, int expected, int *claimed)
{
    const std::optional<int> stored = readVersion(kind, id, true);
    if (!stored)
        return VersionClaim::Failed;
    if (*stored != expected)
        return VersionClaim::Overtaken;
    QSqlError error;
    if (!setVersion(kind, id, expected + 1, *stored != 0, &error))
        // Two workstations saving a document that had no version yet: the
        // second insert meets the first one's row.
        return dialect::IsUniqueViolation(error) ? VersionClaim::Overtaken : VersionClaim::Failed;
    *claimed = expected + 1;
    PausePoint("version-claimed");
    return VersionClaim::Claimed;
}

bool AdvanceVersion(const QString &kind, int id, int *claimed)
{
    const std::optional<int> stored = readVersion(kind, id, true);
    if (!stored || !setVersion(kind, id, *stored + 1, *stored != 0, nullptr))
        return false;
    if (claimed)
        *claimed = *stored + 1;
    return true;
}
