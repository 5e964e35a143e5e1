#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// The pieces of a backup folder: the files it holds, their hashes, and the
// manifest that lists them.
//
// A backup folder holds DATA/ (templates, pictures, icons, setting.ini and the
// page images in pic_save/; the embedded store's Rydol.db) and, for a server
// store, database.dump (pg_dump's custom format). manifest.json, written
// last, names every file with its size and SHA-256 and counts the rows of
// every table of the database as it was backed up.

struct BackupFile
{
    QString path;    // relative to the backup folder, '/' separated
    qint64 size = 0;
    QByteArray sha256; // hex
};

struct BackupManifest
{
    QString store;    // "sqlite" or "postgresql"
    QString database; // the database file's path in the backup
    QString created;  // ISO date and time
    QList<BackupFile> files;
    QMap<QString, qint64> rows;
};

inline const QString kManifestName = QStringLiteral("manifest.json");
inline const QString kStoreSqlite = QStringLiteral("sqlite");
inline const QString kStoreServer = QStringLiteral("postgresql");

// Files and bytes done so far out of the whole, after each file.
struct BackupProgress
{
    qint64 files = 0, totalFiles = 0, bytes = 0, totalBytes = 0;
};
using BackupProgressFn = std::function<void(const BackupProgress &)>;

// Copies from into the new file to (its folder is made), hashing what it
// writes. False when a byte could not be read or written.
bool CopyHashed(const QString &from, const QString &to, BackupFile *file);
// Hashes a file where it lies; false when it cannot be read whole.
bool HashFile(const QString &path, BackupFile *file);

bool WriteManifest(const QString &folder, const BackupManifest &manifest);
// False when the manifest is missing or not one of ours.
bool ReadManifest(const QString &folder, BackupManifest *manifest);

// Makes every file written below folder durable (one call for the whole
// file system).
bool SyncTree(const QString &folder);

// Whether folder is absent or an empty folder.
bool IsAbsentOrEmpty(const QString &folder);
