#include "persistence/ui/DraftKeeper.h"

#include "app/AppState.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FreeEdit.h"
#include "persistence/DocumentImage.h"
#include "persistence/ui/DocumentBinding.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/FileJournal.h"
#include "ui/IdleMessage.h"

#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QLabel>
#include <QPixmap>
#include <QUuid>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct WriteResult
{
    bool ok = false;
    QByteArray pagePng;
    int generation = 0;
};

QFutureWatcher<WriteResult> &watcher()
{
    static QFutureWatcher<WriteResult> w;
    return w;
}

int g_generation = 0;

// Drafts are written by one thread of their own at a lower priority, so that
// the encoding never takes a core from the GUI thread that the user is
// typing or drawing on.
QThreadPool &writerPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        return p;
    }();
    return *pool;
}

void LowerWriterPriority()
{
    static thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
    }
}

// The field the open editor edits, or -1. A hidden editor keeps the index
// and text of its last field (a number already folded into its field, or
// text dropped when a value menu was opened): it is not what the window shows.
int EditedField(const FM &window)
{
    if (!window.TxtInput.ifMade() || window.TxtInput->isHidden() || window.TxtInput->Tag.isEmpty())
        return -1;
    bool ok = false;
    const int index = window.TxtInput->Tag.toInt(&ok);
    return ok && index >= 0 && index < window.LbItem.size() ? index : -1;
}

// 終了判定 of the stored row as text; "" for a new document or no row.
QString StoredState(const QString &kind, int number)
{
    if (number == 0 || !IsUsableKindName(kind) || !DatabaseIsOpen())
        return QString();
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"),
                 QStringLiteral("SELECT \"終了判定\" FROM ") + QuoteIdent(StoredTableName(kind))
                     + QStringLiteral(" WHERE ID=?"),
                 {number})
        || rs.eof())
        return QString();
    const QVariant v = rs.field(QStringLiteral("終了判定"));
    return v.isNull() ? QString() : v.toString();
}

} // namespace

DraftKeeper &DraftKeeper::shared()
{
    static DraftKeeper *keeper = new DraftKeeper;
    return *keeper;
}

DraftKeeper::DraftKeeper()
{
    // A write that fails is told when the doctor stops typing.
    WatchUserInput();
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    connect(&watcher(), &QFutureWatcher<WriteResult>::finished, this, [this] { written(); });
}

void DraftKeeper::start(int intervalMs)
{
    m_timer.start(intervalMs);
}

void DraftKeeper::stop()
{
    m_timer.stop();
    waitForWrite();
}

QString DraftKeeper::currentPath() const
{
    return m_hasDraft && !m_id.isEmpty() ? DraftPath(m_id) : QString();
}

DraftKeeper::Look DraftKeeper::lookAt(FM &window)
{
    Look look;
    look.fields.reserve(window.LbItem.size());
    for (const DocLabel *item : window.LbItem)
        look.fields << item->text();
    if (EditedField(window) >= 0) {
        look.editorTag = window.TxtInput->Tag;
        look.editorText = window.TxtInput->text();
    }
    look.checks.reserve(window.ImgCheck.size());
    for (const DocLabel *check : window.ImgCheck)
        look.checks << check->DataField;
    look.surface = window.surfaceRevision();
    look.number = window.Lb登録番号->text();
    look.picture = !window.Img->isHidden();
    if (look.picture) {
        look.pictureKey = window.Img->pixmap().cacheKey();
        look.pictureAt = FloatTwips(window.Img);
    }
    look.text = !window.LbMoji->isHidden();
    if (look.text) {
        const DocLabel *m = window.LbMoji;
        look.textText = m->text();
        look.textAt = m->twips();
        look.textLook = QStringLiteral("%1|%2|%3|%4").arg(m->foreColor().name()).arg(m->fontSize())
                            .arg(m->fontBold()).arg(m->fontUnderline());
    }
    return look;
}

bool DraftKeeper::hasUnsavedChanges(FM &window)
{
    if (window.OldVersion)
        return false;
    if (window.更新チェック())
        return true;
    const int edited = EditedField(window);
    return edited >= 0 && window.TxtInput->text() != window.LbItem[edited]->text();
}

Draft DraftKeeper::Collect(FM &window)
{
    Draft d;
    d.doc = CollectDocument(window);
    const int edited = EditedField(window);
    if (edited >= 0 && edited < d.doc.fields.size())
        d.doc.fields[edited].text = window.TxtInput->text();
    // The document's own patient: recovery makes that patient current again.
    d.patientId = window.患者番号;
    d.patientName = window.患者名;
    d.doctorId = CurrentDrID;
    d.doctorName = CurrentDrName;
    d.appFolder = AppFolder();
    d.time = QDateTime::currentDateTime();
    if (!window.Img->isHidden() && !window.Img->pixmap().isNull())
        d.picture = DraftPicture{window.Img->pixmap().toImage(), FloatTwips(window.Img)};
    if (!window.LbMoji->isHidden()) {
        const DocLabel *m = window.LbMoji;
        d.text = DraftText{m->text(), m->twips(), m->foreColor(), m->fontSize(), m->fontBold(), m->fontUnderline()};
    }
    return d;
}

