#include "storage/Backup.h"

#include "storage/AppPaths.h"
#include "storage/BackupDatabase.h"
#include "storage/ServerConnection.h"
#include "storage/Database.h"
#include "storage/FileJournal.h"
#include "storage/PausePoint.h"
#include "storage/StoreLocation.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kLockConnection = QStringLiteral("rydol-backup-lock");
const QString kSnapshotConnection = QStringLiteral("rydol-backup-snapshot");
const QString kStagePrefix = QStringLiteral(".backup-");

bool fail(QString *error, const QString &reason)
{
    *error = reason;
    return false;
}

// A connection that is closed and removed when the scope ends.
class Connection
{
public:
    explicit Connection(const QString &name) : m_name(name) {}
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    bool exec(const QString &sql, QString *error) const
    {
        QSqlQuery q(db());
        if (q.exec(sql))
            return true;
        *error = sql.section(u' ', 0, 1) + QStringLiteral(": ") + q.lastError().text();
        return false;
    }

private:
    QString m_name;
};

// A step of the file journal, its paths relative to DATA/.
struct Step
{
    QString target, temporary, aside;
};

QString belowData(const QString &path)
{
    const QString data = DataPath();
    return path.startsWith(data) ? path.mid(data.size()) : path;
}

QList<Step> recordedSteps(const QSqlDatabase &db)
{
    QList<Step> steps;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT Target, Temporary, Aside FROM FileJournal")))
        while (q.next())
            steps.append({belowData(q.value(0).toString()), belowData(q.value(1).toString()),
                          belowData(q.value(2).toString())});
    return steps;
}

bool present(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// A second name for the file's content as it is now: a save that replaces
// the file afterwards gives the name to a new file and leaves this one.
bool keep(const QString &from, const QString &to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
        || QFile::copy(from, to);
}

// The page images as the database snapshot has them, kept in stage/pic_save.
// Runs while no save or deletion is between its transaction and its image.
bool stageImages(const QString &stage, const QList<Step> &steps, QString *error)
{
    const QDir pictures(DataPath(QStringLiteral("pic_save")));
    for (const QString &kind : pictures.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QDir from(pictures.filePath(kind));
        const QString to = stage + QStringLiteral("/pic_save/") + kind + u'/';
        if (!QDir().mkpath(to))
            return fail(error, QStringLiteral("cannot make ") + to);
        QDirIterator it(from.path(), QDir::Files | QDir::Hidden | QDir::System);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!IsTemporaryFileName(it.fileName()) && !keep(path, to + it.fileName()))
                return fail(error, QStringLiteral("cannot read ") + path);
        }
    }
    // Committed changes whose image is not yet in place: the snapshot's rows
    // go with the new image (or with none, for a deletion).
    for (const Step &step : steps) {
        const QString target = stage + u'/' + step.target;
        const QString temporary = DataPath(step.temporary);
        if (!step.target.startsWith(QStringLiteral("pic_save/")))
            continue;
        if (step.temporary.isEmpty()) {
            QFile::remove(target);
            continue;
        }
        if (!present(temporary))
            continue; // already moved into place before the stage was made
        if (!step.aside.isEmpty() && present(target) && !present(stage + u'/' + step.aside))
            QFile::rename(target, stage + u'/' + step.aside);
        QFile::remove(target);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !keep(temporary, target))
            return fail(error, QStringLiteral("cannot read ") + temporary);
    }
    return true;
}

// The embedded file: while a first connection holds the write lock, a second
// one copies the database; the images are staged under the same lock.
bool snapshotEmbedded(const QString &stage, const QString &copy, QString *error)
{
    if (!QFileInfo(DatabasePath()).isFile())
        return fail(error, DatabasePath() + QStringLiteral(" does not exist"));
    Connection lock(kLockConnection), reader(kSnapshotConnection);
    for (const QString &name : {kLockConnection, kSnapshotConnection}) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(DatabasePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=120000"));
        if (!db.open())
            return fail(error, db.lastError().text());
    }
    QString into = copy;
    into.replace(u'\'', QStringLiteral("''"));
    const bool done = lock.exec(QStringLiteral("BEGIN IMMEDIATE"), error)
                   && reader.exec(QStringLiteral("VACUUM INTO '%1'").arg(into), error)
                   && stageImages(stage, recordedSteps(lock.db()), error);
    lock.exec(QStringLiteral("ROLLBACK"), error);
    return done;
}

