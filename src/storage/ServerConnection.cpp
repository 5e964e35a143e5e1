#include "storage/ServerConnection.h"

#include "storage/Database.h"
#include "storage/StoreLocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>

namespace {

PGconn *connectionOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // PGconn is libpq's typedef of struct pg_conn; Qt names the type either way.
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

bool mentions(const QString &text, std::initializer_list<const char16_t *> words)
{
    for (const char16_t *w : words)
        if (text.contains(QString::fromUtf16(w), Qt::CaseInsensitive))
            return true;
    return false;
}

// Whether anything answers at the address (a server refusing this user answers).
bool serverAnswers(const StoreLocation &location)
{
    const QString conninfo = QStringLiteral("connect_timeout=2 ") + ServerConnInfo(location, false);
    return PQping(conninfo.toUtf8().constData()) != PQPING_NO_RESPONSE;
}

QString firstLine(const QString &text)
{
    for (const QString &line : text.split(u'\n'))
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    return QString();
}

} // namespace

bool ServerConnectionLost(const QSqlDatabase &db)
{
    PGconn *connection = connectionOf(db);
    if (!connection)
        return db.isValid() && db.driverName() == u"QPSQL" && !db.isOpen();
    if (PQstatus(connection) == CONNECTION_BAD)
        return true;
    if (PQtransactionStatus(connection) != PQTRANS_IDLE)
        return false;
    // An idle connection has nothing to read unless the server said goodbye:
    // its farewell message first, the closed socket at the next read.
    for (int i = 0; i < 2 && PQstatus(connection) != CONNECTION_BAD; ++i)
        if (!PQconsumeInput(connection))
            break;
    return PQstatus(connection) == CONNECTION_BAD;
}

QString ConnectFailureReason(const StoreLocation &location, const QString &driverText)
{
    // The words come from libpq and from the server, in English or Japanese.
    const QString user = location.user.isEmpty() ? QString() : QStringLiteral("（ユーザー %1）").arg(location.user);
    if (mentions(driverText, {u"timeout expired", u"タイムアウト"}))
        return QStringLiteral("サーバーから時間内に応答がありませんでした。");
    if (mentions(driverText, {u"authentication failed", u"認証に失敗", u"no password supplied", u"pg_hba.conf"}))
        return QStringLiteral("サーバーでの認証に失敗しました") + user + u'。';
    if (mentions(driverText, {u"role \"", u"ロール\""}) && mentions(driverText, {u"does not exist", u"存在しません"}))
        return QStringLiteral("このユーザーはサーバーに登録されていません") + user + u'。';
    if (mentions(driverText, {u"database \"", u"データベース\""}) && mentions(driverText, {u"does not exist", u"存在しません"}))
        return QStringLiteral("データベース %1 がサーバーにありません。").arg(location.database);
    if (!serverAnswers(location))
        return QStringLiteral("サーバーに届きません（止まっているか、アドレスが違います）。");
    return firstLine(driverText);
}

QString StoreAccessProblem(const QList<TableNeeds> &tables, const QStringList &missing)
{
    const QSqlDatabase db = gDB();
    if (!connectionOf(db))
        return QString();
    if (!missing.isEmpty()) {
        QSqlQuery create(db);
        if (create.exec(QStringLiteral("SELECT COALESCE(has_schema_privilege(current_schema(), 'CREATE'), false)"))
            && create.next() && !create.value(0).toBool())
            return QStringLiteral("表「%1」を作る権限がありません。").arg(missing.first());
    }
    // One question for every table, however many kinds there are: each
    // would otherwise be a round trip to the server at every start.
    QJsonArray names;
    for (const TableNeeds &table : tables)
        names.append(QuoteIdent(table.table));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT t.n, has_table_privilege(c, 'SELECT'), has_table_privilege(c, 'INSERT'), "
                                  "has_table_privilege(c, 'UPDATE'), has_table_privilege(c, 'DELETE') "
                                  "FROM json_array_elements_text(CAST(? AS json)) WITH ORDINALITY AS t(name, n), "
                                  "LATERAL (SELECT to_regclass(t.name) AS c) r WHERE c IS NOT NULL ORDER BY t.n")))
        return QString();
    q.addBindValue(QString::fromUtf8(QJsonDocument(names).toJson(QJsonDocument::Compact)));
    if (!q.exec())
        return QString();
    while (q.next()) {
        const qsizetype at = q.value(0).toLongLong() - 1;
        if (at < 0 || at >= tables.size())
            continue;
        const TableNeeds &table = tables[at];
        if (!q.value(1).toBool())
            return QStringLiteral("表「%1」を読む権限がありません。").arg(table.table);
        if (!q.value(2).toBool() || (table.update && !q.value(3).toBool()) || (table.remove && !q.value(4).toBool()))
            return QStringLiteral("表「%1」に書き込む権限がありません。").arg(table.table);
    }
    return QString();
}

QSqlDatabase AddServerConnection(const QString &name, const StoreLocation &location, int connectTimeout)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(location.host);
    if (location.port > 0)
        db.setPort(location.port);
    db.setUserName(location.user);
    db.setDatabaseName(location.database);
    QString options = location.options;
    if (!options.contains(QStringLiteral("connect_timeout")))
        options += QStringLiteral(" connect_timeout=%1").arg(connectTimeout);
    db.setConnectOptions(options.trimmed());
    return db;
}

QString ServerConnInfo(const StoreLocation &location, bool withUser)
{
    // libpq's quoting of a value
    auto quoted = [](QString value) {
        value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        return u'\'' + value + u'\'';
    };
    QStringList parts;
    if (!location.host.isEmpty())
        parts << QStringLiteral("host=") + quoted(location.host);
    if (location.port > 0)
        parts << QStringLiteral("port=%1").arg(location.port);
    if (withUser && !location.user.isEmpty())
        parts << QStringLiteral("user=") + quoted(location.user);
    parts << QStringLiteral("dbname=") + quoted(location.database);
    if (!location.options.isEmpty())
        parts << location.options;
    return parts.join(u' ');
}