void DraftKeeper::follow(FM *window)
{
    waitForWrite();
    // A window replaced without being closed through its question leaves its
    // draft where it is: it is offered at the next start.
    m_window = window;
    m_id.clear();
    m_lock.reset();
    m_hasDraft = false;
    m_last.reset();
    m_pageEncoded = false;
    m_pagePng.clear();
    m_stateKey.clear();
}

void DraftKeeper::adopt(FM *window, const QString &id, std::unique_ptr<QLockFile> lock)
{
    follow(window);
    m_id = id;
    m_lock = std::move(lock);
    m_hasDraft = QFile::exists(DraftPath(id));
}

void DraftKeeper::tick()
{
    FM *window = fm();
    if (window != m_window)
        follow(window);
    if (!window || window->Tag.isEmpty())
        return;
    if (m_writing) {
        m_again = true;
        return;
    }
    if (!hasUnsavedChanges(*window)) {
        if (m_hasDraft)
            removeFiles();
        m_last.reset();
        return;
    }
    Look look = lookAt(*window);
    if (m_last && *m_last == look)
        return;
    Draft draft = Collect(*window);
    const QString stateKey = draft.doc.kind + u'/' + QString::number(draft.doc.number);
    if (stateKey != m_stateKey) {
        m_stateKey = stateKey;
        m_state = StoredState(draft.doc.kind, draft.doc.number);
    }
    draft.state = m_state;
    const bool encodePage = !m_pageEncoded || look.surface != m_encodedRevision;
    m_encodedRevision = look.surface;
    m_last = std::move(look);
    write(std::move(draft), encodePage);
}

void DraftKeeper::write(Draft draft, bool encodePage)
{
    if (m_id.isEmpty())
        m_id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Until a draft was written the folder may be missing (again).
    if (!m_hasDraft) {
        // What a doctor wrote about a patient is for this user only.
        QDir().mkpath(DraftFolder());
        QFile::setPermissions(DraftFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!m_lock || !m_lock->isLocked()) {
        m_lock = std::make_unique<QLockFile>(DraftLockPath(m_id));
        m_lock->setStaleLockTime(0);
        m_lock->tryLock(0);
    }
    QImage surface;
    if (encodePage) {
        surface = draft.doc.surface;
        m_pageEncoded = false;
    } else {
        draft.pagePng = m_pagePng;
    }
    draft.doc.surface = QImage();
    m_writing = true;
    m_again = false;
    const QString path = DraftPath(m_id);
    const QString temp = DraftTempPath(m_id);
    const int generation = g_generation;
    watcher().setFuture(QtConcurrent::run(&writerPool(), [draft = std::move(draft), surface, path, temp, generation]() mutable {
        LowerWriterPriority();
        WriteResult r;
        r.generation = generation;
        if (!surface.isNull())
            draft.pagePng = EncodePagePng(surface);
        r.pagePng = draft.pagePng;
        r.ok = !r.pagePng.isEmpty() && WriteFileAtomically(path, temp, EncodeDraft(draft));
        return r;
    }));
}

void DraftKeeper::written()
{
    if (!m_writing || !watcher().isFinished())
        return;
    m_writing = false;
    const WriteResult r = watcher().future().result();
    if (r.generation != g_generation)
        return;
    if (r.ok) {
        ++m_writes;
        m_hasDraft = true;
        m_pagePng = r.pagePng;
        m_pageEncoded = true;
        m_failureSaid = false;
    } else {
        m_last.reset(); // try again at the next look
        m_pageEncoded = false;
        // The page was encoded, so the file could not be written.
        if (!r.pagePng.isEmpty())
            reportFolderFailure();
    }
    if (m_again)
        tick();
}

void DraftKeeper::reportFolderFailure()
{
    if (m_failureSaid)
        return;
    m_failureSaid = true;
    MessageWhenIdle(QStringLiteral("下書きを保存できません: ") + QDir::toNativeSeparators(DraftFolder()));
}

void DraftKeeper::waitForWrite()
{
    if (!m_writing)
        return;
    // A change seen meanwhile waits for the next look.
    m_again = false;
    watcher().waitForFinished();
    written();
}

void DraftKeeper::removeFiles()
{
    waitForWrite();
    ++g_generation;
    if (!m_id.isEmpty()) {
        const bool removed = QFile::remove(DraftPath(m_id));
        QFile::remove(DraftTempPath(m_id));
        // A draft that ends with a save stays gone after a power cut too.
        if (removed)
            SyncFolder(DraftFolder());
    }
    m_hasDraft = false;
    m_last.reset();
}

void DraftKeeper::discard()
{
    removeFiles();
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
    m_id.clear();
    m_pageEncoded = false;
    m_pagePng.clear();
}

void InstallDraftKeeping()
{
    docHooks().documentUnloaded = [] { DraftKeeper::shared().discard(); };
    DraftKeeper::shared().start();
}
