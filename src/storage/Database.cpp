#include "storage/Database.h"
#include "storage/AppPaths.h"
#include "storage/AuditTrail.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/FileJournal.h"
#include "storage/SearchKeyWatch.h"
#include "storage/ServerConnection.h"
#include "storage/StoreLocation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

Recordset gRS;

namespace {

const QString kConnection = QStringLiteral("rydol");
bool g_open = false;
QString g_openError;
OpenFailure g_openFailure = OpenFailure::None;
QString g_openReason;
// The server the connection goes to, for connecting again.
StoreLocation g_server;
// Between BeginTrans and its commit or rollback: a lost connection is not
// replaced then, so that no statement of the transaction lands outside it.
bool g_inTransaction = false;
// A server that let a new connection wait until it timed out is not asked
// again for a while: every call would wait as long.
QElapsedTimer g_slowFailure;
QString g_reconnectReason;
constexpr qint64 kReconnectPause = 15000;

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

// Whether the table is keyed on its ID already (the server's tables are).
bool keyedOnId(const QString &table)
{
    const QStringList keys = dialect::KeyColumns(QuoteIdent(table));
    return keys.size() == 1 && keys[0].compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
}

void indexKindTable(const QString &table)
{
    const QString id = QStringLiteral("ID");
    // A table that already holds a number twice keeps working with a plain index.
    if (!keyedOnId(table) && !createIndex(table, id, {id}, true))
        createIndex(table, id, {id}, false);
    createIndex(table, QStringLiteral("患者番号"), {QStringLiteral("患者番号")}, false);
}

// The indexes the lookups of the program need. Tables made by earlier
// versions get them on the first open; afterwards these statements find them
// in place and write nothing.
void createIndexes()
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
    for (const QString &table : TableNames())
        if (!fixed.contains(dialect::IdentifierKey(table)) && isKindTable(TableColumns(table)))
            indexKindTable(table);
}

bool createFixedTables(QSqlDatabase &db)
{
    QSqlQuery probe(db);
    // A file that is not SQLite fails here; it must not be touched further.
    if (!probe.exec(dialect::ListTables())) {
        g_openError = probe.lastError().text();
        return false;
    }
    QStringList present;
    while (probe.next())
        present << dialect::IdentifierKey(probe.value(0).toString());
    QList<dialect::FixedTable> missing;
    for (const dialect::FixedTable &table : dialect::FixedTables())
        if (!present.contains(dialect::IdentifierKey(table.name)))
            missing << table;
    if (missing.isEmpty())
        return true;
    QStringList names;
    for (const dialect::FixedTable &table : missing)
        names << table.name;
    if (const QString problem = StoreAccessProblem({}, names); !problem.isEmpty()) {
        g_openFailure = OpenFailure::NoAccess;
        g_openReason = problem;
        return false;
    }
    // Workstations starting together on an empty server create them once.
    const bool server = CurrentEngine() == Engine::Postgres;
    if (server) {
        db.transaction();
        QSqlQuery(db).exec(QStringLiteral("SELECT pg_advisory_xact_lock(7707001)"));
    }
    for (const dialect::FixedTable &table : missing) {
        QSqlQuery create(db);
        create.exec(table.create); // a read-only file: tables stay missing
    }
    if (server && !db.commit()) {
        g_openError = db.lastError().text();
        g_openReason = db.lastError().databaseText().trimmed();
        db.rollback();
        return false;
    }
    return true;
}

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
    // A transaction cut off by a kill can leave the header of its new size
    // before the pages that make it up; its journal, which the engine plays
    // back, puts the file right.
    const QFileInfo journal(path + QStringLiteral("-journal"));
    if ((journal.isFile() && journal.size() > 0) || QFileInfo::exists(path + QStringLiteral("-wal")))
        return true;
    // The page count of the header holds when it was written with the
    // change counter it carries.
    const bool countValid = bigEndian(header, 92, 4) == bigEndian(header, 24, 4);
    const qint64 pages = bigEndian(header, 28, 4);
    if (countValid && pages > 0 && info.size() < pages * pageSize)
        return false;
    return true;
}

