#pragma once
#include <QString>
#include <QStringList>

struct StoreLocation;

// Copies the embedded database file (every table, row for row) into an empty
// PostgreSQL database in one transaction, compares the row count and a
// checksum of every table on both sides and gives one summary line per
// table. Text columns holding longer values than the server's column takes
// are widened to fit, each told in notes with the rows concerned. Refuses a
// target that already holds a table of the same name. False with error set
// when nothing was copied.
bool MigrateToServer(const QString &sqlitePath, const StoreLocation &target, QStringList *summary,
                     QStringList *notes, QString *error);