// The server: the lock is held in one session while another one takes the
// snapshot that pg_dump reads; the lock ends once the images are staged.
bool snapshotServer(const StoreLocation &server, const QString &stage, const QString &dump,
                    QMap<QString, qint64> *rows, QString *error)
{
    Connection lock(kLockConnection), reader(kSnapshotConnection);
    for (const QString &name : {kLockConnection, kSnapshotConnection}) {
        const QSqlDatabase db = OpenBackupConnection(name, server);
        if (!db.isOpen())
            return fail(error, db.lastError().text());
    }
    QSqlQuery exported(reader.db());
    if (!lock.exec(QStringLiteral("BEGIN"), error) || !lock.exec(QStringLiteral("SET LOCAL lock_timeout = '120s'"), error)
        || !lock.exec(QStringLiteral("LOCK TABLE filejournal IN SHARE ROW EXCLUSIVE MODE"), error)
        || !reader.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"), error)
        || !exported.exec(QStringLiteral("SELECT pg_export_snapshot()")) || !exported.next())
        return fail(error, error->isEmpty() ? exported.lastError().text() : *error);
    const QString snapshot = exported.value(0).toString();
    const bool staged = stageImages(stage, recordedSteps(reader.db()), error);
    lock.exec(QStringLiteral("COMMIT"), error);
    if (!staged)
        return false;
    PausePoint("backup-snapshot-taken");
    if (!CountRows(reader.db(), BackupTables(reader.db()), rows))
        return fail(error, QStringLiteral("cannot count the rows of the database"));
    return RunServerTool(QStringLiteral("pg_dump"),
                         {QStringLiteral("--format=custom"), QStringLiteral("--snapshot=") + snapshot,
                          QStringLiteral("--file=") + dump, QStringLiteral("--dbname=") + ServerConnInfo(server)},
                         error);
}