bool finishOpen(QSqlDatabase &db)
{
    if (!db.open()) {
        g_openError = db.lastError().text();
        g_openFailure = OpenFailure::Unreachable;
        if (CurrentEngine() == Engine::Postgres)
            g_openReason = ConnectFailureReason(g_server, db.lastError().databaseText());
        db.close();
        g_open = false;
        return false;
    }
    g_open = true; // the dialect's statements run on the open connection
    g_openFailure = OpenFailure::Unusable;
    if (!createFixedTables(db)) {
        db.close();
        g_open = false;
        return false;
    }
    PrepareAuditChain();
    SettleFileSteps();
    createIndexes();
    WatchSearchKeys(db, g_indexes);
    g_openFailure = OpenFailure::None;
    return true;
}

// Before a statement outside a transaction: a connection the server has
// closed (a restart) is opened again, once per call, so that the workstation
// goes on working as soon as the server is back.
void reconnectIfLost()
{
    if (CurrentEngine() != Engine::Postgres || g_inTransaction)
        return;
    QSqlDatabase db = QSqlDatabase::database(kConnection, false);
    if (!ServerConnectionLost(db))
        return;
    if (g_slowFailure.isValid() && g_slowFailure.elapsed() < kReconnectPause) {
        NoteDatabaseFailure(g_reconnectReason);
        return;
    }
    db.close();
    QElapsedTimer clock;
    clock.start();
    if (db.open()) {
        g_slowFailure.invalidate();
        return;
    }
    g_reconnectReason = QStringLiteral("サーバーに接続できません: ")
                      + ConnectFailureReason(g_server, db.lastError().databaseText());
    NoteDatabaseFailure(g_reconnectReason);
    if (clock.elapsed() >= 1000)
        g_slowFailure.start();
    else
        g_slowFailure.invalidate();
}

} // namespace

