#include "storage/TableIndexes.h"
#include "storage/Database.h"
#include "storage/Dialect.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSqlQuery>

namespace {

// A kind's table as the program makes it: ID, DrID and 患者番号 first, 編集日
// and 終了判定 among the rest. Other tables are left unindexed, whatever
// their columns are called.
bool isKindTable(const QStringList &columns)
{
    auto at = [&](int i, const char16_t *name) {
        return columns.size() > i && columns[i].compare(QString::fromUtf16(name), Qt::CaseInsensitive) == 0;
    };
    return at(0, u"ID") && at(1, u"DrID") && at(2, u"患者番号")
        && columns.contains(QStringLiteral("編集日"), Qt::CaseInsensitive)
        && columns.contains(QStringLiteral("終了判定"), Qt::CaseInsensitive);
}

// The indexes the database holds, by their names as stored.
QStringList g_indexes;

bool createIndex(const QString &table, const QString &what, const QStringList &columns, bool unique)
{
    // Asking first spares the server a lock on the table at every start.
    const QString name = IndexName(table, what);
    if (g_indexes.contains(dialect::StoredName(name)))
        return true;
    QStringList quoted;
    for (const QString &c : columns)
        quoted << QuoteIdent(c);
    QSqlQuery q(gDB());
    return q.exec(QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
                      .arg(unique ? QStringLiteral("UNIQUE ") : QString(), QuoteIdent(name), QuoteIdent(table),
                           quoted.join(u',')));
}

bool hasIndex(const QSet<QString> &indexes, const QString &table, const QString &what)
{
    return indexes.contains(dialect::StoredName(IndexName(table, what)));
}

// Whether the table is keyed on its ID already (the server's tables are).
bool keyedOnId(const QString &table)
{
    const QStringList keys = dialect::KeyColumns(QuoteIdent(table));
    return keys.size() == 1 && keys[0].compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
}

// The tables keyed on their ID alone, by their names as stored, in one
// question to the server (SQLite's tables are keyed on their row ids).
QSet<QString> tablesKeyedOnId()
{
    QSet<QString> keyed;
    if (CurrentEngine() != Engine::Postgres)
        return keyed;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT c.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid "
                              "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0] "
                              "WHERE i.indisprimary AND i.indnatts = 1 AND lower(a.attname) = 'id' "
                              "AND c.relnamespace = current_schema()::regnamespace")))
        while (q.next())
            keyed.insert(q.value(0).toString());
    return keyed;
}

void indexKindTable(const QString &table, bool keyed)
{
    const QString id = QStringLiteral("ID");
    // A table that already holds a number twice keeps working with a plain index.
    if (!keyed && !createIndex(table, id, {id}, true))
        createIndex(table, id, {id}, false);
    createIndex(table, QStringLiteral("患者番号"), {QStringLiteral("患者番号")}, false);
}

// The indexes the lookups of the program need. Tables made by earlier
// versions get them on the first open; afterwards these statements find them
// in place and write nothing.
} // namespace

void CreateProgramIndexes()
{
    g_indexes.clear();
    QSqlQuery existing(gDB());
    if (existing.exec(dialect::ListIndexes()))
        while (existing.next())
            g_indexes << existing.value(0).toString();
    // Patients are found by number, phrases by doctor and class, value-menu
    // entries by doctor and list.
    if (!keyedOnId(QStringLiteral("Kanja_Data")))
        createIndex(QStringLiteral("Kanja_Data"), QStringLiteral("ID"), {QStringLiteral("ID")}, false);
    createIndex(QStringLiteral("定型文"), QStringLiteral("DrID+Class"), {QStringLiteral("DrID"), QStringLiteral("Class")},
                false);
    createIndex(QStringLiteral("メニュー"), QStringLiteral("DrID+Item"), {QStringLiteral("DrID"), QStringLiteral("Item")},
                false);
    QStringList fixed;
    for (const dialect::FixedTable &table : dialect::FixedTables())
        fixed << dialect::IdentifierKey(table.name);
    // A table that has both its indexes is not asked for its columns again:
    // on the server that would be a round trip for every kind at every start.
    const QSet<QString> indexes(g_indexes.cbegin(), g_indexes.cend());
    const QSet<QString> keyed = tablesKeyedOnId();
    for (const QString &table : TableNames()) {
        if (fixed.contains(dialect::IdentifierKey(table)))
            continue;
        const bool keyedOrIndexed = keyed.contains(table) || hasIndex(indexes, table, QStringLiteral("ID"));
        if (keyedOrIndexed && hasIndex(indexes, table, QStringLiteral("患者番号")))
            continue;
        if (isKindTable(TableColumns(table)))
            indexKindTable(table, keyed.contains(table));
    }
}

QString IndexName(const QString &table, const QString &what)
{
    // '/' never occurs in a kind's name, so no table can take an index's name.
    const QString name = table + u'/' + what;
    constexpr int kLimit = 63; // bytes; some databases cut longer names short
    if (name.toUtf8().size() <= kLimit)
        return name;
    const QString tail = u'~'
        + QString::fromLatin1(QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(12))
        + u'/' + what;
    QString head = table;
    while (!head.isEmpty() && (head + tail).toUtf8().size() > kLimit)
        head.chop(head.back().isLowSurrogate() && head.size() > 1 ? 2 : 1);
    return head + tail;
}

const QStringList &DatabaseIndexes()
{
    return g_indexes;
}

void IndexKindTable(const QString &table)
{
    if (DatabaseIsOpen()) {
        g_indexes.clear();
        indexKindTable(table, keyedOnId(table));
    }
}
