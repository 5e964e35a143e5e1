#include "storage/FileJournal.h"

#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"
#include "storage/PausePoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <cstdio>
#include <optional>
#include <mutex>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::mutex g_observerMutex;
std::function<void(const QString &)> g_syncObserver;

std::function<void(const QString &)> syncObserver()
{
    std::lock_guard<std::mutex> lock(g_observerMutex);
    return g_syncObserver;
}

const QString kTemporaryPrefix = QStringLiteral(".saving-");
const QString kTemporarySuffix = QStringLiteral(".tmp");

// Steps are stored relative to DATA/, so that a moved application folder
// still finds its files.
QString stored(const QString &path)
{
    const QString data = DataPath();
    return path.startsWith(data) ? path.mid(data.size()) : path;
}

QString absolute(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return DataPath(path);
}

bool exists(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Replaces to with from in one step.
bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

// The statement with %1 the journal's table and %2, %3, %4 its columns
// Target, Temporary and Aside; a statement may leave some of them out.
QString journalSql(const QString &pattern)
{
    const QString names[] = {QStringLiteral("FileJournal"), QStringLiteral("Target"), QStringLiteral("Temporary"),
                             QStringLiteral("Aside")};
    QString sql = pattern;
    for (int i = 0; i < 4; ++i)
        sql.replace(u'%' + QString::number(i + 1), QuoteIdent(names[i]));
    return sql;
}

bool forget(const QString &target)
{
    KeptQuery q(journalSql(QStringLiteral("DELETE FROM %1 WHERE %2=?")));
    if (!q.prepared())
        return false;
    q->addBindValue(stored(target));
    return ExecNoted(*q);
}

// Inside a transaction that holds the file steps alone or shared.
bool carryOut(const QString &target, const QString &temporary, const QString &aside)
{
    if (!temporary.isEmpty()) {
        // Once the temporary is gone it is the target: the step was done.
        if (exists(temporary)) {
            if (!aside.isEmpty() && exists(target) && !exists(aside) && !replaceFile(target, aside))
                return false;
            if (!replaceFile(temporary, target))
                return false;
        }
    } else if (exists(target) && !QFile::remove(target)) {
        return false;
    }
    PausePoint("file-step-done");
    if (!SyncFolder(QFileInfo(target).absolutePath()))
        return false;
    return forget(target);
}

// Whether the journal still holds the step of target with this temporary,
// holding that entry until the transaction ends; nullopt when it cannot be
// read. A later change of the same file replaces the entry, and carrying a
// step out removes it.
std::optional<bool> stillRecorded(const QString &target, const QString &temporary)
{
    KeptQuery q(journalSql(QStringLiteral("SELECT %3 FROM %1 WHERE %2=?")) + dialect::ForUpdate());
    if (!q.prepared())
        return std::nullopt;
    q->addBindValue(stored(target));
    if (!q->exec())
        return std::nullopt;
    return q->next() && q->value(0).toString() == stored(temporary);
}

} // namespace

QString TemporaryFileTemplate(const QString &folder)
{
    return folder + u'/' + kTemporaryPrefix + QStringLiteral("XXXXXX") + kTemporarySuffix;
}

bool IsTemporaryFileName(const QString &name)
{
    return name.startsWith(kTemporaryPrefix) && name.endsWith(kTemporarySuffix);
}

bool SyncFile(int fileDescriptor)
{
#ifdef Q_OS_WIN
    return _commit(fileDescriptor) == 0;
#else
    const bool ok = ::fsync(fileDescriptor) == 0;
    if (const auto observer = syncObserver(); ok && observer)
        observer(QFileInfo(QStringLiteral("/proc/self/fd/") + QString::number(fileDescriptor)).symLinkTarget());
    return ok;
#endif
}

bool SyncFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return true; // NTFS orders its own metadata; MOVEFILE_WRITE_THROUGH flushes moves
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    if (const auto observer = syncObserver(); ok && observer)
        observer(folder);
    return ok;
#endif
}

void SetSyncObserver(std::function<void(const QString &path)> observer)
{
    std::lock_guard<std::mutex> lock(g_observerMutex);
    g_syncObserver = std::move(observer);
}

bool RecordFileStep(const QString &target, const QString &temporary, const QString &aside)
{
    if (!forget(target))
        return false;
    KeptQuery q(journalSql(QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?)")));
    if (!q.prepared())
        return false;
    q->addBindValue(stored(target));
    q->addBindValue(stored(temporary));
    q->addBindValue(stored(aside));
    return ExecNoted(*q);
}

bool HoldFileSteps()
{
    return dialect::LockFileSteps(false);
}

bool CarryOutFileStep(const QString &target, const QString &temporary, const QString &aside)
{
    if (!BeginTrans())
        return false;
    const std::optional<bool> recorded = HoldFileSteps() ? stillRecorded(target, temporary) : std::nullopt;
    bool done = recorded.has_value();
    if (done && *recorded) {
        done = carryOut(target, temporary, aside);
    } else if (done && !temporary.isEmpty() && exists(temporary)) {
        // Another workstation saved or deleted the document after this
        // change committed: its file stands, and this change's content is no
        // longer wanted (left behind, the next opening removes it).
        QFile::remove(temporary);
    }
    if (!done || !CommitTrans()) {
        Rollback();
        return false;
    }
    return true;
}

bool FileStepPending(const QString &target)
{
    return PendingFileContent(target).has_value();
}

std::optional<QString> PendingFileContent(const QString &target)
{
    KeptQuery q(journalSql(QStringLiteral("SELECT %3 FROM %1 WHERE %2=?")));
    if (!q.prepared())
        return std::nullopt;
    q->addBindValue(stored(target));
    if (!q->exec() || !q->next())
        return std::nullopt;
    return absolute(q->value(0).toString());
}

void SettleFileSteps()
{
    if (!BeginTrans())
        return;
    if (!dialect::LockFileSteps(true)) {
        Rollback();
        return;
    }
    struct Step
    {
        QString target, temporary, aside;
    };
    QList<Step> steps;
    {
        QSqlQuery q(gDB());
        q.setForwardOnly(true);
        if (q.exec(journalSql(QStringLiteral("SELECT %2, %3, %4 FROM %1"))))
            while (q.next())
                steps.append({absolute(q.value(0).toString()), absolute(q.value(1).toString()),
                              absolute(q.value(2).toString())});
    }
    QSet<QString> kept;
    for (const Step &step : steps)
        if (!carryOut(step.target, step.temporary, step.aside) && !step.temporary.isEmpty())
            kept.insert(QFileInfo(step.temporary).absoluteFilePath());

    // Temporaries of changes that never committed: the old files stand.
    const QDir pictures(DataPath(QStringLiteral("pic_save")));
    const QStringList pattern{kTemporaryPrefix + u'*' + kTemporarySuffix};
    for (const QString &kind : pictures.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QDir folder(pictures.filePath(kind));
        bool removed = false;
        for (const QString &name : folder.entryList(pattern, QDir::Files | QDir::Hidden | QDir::System)) {
            const QString path = folder.absoluteFilePath(name);
            if (!kept.contains(path))
                removed = QFile::remove(path) || removed;
        }
        if (removed)
            SyncFolder(folder.absolutePath());
    }
    if (!CommitTrans())
        Rollback();
}
