#include "storage/Migration.h"

#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/StoreLocation.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString kSource = QStringLiteral("rydol-migrate-from");
const QString kTarget = QStringLiteral("rydol-migrate-to");

QString definitionType(const QString &declared)
{
    const QString t = declared.trimmed().toUpper();
    if (t.startsWith(QStringLiteral("INT")))
        return dialect::IntegerType();
    static const QRegularExpression varchar(QStringLiteral("^VARCHAR\\s*\\((\\d+)\\)$"));
    if (const auto m = varchar.match(t); m.hasMatch())
        return dialect::TextType(m.captured(1).toInt());
    return dialect::MemoType();
}

struct Session
{
    QSqlDatabase from;
    QSqlDatabase to;
};

bool copy(Session &s, QStringList *summary, QString *error)
{
    QSqlQuery list(s.from);
    if (!list.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid"))) {
        *error = list.lastError().text();
        return false;
    }
    QStringList tables;
    while (list.next())
        tables << list.value(0).toString();

    SetCurrentEngine(Engine::Postgres); // names and types as the server takes them
    QSqlQuery present(s.to);
    if (!present.exec(dialect::ListTables())) {
        *error = present.lastError().text();
        return false;
    }
    QStringList existing;
    while (present.next())
        existing << dialect::IdentifierKey(present.value(0).toString());
    QStringList wanted = tables;
    for (const dialect::FixedTable &f : dialect::FixedTables())
        wanted << f.name;
    for (const QString &t : wanted)
        if (existing.contains(dialect::IdentifierKey(t))) {
            *error = QStringLiteral("the target already holds Rydol tables (%1)").arg(t);
            return false;
        }

    QSqlQuery run(s.to);
    auto exec = [&](const QString &sql) {
        if (run.exec(sql))
            return true;
        *error = run.lastError().text() + QStringLiteral(" in: ") + sql;
        return false;
    };
    if (!s.to.transaction()) {
        *error = s.to.lastError().text();
        return false;
    }
    QStringList fixedKeys;
    for (const dialect::FixedTable &f : dialect::FixedTables()) {
        fixedKeys << dialect::IdentifierKey(f.name);
        if (!exec(f.create))
            return false;
    }
    for (const QString &table : tables) {
        if (fixedKeys.contains(dialect::IdentifierKey(table)))
            continue;
        QSqlQuery info(s.from);
        info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdent(table)));
        QStringList defs;
        while (info.next())
            defs << QuoteIdent(info.value(1).toString()) + u' ' + definitionType(info.value(2).toString());
        if (!exec(dialect::CreateKindTable(QuoteIdent(table), defs)))
            return false;
    }
    for (const QString &table : tables) {
        QSqlQuery rows(s.from);
        rows.setForwardOnly(true);
        if (!rows.exec(QStringLiteral("SELECT * FROM ") + QuoteIdent(table))) {
            *error = rows.lastError().text();
            return false;
        }
        const QSqlRecord rec = rows.record();
        QStringList names, marks;
        for (int i = 0; i < rec.count(); ++i) {
            names << QuoteIdent(rec.fieldName(i));
            marks << QStringLiteral("?");
        }
        QSqlQuery insert(s.to);
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(QuoteIdent(table), names.join(u','), marks.join(u',')))) {
            *error = insert.lastError().text();
            return false;
        }
        qint64 copied = 0;
        while (rows.next()) {
            for (int i = 0; i < rec.count(); ++i)
                insert.bindValue(i, SqlValue(rows, i));
            if (!insert.exec()) {
                *error = table + QStringLiteral(": ") + insert.lastError().text();
                return false;
            }
            ++copied;
        }
        QSqlQuery counted(s.to);
        if (!counted.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(table)) || !counted.next()
            || counted.value(0).toLongLong() != copied) {
            *error = table + QStringLiteral(": row counts differ");
            return false;
        }
        summary->append(QStringLiteral("%1: %2").arg(table).arg(copied));
    }
    // Numbers the server hands out continue after the copied ones.
    for (const QString &t : {QStringLiteral("医師"), QStringLiteral("定型文"), QStringLiteral("メニュー"), QStringLiteral("操作履歴")}) {
        const QString quoted = QuoteIdent(t);
        if (!exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM %1")
                      .arg(quoted)))
            return false;
    }
    if (!s.to.commit()) {
        *error = s.to.lastError().text();
        return false;
    }
    return true;
}

} // namespace

bool MigrateToServer(const QString &sqlitePath, const StoreLocation &target, QStringList *summary,
                     QString *error)
{
    if (!QFileInfo(sqlitePath).isFile()) {
        *error = sqlitePath + QStringLiteral(" does not exist");
        return false;
    }
    if (target.kind != StoreLocation::Kind::Server || target.hasPassword) {
        *error = QStringLiteral("not a server address without password");
        return false;
    }
    bool ok = false;
    {
        Session s;
        s.from = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kSource);
        s.from.setDatabaseName(sqlitePath);
        s.from.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        s.to = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kTarget);
        s.to.setHostName(target.host);
        if (target.port > 0)
            s.to.setPort(target.port);
        s.to.setUserName(target.user);
        s.to.setDatabaseName(target.database);
        s.to.setConnectOptions(target.options);
        if (!s.from.open())
            *error = s.from.lastError().text();
        else if (!s.to.open())
            *error = s.to.lastError().text();
        else
            ok = copy(s, summary, error);
        if (!ok && s.to.isOpen())
            s.to.rollback();
        s.from.close();
        s.to.close();
    }
    QSqlDatabase::removeDatabase(kSource);
    QSqlDatabase::removeDatabase(kTarget);
    SetCurrentEngine(Engine::Sqlite);
    return ok;
}
