#include "storage/Database.h"
#include "storage/AppPaths.h"
#include "storage/FileJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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
    // File steps that belong to committed row changes (storage/FileJournal.h).
    {"FileJournal",
     "CREATE TABLE IF NOT EXISTS \"FileJournal\" (\"Target\" VARCHAR(1000), "
     "\"Temporary\" VARCHAR(1000), \"Aside\" VARCHAR(1000))"},
};

quint32 bigEndian(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// A database file is opened only when it is missing, empty, or an SQLite
// file as long as its header says: a folder, any other content, or a file
// cut short is refused before the engine touches it.
bool usableDatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (!info.isFile())
        return false;
    if (info.size() == 0)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return false;
    qint64 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return false;
    // The page count of the header holds when it was written with the
    // change counter it carries.
    const bool countValid = bigEndian(header, 92, 4) == bigEndian(header, 24, 4);
    const qint64 pages = bigEndian(header, 28, 4);
    if (countValid && pages > 0 && info.size() < pages * pageSize)
        return false;
    return true;
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
    return true;
}

} // namespace

bool OpenDBAt(const QString &path)
{
    CloseDB();
    if (!usableDatabaseFile(path))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    db.setDatabaseName(path);
    if (!db.open() || !createFixedTables(db)) {
        db.close();
        g_open = false;
        return false;
    }
    g_open = true;
    SettleFileSteps();
    return true;
}

QString DatabasePath()
{
    return DataPath(QStringLiteral("Rydol.db"));
}

bool OpenDB()
{
    return OpenDBAt(DatabasePath());
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
    // Read from the table's own definition: the driver's record of a query
    // loses quotes that are part of a name.
    QStringList names;
    if (!g_open)
        return names;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid")))
        return names;
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            names << q.value(0).toString();
    return names;
}

QString StoredTableName(const QString &name)
{
    const QStringList names = TableNames();
    if (names.contains(name))
        return name;
    for (const QString &table : names)
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return table;
    return name;
}

int MaxTableColumns()
{
    return 2000; // SQLite's default SQLITE_MAX_COLUMN
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
    bool wholeRows = false;
    if (auto m = selectAll.match(statement); m.hasMatch()) {
        table = m.captured(1);
        if (!table.startsWith(u'"'))
            table = QuoteIdent(table);
        wholeRows = true;
        if (dynaset) {
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
    if (wholeRows) {
        // "SELECT *" lists the table's columns in table order; their own
        // spelling keeps quotes that the driver's record drops.
        QString bare = table.mid(1, table.size() - 2);
        bare.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        const QStringList own = TableColumns(bare);
        if (own.size() == columns.size())
            columns = own;
    }
    QHash<QString, int> index;
    index.reserve(columns.size());
    for (int i = int(columns.size()) - 1; i >= 0; --i) // the first of a name wins
        index.insert(columns[i].toCaseFolded(), i);
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
    m_index = std::move(index);
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
    return m_index.value(name.toCaseFolded(), -1);
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
