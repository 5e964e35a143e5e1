#pragma once
#include <QString>

// Where the database of the run lives. setting.ini [DATA] DB names it, the
// environment variable RYDOL_DB overrides that:
//   absent, empty or "sqlite"          the embedded file DATA/Rydol.db
//   postgresql://user@host:port/dbname  a PostgreSQL server
// A server URL may carry libpq options as a query (?sslmode=require); a
// socket folder goes in as ?host=/path. Passwords are never taken from it:
// libpq finds them itself (~/.pgpass, PGPASSWORD, peer or GSS authentication).
struct StoreLocation
{
    enum class Kind { Embedded, Server, Invalid };
    Kind kind = Kind::Embedded;
    QString host;     // name, address or socket folder; empty: libpq's default
    int port = -1;    // -1: libpq's default
    QString user;     // empty: libpq's default
    QString database;
    QString options;  // further libpq keywords, "key=value key=value"
    bool hasPassword = false; // refused: passwords do not belong in the setting
    QString text;     // what was configured, for messages (never a password)
};

StoreLocation ParseStoreLocation(const QString &text);
// RYDOL_DB when set, else [DATA] DB of setting.ini.
QString ConfiguredStore();
// The URL of location with another database name (tools and tests).
QString ServerUrl(const StoreLocation &location, const QString &database);
