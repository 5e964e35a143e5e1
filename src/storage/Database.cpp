#include "storage/Database.h"
#include "storage/AppPaths.h"
#include "storage/AuditTrail.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/FileJournal.h"
#include "storage/KeptStatements.h"
#include "storage/TableIndexes.h"
#include "storage/SearchKeyWatch.h"
#include "storage/ServerConnection.h"
#include "storage/StoreLocation.h"

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
    CreateProgramIndexes();
    WatchSearchKeys(db, DatabaseIndexes());
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
    // Statements prepared on the lost connection went with it.
    ForgetKeptStatements();
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
        const bool kept = audit || table.name == u"医師" || table.name == u"医師認証" || table.name == u"Kanja_Data"
                       || table.name == u"書類版" || table.name == u"操作履歴連結";
        needs.append({table.name, !audit, !kept});
    }
    // The tables are listed once, not once a kind.
    const QStringList present = TableNames();
    QStringList missing;
    for (const QString &kind : kinds) {
        const QString table = StoredTableNameIn(present, kind);
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
    LinkAuditRows();
    ForgetKeptStatements();
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

namespace {

// Whether a table is stored under exactly this name: one row asked for, not
// the list of every kind's table.
bool tableStoredAs(const QString &stored)
{
    const QString column = CurrentEngine() == Engine::Postgres ? QStringLiteral("c.relname") : QStringLiteral("name");
    const KeptQuery q(dialect::ListTables() + QStringLiteral(" AND ") + column + QStringLiteral("=?"));
    if (!q.prepared())
        return false;
    q->addBindValue(stored);
    return q->exec() && q->next();
}

} // namespace

QString StoredTableName(const QString &name)
{
    if (g_open && tableStoredAs(dialect::StoredName(name)))
        return dialect::StoredName(name);
    return StoredTableNameIn(TableNames(), name);
}

bool TableExists(const QString &name)
{
    if (!g_open)
        return false;
    const QString stored = dialect::StoredName(name);
    return tableStoredAs(stored) || TableNames().contains(stored, Qt::CaseInsensitive);
}

QString StoredTableNameIn(const QStringList &names, const QString &name)
{
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
    if (committed)
        LinkAuditRows();
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
