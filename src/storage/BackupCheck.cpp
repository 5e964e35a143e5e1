#include "storage/Backup.h"

#include "storage/BackupDatabase.h"
#include "storage/ServerConnection.h"
#include "storage/Ini.h"
#include "storage/StoreLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QTemporaryDir>

#include <optional>

namespace {

bool fail(QString *error, const QString &reason)
{
    *error = reason;
    return false;
}

// A manifest path that stays inside the backup folder.
bool safePath(const QString &path)
{
    return !path.isEmpty() && !QDir::isAbsolutePath(path) && !path.split(u'/').contains(QStringLiteral(".."))
        && !path.contains(u'\\');
}

bool isServerUrl(const QString &target)
{
    return target.startsWith(QStringLiteral("postgresql://")) || target.startsWith(QStringLiteral("postgres://"));
}

// Whether the server database holds no table; false with the reason otherwise.
bool emptyServer(const StoreLocation &server, QString *error)
{
    const QString name = QStringLiteral("rydol-restore-check");
    bool empty = false;
    {
        const QSqlDatabase db = OpenBackupConnection(name, server);
        if (!db.isOpen())
            *error = server.text + QStringLiteral(": ") + db.lastError().text();
        else if (const QStringList tables = BackupTables(db); !tables.isEmpty())
            *error = server.text + QStringLiteral(" is not empty (%1 tables)").arg(tables.size());
        else
            empty = true;
    }
    QSqlDatabase::removeDatabase(name);
    return empty;
}

// The restored setting.ini names the server the database went to.
bool pointSettingsAt(const QString &data, const QString &url)
{
    const QString path = data + QStringLiteral("/ini/setting.ini");
    QFile in(path);
    const QByteArray original = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    const std::optional<QByteArray> edited = EditIniBytes(original, {{QStringLiteral("DB"), url}});
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    return edited && out.open(QIODevice::WriteOnly) && out.write(*edited) == edited->size() && out.commit();
}

} // namespace

BackupCheck VerifyBackup(const QString &folder, const BackupProgressFn &progress)
{
    BackupCheck check;
    BackupManifest manifest;
    if (!ReadManifest(folder, &manifest)) {
        check.problems << kManifestName + QStringLiteral(": missing or unreadable");
        return check;
    }
    BackupProgress done;
    done.totalFiles = manifest.files.size();
    for (const BackupFile &f : manifest.files)
        done.totalBytes += f.size;
    bool databaseWhole = false;
    for (const BackupFile &f : manifest.files) {
        BackupFile found;
        const QString path = folder + u'/' + f.path;
        bool whole = false;
        if (!safePath(f.path))
            check.problems << QStringLiteral("unsafe path in the manifest: ") + f.path;
        else if (!QFileInfo(path).isFile())
            check.problems << QStringLiteral("missing: ") + f.path;
        else if (!HashFile(path, &found))
            check.problems << QStringLiteral("unreadable: ") + f.path;
        else if (found.size != f.size)
            check.problems << QStringLiteral("damaged: %1 (%2 bytes, expected %3)").arg(f.path).arg(found.size).arg(f.size);
        else if (found.sha256 != f.sha256)
            check.problems << QStringLiteral("damaged: %1 (content differs)").arg(f.path);
        else
            whole = true;
        if (f.path == manifest.database)
            databaseWhole = whole;
        ++done.files;
        done.bytes += f.size;
        check.files += whole;
        check.bytes += whole ? f.size : 0;
        if (progress)
            progress(done);
    }
    if (!databaseWhole)
        return check;
    QMap<QString, qint64> rows;
    QString why;
    const QString database = folder + u'/' + manifest.database;
    if (!(manifest.store == kStoreSqlite ? CountSqliteRows(database, &rows) : CountDumpRows(database, &rows, &why))) {
        check.problems << manifest.database + QStringLiteral(": cannot be read as a database ") + why;
        return check;
    }
    for (auto it = manifest.rows.begin(); it != manifest.rows.end(); ++it) {
        if (!rows.contains(it.key()))
            check.problems << QStringLiteral("table %1: missing").arg(it.key());
        else if (rows[it.key()] != it.value())
            check.problems << QStringLiteral("table %1: %2 rows, expected %3").arg(it.key()).arg(rows[it.key()]).arg(it.value());
    }
    for (auto it = rows.begin(); it != rows.end(); ++it)
        if (!manifest.rows.contains(it.key()))
            check.problems << QStringLiteral("table %1: not in the manifest").arg(it.key());
    return check;
}