bool OpenDBAt(const QString &path)
{
    CloseDB();
    g_openError.clear();
    g_openReason.clear();
    g_openFailure = OpenFailure::Unusable;
    SetCurrentEngine(Engine::Sqlite);
    if (!usableDatabaseFile(path)) {
        g_openError = QStringLiteral("not a readable database file");
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
    db.setDatabaseName(path);
    // Another process saving in a loop can hold the write lock again and
    // again; waiting longer than SQLite's usual 5 s keeps a save from failing
    // only because the other one was quicker.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    return finishOpen(db);
}

bool OpenServer(const StoreLocation &location)
{
    CloseDB();
    g_openError.clear();
    g_openReason.clear();
    g_openFailure = OpenFailure::Unreachable;
    g_server = location;
    g_slowFailure.invalidate();
    if (location.kind != StoreLocation::Kind::Server) {
        g_openError = QStringLiteral("not a server address");
        return false;
    }
    if (location.hasPassword) {
        g_openError = QStringLiteral("password in the address");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        g_openError = QStringLiteral("QPSQL driver missing");
        return false;
    }
    SetCurrentEngine(Engine::Postgres);
    QSqlDatabase db = AddServerConnection(kConnection, location, 5);
    return finishOpen(db);
}

bool OpenDB()
{
    const StoreLocation location = ParseStoreLocation(ConfiguredStore());
    switch (location.kind) {
    case StoreLocation::Kind::Embedded:
        return OpenDBAt(DatabasePath());
    case StoreLocation::Kind::Server:
        return OpenServer(location);
    case StoreLocation::Kind::Invalid:
        break;
    }
    CloseDB();
    g_openError = QStringLiteral("unknown store");
    g_openReason.clear();
    g_openFailure = OpenFailure::Unreachable;
    return false;
}

QString DatabasePath()
{
    return DataPath(QStringLiteral("Rydol.db"));
}

QString DatabaseOpenError()
{
    return g_openError;
}

OpenFailure DatabaseOpenFailure()
{
    return g_openFailure;
}

QString DatabaseOpenReason()
{
    return g_openReason;
}

QString DatabaseAccessProblem(const QStringList &kinds)
{
    if (!g_open || CurrentEngine() != Engine::Postgres)
        return QString();
    // The register of doctors and the audit trail are only added to (and the
    // doctors edited): a store that forbids deleting from them is right.
    QList<TableNeeds> needs;
    for (const dialect::FixedTable &table : dialect::FixedTables()) {
        const bool audit = table.name == u"操作履歴";
        const bool kept = audit || table.name == u"医師" || table.name == u"医師認証" || table.name == u"Kanja_Data" || table.name == u"書類版";
        needs.append({table.name, !audit, !kept});
    }
    const QStringList present = TableNames();
    QStringList missing;
    for (const QString &kind : kinds) {
        const QString table = StoredTableName(kind);
        if (present.contains(dialect::StoredName(table)))
            needs.append({table, true, true});
        else
            missing << kind;
    }
    return StoreAccessProblem(needs, missing);
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
    g_inTransaction = false;
}

bool DatabaseIsOpen()
{
    return g_open;
}

QSqlDatabase gDB()
{
    if (!g_open)
        return QSqlDatabase();
    reconnectIfLost();
    return QSqlDatabase::database(kConnection, false);
}

QVariant SqlValue(const QSqlQuery &q, int i)
{
    return q.isNull(i) ? QVariant() : q.value(i);
}

QString QuoteIdent(const QString &name)
{
    QString quoted = dialect::StoredName(name);
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
    if (g_open) {
        g_indexes.clear();
        indexKindTable(table);
    }
}

QStringList TableNames()
{
    QStringList names;
    if (!g_open)
        return names;
    QSqlQuery q(gDB());
    if (q.exec(dialect::ListTables()))
        while (q.next())
            names << q.value(0).toString();
    return names;
}

QStringList TableColumns(const QString &table)
{
    // Read from the table's own definition: the driver's record of a query
    // loses quotes that are part of a name.
    if (!g_open)
        return {};
    return dialect::ColumnNames(table);
}

QString StoredTableName(const QString &name)
{
    const QStringList names = TableNames();
    const QString stored = dialect::StoredName(name);
    if (names.contains(stored))
        return stored;
    for (const QString &table : names)
        if (table.compare(stored, Qt::CaseInsensitive) == 0)
            return table;
    return name;
}

int MaxTableColumns()
{
    return dialect::MaxColumns();
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
    if (!g_open)
        return false;
    g_inTransaction = dialect::BeginWrite();
    if (!g_inTransaction)
        NoteDatabaseFailure(gDB().lastError());
    return g_inTransaction;
}

bool CommitTrans()
{
    if (!g_open)
        return false;
    QSqlDatabase db = gDB();
    const bool committed = db.commit();
    if (!committed)
        NoteDatabaseFailure(db.lastError());
    g_inTransaction = !committed;
    return committed;
}

bool InTransaction()
{
    return g_open && g_inTransaction;
}

void Rollback()
{
    if (!g_open)
        return;
    QSqlDatabase db = gDB();
    if (!db.rollback())
        NoteDatabaseFailure(db.lastError());
    g_inTransaction = false;
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
    // "SELECT * FROM table ...": the table names the columns.
    QString wholeTable;
    if (auto m = selectAll.match(statement); m.hasMatch()) {
        wholeTable = m.captured(1);
        if (wholeTable.startsWith(u'"')) {
            wholeTable = wholeTable.mid(1, wholeTable.size() - 2);
            wholeTable.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
    }
    // A dynaset over one table also reads what identifies each row, so that
    // edits and deletes reach exactly the rows that were read.
    Identity identity = Identity::None;
    QStringList keyNames;
    if (dynaset) {
        if (auto m = selectAll.match(statement); m.hasMatch()) {
            table = m.captured(1);
            if (!table.startsWith(u'"'))
                table = QuoteIdent(table);
            const QString rest = m.captured(2);
            if (CurrentEngine() == Engine::Sqlite) {
                identity = Identity::RowId;
            } else {
                keyNames = dialect::KeyColumns(table);
                identity = keyNames.isEmpty() ? Identity::TupleAndValues : Identity::Key;
            }
            const QString hiddenId = dialect::RowIdSelect(identity == Identity::TupleAndValues);
            statement = QStringLiteral("SELECT ") + (hiddenId.isEmpty() ? QString() : hiddenId + QStringLiteral(", "))
                      + QStringLiteral("* FROM ") + table + rest;
        }
    }
    const int hidden = identity == Identity::RowId || identity == Identity::TupleAndValues ? 1 : 0;

    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(statement)) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }

    const QSqlRecord rec = q.record();
    QStringList columns;
    QVector<int> lengths;
    for (int i = hidden; i < rec.count(); ++i) {
        columns << rec.fieldName(i);
        lengths << rec.field(i).length();
    }
    QVector<int> keyColumns;
    if (identity == Identity::Key) {
        for (const QString &k : keyNames) {
            const int c = int(columns.indexOf(k));
            if (c < 0)
                identity = Identity::None;
            keyColumns << c;
        }
    }
    QVector<QVariantList> rows;
    QVector<QVariantList> keys;
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count() - hidden);
        for (int i = hidden; i < rec.count(); ++i)
            row << SqlValue(q, i);
        QVariantList key;
        if (hidden)
            key << q.value(0);
        else if (identity == Identity::Key)
            for (const int c : keyColumns)
                key << row.value(c);
        rows << row;
        keys << key;
    }

    q.finish();
    if (!wholeTable.isEmpty()) {
        // "SELECT *" lists the table's columns in table order; their own
        // spelling keeps quotes that the driver's record drops. (Asked only
        // once every row is read: a server connection runs one query at a time.)
        const QStringList own = TableColumns(wholeTable);
        if (own.size() == columns.size())
            columns = own;
    }
    QHash<QString, int> index;
    index.reserve(columns.size());
    for (int i = int(columns.size()) - 1; i >= 0; --i) // the first of a name wins
        index.insert(columns[i].toCaseFolded(), i);

    m_open = true;
    m_dynaset = identity != Identity::None;
    m_identity = identity;
    m_table = table;
    m_columns = columns;
    m_lengths = lengths;
    m_index = std::move(index);
    m_rows = std::move(rows);
    m_keys = std::move(keys);
    m_keyNames = keyNames;
    m_keyColumns = keyColumns;
    m_pos = 0;
    m_mode = EditMode::None;
    return true;
}

