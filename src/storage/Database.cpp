#include "storage/Database.h"
#include "storage/AppPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

Recordset gRS;

namespace {

const QString kConnection = QStringLiteral("rydol");
bool g_open = false;

const char *const kFixedTables[][2] = {
    {"Kanja_Data",
     "CREATE TABLE IF NOT EXISTS \"Kanja_Data\" (\"ID\" VARCHAR(50) NOT NULL UNIQUE, "
     "\"Name\" VARCHAR(255), \"Kana\" VARCHAR(255), \"Sex\" INTEGER, \"Birth\" INTEGER, "
     "\"Address\" VARCHAR(255))"},
    {"医師",
     "CREATE TABLE IF NOT EXISTS \"医師\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, "
     "\"Name\" VARCHAR(255), \"Del\" INTEGER NOT NULL DEFAULT 0)"},
    {"定型文",
     "CREATE TABLE IF NOT EXISTS \"定型文\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, "
     "\"DrID\" INTEGER, \"Class\" VARCHAR(255), \"Value\" TEXT, \"Del\" INTEGER NOT NULL DEFAULT 0)"},
    {"メニュー",
     "CREATE TABLE IF NOT EXISTS \"メニュー\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, "
     "\"DrID\" VARCHAR(50), \"Item\" VARCHAR(255), \"Value\" VARCHAR(255))"},
};

// What the queries of the fixed tables look rows up by. Patients are found by
// number; phrases by doctor and class; value-menu entries by doctor and list.
// Each index is named after its columns, joined by '+'.
const char *const kFixedIndexes[][2] = {
    {"Kanja_Data", "ID"},
    {"定型文", "DrID+Class"},
    {"メニュー", "DrID+Item"},
};

bool isFixedTable(const QString &name)
{
    for (const auto &table : kFixedTables)
        if (name.compare(QString::fromUtf8(table[0]), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

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

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QStringList names;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT * FROM ") + QuoteIdent(table) + QStringLiteral(" WHERE 0")))
        return names;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        names << rec.fieldName(i);
    return names;
}

bool createIndex(const QSqlDatabase &db, const QString &table, const QString &what, const QString &columns,
                 bool unique)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
                      .arg(unique ? QStringLiteral("UNIQUE ") : QString(), QuoteIdent(IndexName(table, what)),
                           QuoteIdent(table), columns));
}

void indexKindTable(const QSqlDatabase &db, const QString &table)
{
    const QString id = QStringLiteral("\"ID\"");
    // A table that already holds a number twice keeps working with a plain index.
    if (!createIndex(db, table, QStringLiteral("ID"), id, true))
        createIndex(db, table, QStringLiteral("ID"), id, false);
    createIndex(db, table, QStringLiteral("患者番号"), QStringLiteral("\"患者番号\""), false);
}

bool createFixedTables(QSqlDatabase &db)
{
    QSqlQuery probe(db);
    // A file that is not SQLite fails here; it must not be touched further.
    if (!probe.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return false;
    QStringList present;
    while (probe.next())
        present << probe.value(0).toString();
    for (const auto &table : kFixedTables) {
        if (present.contains(QString::fromUtf8(table[0]), Qt::CaseInsensitive))
            continue;
        QSqlQuery create(db);
        create.exec(QString::fromUtf8(table[1])); // a read-only file: tables stay missing
    }
    // Tables made by earlier versions get their indexes on the first open;
    // afterwards these statements find them and write nothing.
    for (const auto &index : kFixedIndexes) {
        const QString what = QString::fromUtf8(index[1]);
        QStringList columns = what.split(u'+');
        for (QString &c : columns)
            c = QuoteIdent(c);
        createIndex(db, QString::fromUtf8(index[0]), what, columns.join(u','), false);
    }
    for (const QString &table : present)
        if (!isFixedTable(table) && !table.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive)
            && isKindTable(columnsOf(db, table)))
            indexKindTable(db, table);
    return true;
}

} // namespace

bool OpenDBAt(const QString &path)
{
    CloseDB();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    db.setDatabaseName(path);
    if (!db.open() || !createFixedTables(db)) {
        db.close();
        g_open = false;
        return false;
    }
    g_open = true;
    return true;
}

bool OpenDB()
{
    return OpenDBAt(DataPath(QStringLiteral("Rydol.db")));
}

