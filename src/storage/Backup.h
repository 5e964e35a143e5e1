#pragma once
#include "storage/BackupFiles.h"

#include <QString>
#include <QStringList>

// Backups of the application folder's DATA/ and its database, made while the
// workstations go on working, checked, and restored.
//
// A backup is one consistent moment: the database and the page images agree
// (a document saved meanwhile is in it with its row and its image, or not at
// all). It holds the file steps of page images alone (as the opening that
// settles left-over steps does), so that no save or deletion is between its
// transaction and its image; meanwhile it takes the database snapshot
// (SQLite: VACUUM INTO from a second connection while the first holds the
// write lock; PostgreSQL: a snapshot exported from a second session, which
// pg_dump then reads, after the lock is gone) and hard-links every page image
// as the snapshot's rows have it (a recorded step not yet carried out counts
// as done) into a folder of its own below DATA/. Saves replace images by
// renaming, so the links keep the snapshot's content while saves go on; the
// copying and hashing happen after the lock is released.
//
// The backup is written into a hidden folder beside the destination and
// renamed into place when it is complete and on the disk; a backup that stops
// half way leaves the destination as it was.

// Backs the home (AppFolder()) up into folder: absent, empty, or an earlier
// backup, which is replaced only once the new one is complete. False with the
// reason in error otherwise.
bool MakeBackup(const QString &folder, QString *error, const BackupProgressFn &progress = {});

// Recomputes every file's size and hash and the row counts of the database
// copy. Empty problems: the backup is whole.
struct BackupCheck
{
    QStringList problems; // one line per missing or damaged file or table
    qint64 files = 0;
    qint64 bytes = 0;
};
BackupCheck VerifyBackup(const QString &folder, const BackupProgressFn &progress = {});

// Rebuilds a home from a backup that verifies whole. targets: an empty (or
// absent) folder, which receives DATA/; for a server backup an empty
// PostgreSQL database (postgresql://…), with or without such a folder (its
// setting.ini then names that database). Refuses targets that hold anything.
bool RestoreBackup(const QString &folder, const QStringList &targets, QString *error,
                   const BackupProgressFn &progress = {});