QString Recordset::keyCondition(QVariantList &values) const
{
    QStringList parts;
    switch (m_identity) {
    case Identity::None:
        break;
    case Identity::RowId:
        parts << QStringLiteral("rowid=?");
        values << m_keys[m_pos];
        break;
    case Identity::Key:
        for (const QString &k : m_keyNames)
            parts << QuoteIdent(k) + QStringLiteral("=?");
        values << m_keys[m_pos];
        break;
    case Identity::TupleAndValues:
        // The tuple as read, and only while it still holds what was read: an
        // edit of another workstation in between leaves nothing to match.
        parts << dialect::TupleCondition();
        values << m_keys[m_pos];
        for (int i = 0; i < m_columns.size(); ++i) {
            parts << QuoteIdent(m_columns[i]) + QStringLiteral(" IS NOT DISTINCT FROM ?");
            values << m_rows[m_pos].value(i);
        }
        break;
    }
    return parts.join(QStringLiteral(" AND "));
}

void Recordset::close()
{
    m_open = false;
    m_rows.clear();
    m_keys.clear();
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
        statement += dialect::ReturningKey(m_identity == Identity::Key ? m_keyNames : QStringList());
    } else {
        if (names.isEmpty())
            return true;
        QStringList sets;
        for (const QString &n : names)
            sets << n + QStringLiteral("=?");
        statement = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_table, sets.join(u','), keyCondition(values));
        if (m_identity == Identity::TupleAndValues)
            statement += dialect::ReturningTuple();
    }
    if (!q.prepare(statement)) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        noteTooLong(q.lastError());
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    if (mode == EditMode::Add) {
        // PostgreSQL reports the key through RETURNING; asking it for the last
        // value of a sequence would spoil the transaction.
        if (q.isSelect())
            m_lastInsertId = q.next() ? q.value(0) : QVariant();
        else
            m_lastInsertId = CurrentEngine() == Engine::Sqlite ? q.lastInsertId() : QVariant();
    } else {
        if (q.numRowsAffected() == 0) {
            m_lastError = QStringLiteral("row no longer there");
            return false;
        }
        m_rows[m_pos] = m_buffer;
        if (m_identity == Identity::TupleAndValues && q.isSelect() && q.next())
            m_keys[m_pos] = QVariantList{q.value(0)};
        if (m_identity == Identity::Key) {
            QVariantList key;
            for (const int c : m_keyColumns)
                key << m_buffer.value(c);
            m_keys[m_pos] = key;
        }
    }
    return true;
}

void Recordset::noteTooLong(const QSqlError &error) const
{
    if (!dialect::IsValueTooLong(error))
        return;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int limit = m_lengths.value(i, -1);
        const QVariant &value = m_buffer[i];
        if (m_touched[i] && limit > 0 && value.typeId() == QMetaType::QString
            && value.toString().toUcs4().size() > limit) {
            NoteDatabaseFailure(QStringLiteral("%1 の値が長すぎます（%2 文字まで）。").arg(m_columns[i]).arg(limit));
            return;
        }
    }
}

bool Recordset::remove()
{
    if (!m_open || !m_dynaset || eof())
        return false;
    QSqlQuery q(gDB());
    QVariantList values;
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table, keyCondition(values)));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    m_rows.remove(m_pos);
    m_keys.remove(m_pos);
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