void CloseDB()
{
    gRS.close();
    if (QSqlDatabase::contains(kConnection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(kConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
    }
    g_open = false;
}

bool DatabaseIsOpen()
{
    return g_open;
}

QSqlDatabase gDB()
{
    if (!g_open)
        return QSqlDatabase();
    return QSqlDatabase::database(kConnection, false);
}

QString QuoteIdent(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
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

void IndexKindTable(const QString &table)
{
    if (g_open)
        indexKindTable(gDB(), table);
}

QStringList TableNames()
{
    QStringList names;
    if (!g_open)
        return names;
    QSqlQuery q(gDB());
    if (q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        while (q.next())
            names << q.value(0).toString();
    return names;
}

QStringList TableColumns(const QString &table)
{
    QStringList names;
    if (!g_open)
        return names;
    QSqlQuery q(gDB());
    if (!q.exec(QStringLiteral("SELECT * FROM ") + QuoteIdent(table) + QStringLiteral(" WHERE 0")))
        return names;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        names << rec.fieldName(i);
    return names;
}

QString SelectableColumn(const QStringList &columns, const QString &name)
{
    for (const QString &c : columns)
        if (c.compare(name, Qt::CaseInsensitive) == 0)
            return QuoteIdent(c);
    return QStringLiteral("NULL");
}

QString EscapeLike(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_')
            out += u'\\';
        out += c;
    }
    return out;
}

bool BeginTrans()
{
    return g_open && gDB().transaction();
}

bool CommitTrans()
{
    return g_open && gDB().commit();
}

void Rollback()
{
    if (g_open)
        gDB().rollback();
}

// ---------------------------------------------------------------- Recordset

bool Recordset::open(const QString &kind, const QString &sql, const QVariantList &params)
{
    m_lastError.clear();
    if (!g_open) {
        m_lastError = QStringLiteral("database not open");
        return false;
    }
    const bool dynaset = kind == QStringLiteral("Dynaset");
    QString statement = sql.trimmed();
    QString table;
    static const QRegularExpression bareName(QStringLiteral("^(\"(?:[^\"]|\"\")+\"|[^\\s\"]+)$"));
    static const QRegularExpression selectAll(
        QStringLiteral("^select\\s+\\*\\s+from\\s+(\"(?:[^\"]|\"\")+\"|[^\\s\"]+)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

    if (auto m = bareName.match(statement); m.hasMatch()) {
        table = m.captured(1);
        if (!table.startsWith(u'"'))
            table = QuoteIdent(table);
        statement = QStringLiteral("SELECT * FROM ") + table;
    }
    bool withRowId = false;
    if (dynaset) {
        if (auto m = selectAll.match(statement); m.hasMatch()) {
            table = m.captured(1);
            if (!table.startsWith(u'"'))
                table = QuoteIdent(table);
            statement = QStringLiteral("SELECT rowid AS \"__rowid__\", * FROM ") + table + m.captured(2);
            withRowId = true;
        }
    }

    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(statement)) {
        m_lastError = q.lastError().text();
        return false;
    }
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        return false;
    }

    const QSqlRecord rec = q.record();
    const int first = withRowId ? 1 : 0;
    QStringList columns;
    for (int i = first; i < rec.count(); ++i)
        columns << rec.fieldName(i);
    QVector<QVariantList> rows;
    QVector<qint64> rowIds;
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count() - first);
        for (int i = first; i < rec.count(); ++i)
            row << q.value(i);
        rows << row;
        rowIds << (withRowId ? q.value(0).toLongLong() : -1);
    }

    m_open = true;
    m_dynaset = dynaset && withRowId;
    m_table = table;
    m_columns = columns;
    m_rows = std::move(rows);
    m_rowIds = std::move(rowIds);
    m_pos = 0;
    m_mode = EditMode::None;
    return true;
}

void Recordset::close()
{
    m_open = false;
    m_rows.clear();
    m_rowIds.clear();
    m_pos = 0;
    m_mode = EditMode::None;
}

bool Recordset::eof() const
{
    return !m_open || m_pos >= m_rows.size();
}

void Recordset::moveNext()
{
    if (m_pos < m_rows.size())
        ++m_pos;
}

void Recordset::moveFirst()
{
    m_pos = 0;
}

int Recordset::column(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant Recordset::field(const QString &name) const
{
    if (m_mode != EditMode::None) {
        const int c = column(name);
        return c >= 0 ? m_buffer.value(c) : QVariant();
    }
    if (eof())
        return QVariant();
    const int c = column(name);
    return c >= 0 ? m_rows[m_pos].value(c) : QVariant();
}

bool Recordset::addNew()
{
    if (!m_open || !m_dynaset)
        return false;
    m_mode = EditMode::Add;
    m_buffer = QVariantList(m_columns.size());
    m_touched = QVector<bool>(m_columns.size(), false);
    m_bufferError = false;
    return true;
}

bool Recordset::edit()
{
    if (!m_open || !m_dynaset || eof())
        return false;
    m_mode = EditMode::Edit;
    m_buffer = m_rows[m_pos];
    m_touched = QVector<bool>(m_columns.size(), false);
    m_bufferError = false;
    return true;
}

bool Recordset::setField(const QString &name, const QVariant &value)
{
    const int c = column(name);
    if (m_mode == EditMode::None || c < 0) {
        m_bufferError = true;
        m_lastError = QStringLiteral("no field ") + name;
        return false;
    }
    m_buffer[c] = value;
    m_touched[c] = true;
    return true;
}

void Recordset::cancelUpdate()
{
    m_mode = EditMode::None;
}

bool Recordset::update()
{
    if (m_mode == EditMode::None)
        return false;
    const EditMode mode = m_mode;
    m_mode = EditMode::None;
    if (m_bufferError)
        return false;

    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_touched[i])
            continue;
        names << QuoteIdent(m_columns[i]);
        values << m_buffer[i];
    }
    QSqlQuery q(gDB());
    QString statement;
    if (mode == EditMode::Add) {
        if (names.isEmpty()) {
            statement = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table);
        } else {
            QStringList marks;
            for (int i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            statement = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(m_table, names.join(u','), marks.join(u','));
        }
    } else {
        if (names.isEmpty())
            return true;
        QStringList sets;
        for (const QString &n : names)
            sets << n + QStringLiteral("=?");
        statement = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(m_table, sets.join(u','));
        values << m_rowIds[m_pos];
    }
    if (!q.prepare(statement)) {
        m_lastError = q.lastError().text();
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        return false;
    }
    if (mode == EditMode::Add) {
        m_lastInsertId = q.lastInsertId();
    } else {
        m_rows[m_pos] = m_buffer;
    }
    return true;
}

bool Recordset::remove()
{
    if (!m_open || !m_dynaset || eof())
        return false;
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(m_table));
    q.addBindValue(m_rowIds[m_pos]);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        return false;
    }
    m_rows.remove(m_pos);
    m_rowIds.remove(m_pos);
    return true;
}

bool OpenRS(const QString &kind, const QString &sql, const QVariantList &params)
{
    Recordset rs;
    if (!rs.open(kind, sql, params))
        return false;
    gRS = std::move(rs);
    return true;
}