// Staging folders of backups that stopped half way, a day ago or longer.
void removeStaleStages()
{
    const QDir data(DataPath());
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    for (const QString &name : data.entryList({kStagePrefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (QFileInfo(data.filePath(name)).lastModified() < dayAgo)
            QDir(data.filePath(name)).removeRecursively();
}

struct Copy
{
    QString from, to; // to: relative to the backup folder
    qint64 size = 0;
};

// Everything of DATA/ but the database and the page images, which come from
// the snapshot.
void addDataFiles(QList<Copy> &copies)
{
    const QDir data(DataPath());
    for (const QFileInfo &entry : data.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString name = entry.fileName();
        if (name.compare(QStringLiteral("pic_save"), Qt::CaseInsensitive) == 0 || name.startsWith(kStagePrefix)
            || name.startsWith(QStringLiteral("Rydol.db")))
            continue;
        if (!entry.isDir()) {
            copies.append({entry.filePath(), QStringLiteral("DATA/") + name, entry.size()});
            continue;
        }
        QDirIterator it(entry.filePath(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            copies.append({path, QStringLiteral("DATA/") + belowData(path), it.fileInfo().size()});
        }
    }
}

void addStagedImages(const QString &stage, QList<Copy> &copies)
{
    QDirIterator it(stage, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        copies.append({path, QStringLiteral("DATA") + path.mid(stage.size()), it.fileInfo().size()});
    }
}

// Puts the complete backup at folder, replacing an earlier one in one step.
bool putInPlace(const QString &work, const QString &folder, QString *error)
{
    const QByteArray from = QFile::encodeName(work), to = QFile::encodeName(folder);
    bool placed = false;
    if (!present(folder))
        placed = ::rename(from.constData(), to.constData()) == 0;
    else if (IsAbsentOrEmpty(folder))
        placed = QDir().rmdir(folder) && ::rename(from.constData(), to.constData()) == 0;
    else // the earlier backup ends up in the work folder, which is removed
        placed = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0;
    if (!placed)
        return fail(error, QStringLiteral("cannot put the backup in place at ") + folder);
    SyncFolder(QFileInfo(folder).absolutePath());
    return true;
}

} // namespace

bool MakeBackup(const QString &folderName, QString *error, const BackupProgressFn &progress)
{
    error->clear();
    const QString folder = QFileInfo(QDir::cleanPath(folderName)).absoluteFilePath();
    if ((folder + u'/').startsWith(DataPath()))
        return fail(error, QStringLiteral("a backup cannot lie inside ") + DataPath());
    BackupManifest manifest;
    if (!IsAbsentOrEmpty(folder) && !ReadManifest(folder, &manifest))
        return fail(error, folder + QStringLiteral(" is not empty and holds no backup"));
    const StoreLocation store = ParseStoreLocation(ConfiguredStore());
    if (store.kind == StoreLocation::Kind::Invalid || store.hasPassword)
        return fail(error, QStringLiteral("setting.ini names no usable database: ") + store.text);
    const QString parent = QFileInfo(folder).absolutePath();
    QDir().mkpath(parent);
    QTemporaryDir work(parent + QStringLiteral("/.") + QFileInfo(folder).fileName() + QStringLiteral(".partial-XXXXXX"));
    removeStaleStages();
    QTemporaryDir stage(DataPath(kStagePrefix + QStringLiteral("XXXXXX")));
    if (!work.isValid() || !stage.isValid() || !QDir().mkpath(work.filePath(QStringLiteral("DATA"))))
        return fail(error, QStringLiteral("cannot make a folder beside ") + folder + QStringLiteral(" or in ") + DataPath());

    manifest = BackupManifest();
    manifest.created = QDateTime::currentDateTime().toString(Qt::ISODate);
    if (store.kind == StoreLocation::Kind::Server) {
        manifest.store = kStoreServer;
        manifest.database = QStringLiteral("database.dump");
        if (!snapshotServer(store, stage.path(), work.filePath(manifest.database), &manifest.rows, error))
            return false;
    } else {
        manifest.store = kStoreSqlite;
        manifest.database = QStringLiteral("DATA/Rydol.db");
        if (!snapshotEmbedded(stage.path(), work.filePath(manifest.database), error))
            return false;
        PausePoint("backup-snapshot-taken");
        if (!CountSqliteRows(work.filePath(manifest.database), &manifest.rows))
            return fail(error, QStringLiteral("the copy of the database cannot be read"));
    }

    QList<Copy> copies;
    addStagedImages(stage.path(), copies);
    addDataFiles(copies);
    BackupProgress done;
    done.totalFiles = copies.size() + 1;
    for (const Copy &c : copies)
        done.totalBytes += c.size;
    done.totalBytes += QFileInfo(work.filePath(manifest.database)).size();
    for (const Copy &c : copies) {
        BackupFile file{c.to, 0, {}};
        if (!CopyHashed(c.from, work.filePath(c.to), &file))
            return fail(error, QStringLiteral("cannot copy ") + c.from);
        manifest.files.append(file);
        ++done.files;
        done.bytes += file.size;
        if (done.files == done.totalFiles / 2)
            PausePoint("backup-copying");
        if (progress)
            progress(done);
    }
    BackupFile database{manifest.database, 0, {}};
    if (!HashFile(work.filePath(manifest.database), &database))
        return fail(error, QStringLiteral("cannot read the copy of the database"));
    manifest.files.append(database);
    ++done.files;
    done.bytes += database.size;
    if (progress)
        progress(done);
    if (!WriteManifest(work.path(), manifest) || !SyncTree(work.path()))
        return fail(error, QStringLiteral("cannot write the backup to the disk at ") + work.path());
    return putInPlace(work.path(), folder, error);
}
