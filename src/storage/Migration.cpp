#include "storage/Migration.h"

#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/SearchKeyWatch.h"
#include "storage/StoreLocation.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cstring>

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

// The tables that name a kind in their column 書類: the version rows, the
// kept versions and the operations trail. On the server a kind's table is spelt as the server
// stores names, and so must these rows be, or a document of a kind with
// capital letters would lose its version.
bool namesKinds(const QString &table, const QString &column)
{
    return (dialect::IdentifierKey(table) == dialect::IdentifierKey(QStringLiteral("書類版"))
            || dialect::IdentifierKey(table) == dialect::IdentifierKey(QStringLiteral("書類保存版"))
            || dialect::IdentifierKey(table) == dialect::IdentifierKey(QStringLiteral("操作履歴")))
        && column == QStringLiteral("書類");
}

// A checksum of a table's rows that does not depend on their order: the sum
// of a hash of each row's values as text (NULL told apart from "").
class RowSum
{
public:
    void add(const QVariantList &row)
    {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const QVariant &v : row) {
            const QByteArray text = v.isNull() ? QByteArray("\0N", 2) : v.toString().toUtf8();
            hash.addData(QByteArray::number(text.size()) + ':' + text);
        }
        quint64 first = 0;
        const QByteArray digest = hash.result();
        memcpy(&first, digest.constData(), sizeof first);
        m_sum += first;
    }
    QString text() const { return QStringLiteral("%1").arg(m_sum, 16, 16, QLatin1Char('0')); }

private:
    quint64 m_sum = 0;
};

// Text columns whose stored values are longer than the server's column
// takes are widened to the longest value (before anything is copied), and
// each is named in notes with the rows concerned.
bool widenForLongValues(Session &s, const QString &table, QStringList *notes, QString *error)
{
    QSqlQuery sizes(s.to);
    sizes.prepare(QStringLiteral("SELECT column_name, character_maximum_length FROM information_schema.columns "
                                 "WHERE table_schema = current_schema() AND table_name = ? "
                                 "AND character_maximum_length IS NOT NULL"));
    sizes.addBindValue(dialect::StoredName(table));
    if (!sizes.exec()) {
        *error = sizes.lastError().text();
        return false;
    }
    QHash<QString, int> limit;
    while (sizes.next())
        limit.insert(sizes.value(0).toString(), sizes.value(1).toInt());
    QSqlQuery info(s.from);
    info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdent(table)));
    QStringList columns;
    bool hasId = false;
    while (info.next()) {
        columns << info.value(1).toString();
        hasId = hasId || columns.back().compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
    }
    for (const QString &column : columns) {
        const int size = limit.value(dialect::StoredName(column), 0);
        if (size <= 0)
            continue;
        QSqlQuery longer(s.from);
        longer.setForwardOnly(true);
        // The server counts characters, as SQLite's length() does for text.
        if (!longer.exec(QStringLiteral("SELECT %1, length(%2) FROM %3 WHERE length(%2) > %4 ORDER BY 1")
                             .arg(hasId ? QStringLiteral("\"ID\"") : QStringLiteral("rowid"), QuoteIdent(column),
                                  QuoteIdent(table))
                             .arg(size))) {
            *error = longer.lastError().text();
            return false;
        }
        QStringList ids;
        int longest = 0;
        while (longer.next()) {
            ids << longer.value(0).toString();
            longest = std::max(longest, longer.value(1).toInt());
        }
        if (ids.isEmpty())
            continue;
        QSqlQuery widen(s.to);
        if (!widen.exec(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE %3")
                            .arg(QuoteIdent(table), QuoteIdent(column), dialect::TextType(longest)))) {
            *error = widen.lastError().text();
            return false;
        }
        notes->append(QStringLiteral("%1.%2: widened from %3 to %4 characters for %5 %6")
                          .arg(table, column)
                          .arg(size)
                          .arg(longest)
                          .arg(hasId ? QStringLiteral("ID") : QStringLiteral("row"), ids.join(QStringLiteral(", "))));
    }
    return true;
}

bool copy(Session &s, QStringList *summary, QStringList *notes, QString *error)
{
    QSqlQuery list(s.from);
    if (!list.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"))) {
        *error = list.lastError().text();
        return false;
    }
    QStringList tables;
    // The file's own search index is not copied: the server has its own.
    while (list.next())
        if (!IsSearchIndexTable(list.value(0).toString()))
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
    for (const QString &table : tables)
        if (!widenForLongValues(s, table, notes, error))
            return false;
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
        QList<bool> kindNames;
        for (int i = 0; i < rec.count(); ++i)
            kindNames << namesKinds(table, rec.fieldName(i));
        qint64 copied = 0;
        RowSum sent;
        while (rows.next()) {
            QVariantList values;
            for (int i = 0; i < rec.count(); ++i) {
                const QVariant v = SqlValue(rows, i);
                values << (kindNames[i] && !v.isNull() ? QVariant(dialect::StoredName(v.toString())) : v);
                insert.bindValue(i, values.back());
            }
            if (!insert.exec()) {
                *error = table + QStringLiteral(": ") + insert.lastError().text();
                return false;
            }
            sent.add(values);
            ++copied;
        }
        QSqlQuery stored(s.to);
        stored.setForwardOnly(true);
        if (!stored.exec(QStringLiteral("SELECT %1 FROM %2").arg(names.join(u','), QuoteIdent(table)))) {
            *error = stored.lastError().text();
            return false;
        }
        qint64 counted = 0;
        RowSum received;
        while (stored.next()) {
            QVariantList values;
            for (int i = 0; i < rec.count(); ++i)
                values << SqlValue(stored, i);
            received.add(values);
            ++counted;
        }
        if (counted != copied || received.text() != sent.text()) {
            *error = QStringLiteral("%1: the server holds %2 rows (checksum %3), the file %4 (checksum %5)")
                         .arg(table)
                         .arg(counted)
                         .arg(received.text())
                         .arg(copied)
                         .arg(sent.text());
            return false;
        }
        summary->append(QStringLiteral("%1: %2 rows, checksum %3 on both sides").arg(table).arg(copied).arg(sent.text()));
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
                     QStringList *notes, QString *error)
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
            ok = copy(s, summary, notes, error);
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
