#include "storage/DatabaseFailure.h"

#include "storage/Dialect.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString g_reason;

// The server's message without its severity ("ERROR:  ").
QString firstLine(const QString &text)
{
    static const QRegularExpression severity(QStringLiteral("^\\S+:\\s+"));
    return text.trimmed().section(u'\n', 0, 0).remove(severity).trimmed();
}

QString worded(const QSqlError &error)
{
    if (CurrentEngine() != Engine::Postgres)
        return QString();
    const QString code = error.nativeErrorCode();
    // Errors of libpq itself carry no code: the connection is gone.
    if (code.isEmpty() || code.startsWith(QStringLiteral("08")) || code.startsWith(QStringLiteral("57P0")))
        return QStringLiteral("サーバーとの接続が切れました。");
    if (code == u"42501")
        return QStringLiteral("データベースの権限がありません（%1）。").arg(firstLine(error.databaseText()));
    if (code == u"22001")
        return QStringLiteral("値が長すぎます（%1）。").arg(firstLine(error.databaseText()));
    return QString();
}

} // namespace

void ClearDatabaseFailure()
{
    g_reason.clear();
}

void NoteDatabaseFailure(const QSqlError &error)
{
    if (error.type() != QSqlError::NoError)
        NoteDatabaseFailure(worded(error));
}

void NoteDatabaseFailure(const QString &reason)
{
    if (g_reason.isEmpty())
        g_reason = reason;
}

QString DatabaseFailureReason()
{
    return g_reason;
}

bool ExecNoted(QSqlQuery &q)
{
    if (q.exec())
        return true;
    NoteDatabaseFailure(q.lastError());
    return false;
}
