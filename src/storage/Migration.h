#pragma once
#include <QString>
#include <QStringList>

struct StoreLocation;

// Copies the embedded database file (every table, row for row) into an empty
// PostgreSQL database in one transaction, checks the row count of every
// table and gives one summary line per table. Refuses a target that already
// holds a table of the same name. False with error set when nothing was
// copied.
bool MigrateToServer(const QString &sqlitePath, const StoreLocation &target, QStringList *summary,
                     QString *error);
