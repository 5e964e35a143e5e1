#pragma once
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct StoreLocation;

// The database side of backups: connections of their own, row counts, and
// for a server pg_dump and pg_restore, which find passwords the way the
// program does (libpq).

// Opens a connection of its own under name; check isOpen().
QSqlDatabase OpenBackupConnection(const QString &name, const StoreLocation &location);
// The tables of the connection's current schema (or of the SQLite file).
QStringList BackupTables(const QSqlDatabase &db);
// Row counts of tables on db; false when one cannot be counted.
bool CountRows(const QSqlDatabase &db, const QStringList &tables, QMap<QString, qint64> *rows);
// Row counts per table of a SQLite file opened read-only; false when it
// cannot be read as a database.
bool CountSqliteRows(const QString &path, QMap<QString, qint64> *rows);

// Runs pg_dump / pg_restore with arguments; false with the tool's words.
bool RunServerTool(const QString &tool, const QStringList &arguments, QString *error);
// The rows per table of a pg_dump custom-format file, read through
// pg_restore without a server; false when it cannot be read.
bool CountDumpRows(const QString &dump, QMap<QString, qint64> *rows, QString *error);
