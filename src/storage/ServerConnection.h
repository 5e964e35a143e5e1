#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct StoreLocation;

// What the program asks of the PostgreSQL connection beyond Qt's driver,
// through libpq.

// True when the server has closed the connection (restarted, or ended the
// session): reads, without waiting, what the server sent while the
// connection was idle. False while a statement or a transaction is under way
// on it, and for any connection that is not PostgreSQL's.
bool ServerConnectionLost(const QSqlDatabase &db);

// Why connecting to location failed, as a line for the user: authentication
// failed, no such database or user, server not reachable, timed out, or the
// server's own words. driverText is what the driver reported.
QString ConnectFailureReason(const StoreLocation &location, const QString &driverText);

// Whether this user may use the store the way the program does: read and
// write each of tables (those that exist), and create the tables of missing,
// those that do not exist yet. Empty when it may; otherwise a line naming
// the table and what is not allowed.
struct TableNeeds
{
    QString table;
    bool update = true; // rows are changed
    bool remove = true; // rows are deleted
};
QString StoreAccessProblem(const QList<TableNeeds> &tables, const QStringList &missing);

// A PostgreSQL connection to location added under name, not yet opened;
// connect_timeout (seconds) unless the location's options set one.
QSqlDatabase AddServerConnection(const QString &name, const StoreLocation &location, int connectTimeout);

// A libpq connection string for location ("host='…' dbname='…' …"), its
// user left out when withUser is false.
QString ServerConnInfo(const StoreLocation &location, bool withUser = true);