bool RestoreBackup(const QString &folder, const QStringList &targets, QString *error, const BackupProgressFn &progress)
{
    QString home, url;
    for (const QString &target : targets) {
        QString &slot = isServerUrl(target) ? url : home;
        if (!slot.isEmpty())
            return fail(error, QStringLiteral("name one folder and at most one server database"));
        slot = isServerUrl(target) ? target : QFileInfo(QDir::cleanPath(target)).absoluteFilePath();
    }
    BackupManifest manifest;
    if (!ReadManifest(folder, &manifest))
        return fail(error, folder + QStringLiteral(" holds no backup (") + kManifestName + u')');
    if (manifest.store == kStoreSqlite && (home.isEmpty() || !url.isEmpty()))
        return fail(error, QStringLiteral("this backup holds the embedded database: restore it into an empty folder"));
    if (manifest.store == kStoreServer && url.isEmpty())
        return fail(error, QStringLiteral("this backup holds a server database: name an empty one (postgresql://…)"));
    const StoreLocation server = ParseStoreLocation(url);
    if (!url.isEmpty() && (server.kind != StoreLocation::Kind::Server || server.hasPassword))
        return fail(error, url + QStringLiteral(" is not a server address without password"));
    if (!home.isEmpty() && !IsAbsentOrEmpty(home))
        return fail(error, home + QStringLiteral(" is not empty"));
    if (!url.isEmpty() && !emptyServer(server, error))
        return false;
    const BackupCheck check = VerifyBackup(folder, progress);
    if (!check.problems.isEmpty())
        return fail(error, QStringLiteral("the backup is not whole:\n") + check.problems.join(u'\n'));

    // The files go to a hidden folder first and become DATA/ at the end.
    std::optional<QTemporaryDir> partial;
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        partial.emplace(home + QStringLiteral("/.restoring-XXXXXX"));
        if (!partial->isValid())
            return fail(error, QStringLiteral("cannot write into ") + home);
        for (const BackupFile &f : manifest.files) {
            BackupFile copied;
            if (!f.path.startsWith(QStringLiteral("DATA/")))
                continue;
            if (!CopyHashed(folder + u'/' + f.path, partial->filePath(f.path), &copied) || copied.sha256 != f.sha256)
                return fail(error, QStringLiteral("cannot copy ") + f.path);
        }
        QDir().mkpath(partial->filePath(QStringLiteral("DATA/pic_save")));
        if (!url.isEmpty() && !pointSettingsAt(partial->filePath(QStringLiteral("DATA")), url))
            return fail(error, QStringLiteral("cannot write DB into setting.ini"));
    }
    if (!url.isEmpty()
        && !RunServerTool(QStringLiteral("pg_restore"),
                          {QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"),
                           QStringLiteral("--exit-on-error"), QStringLiteral("--single-transaction"),
                           QStringLiteral("--dbname=") + ServerConnInfo(server), folder + u'/' + manifest.database},
                          error))
        return false;
    if (partial) {
        if (!SyncTree(partial->path())
            || !QDir().rename(partial->filePath(QStringLiteral("DATA")), home + QStringLiteral("/DATA")))
            return fail(error, QStringLiteral("cannot put DATA in place in ") + home);
        SyncTree(home);
    }
    return true;
}
