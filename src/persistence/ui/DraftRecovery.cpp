#include "persistence/ui/DraftRecovery.h"

#include "app/AppState.h"
#include "document/ui/FM.h"
#include "document/ui/FreeEdit.h"
#include "patients/Patient.h"
#include "persistence/Draft.h"
#include "persistence/SavedDocuments.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/DraftKeeper.h"
#include "storage/AppPaths.h"
#include "templates/TemplateReader.h"
#include "templates/ui/BuildDocument.h"
#include "ui/Navigation.h"
#include "ui/Prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <unistd.h>
#include <memory>
#include <vector>

namespace {

struct Found
{
    QString id;
    Draft draft;
    std::unique_ptr<QLockFile> lock;
};

// The lock of draft id when no running program holds it.
std::unique_ptr<QLockFile> TakeLock(const QString &id)
{
    auto lock = std::make_unique<QLockFile>(DraftLockPath(id));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

QString FreeName(const QString &base)
{
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + u'-' + QString::number(n);
    return name;
}

// Drafts of this application folder that nobody is writing, each locked.
// Damaged ones are renamed aside and reported. Another user's drafts (a
// shared data folder) are not touched; a folder or draft that cannot be read
// is reported once.
std::vector<Found> CollectDrafts()
{
    std::vector<Found> found;
    const QFileInfo folderInfo(DraftFolder());
    if (folderInfo.exists() && (!folderInfo.isDir() || !folderInfo.isReadable() || !folderInfo.isExecutable())) {
        DraftKeeper::shared().reportFolderFailure();
        return found;
    }
    const QDir folder(DraftFolder());
    const QStringList files = folder.entryList({QStringLiteral("*.draft")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString id = file.chopped(6);
        if (QFileInfo(DraftPath(id)).ownerId() != ::getuid())
            continue;
        std::unique_ptr<QLockFile> lock = TakeLock(id);
        if (!lock)
            continue;
        // A write that was cut off never replaced the draft; its rest goes.
        QFile::remove(DraftTempPath(id));
        QFile in(DraftPath(id));
        if (!in.open(QIODevice::ReadOnly)) {
            DraftKeeper::shared().reportFolderFailure();
            continue;
        }
        Draft draft;
        if (!DecodeDraft(in.readAll(), draft)) {
            in.close();
            const QString aside = FreeName(DraftPath(id) + QStringLiteral(".corrupt"));
            QFile::rename(DraftPath(id), aside);
            prompter().message(QStringLiteral("保存されていない書類の下書きが壊れているため、復元できません。"
                                              "下書きは別の名前で残しました：")
                               + QDir::toNativeSeparators(aside));
            continue;
        }
        if (QDir::cleanPath(draft.appFolder) != QDir::cleanPath(AppFolder()))
            continue;
        found.push_back({id, std::move(draft), std::move(lock)});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found &a, const Found &b) { return a.draft.time > b.draft.time; });
    return found;
}

QString Describe(const Draft &d)
{
    return d.doc.kind + QStringLiteral("・") + d.patientName + QStringLiteral("・")
        + d.time.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

bool PatientExists(const QString &id)
{
    const QString current = PatientID;
    const bool exists = LookupPatient(id);
    LookupPatient(current);
    return exists;
}

bool Restore(Found &found, const std::function<bool()> &takeDoctor)
{
    const Draft &d = found.draft;
    if (!LookupPatient(d.patientId))
        return false;
    if (takeDoctor && !takeDoctor())
        return false;
    if (nav().showMainWindow)
        nav().showMainWindow();
    if (!BuildDocument(d.doc.kind) || !fm() || fm()->Tag != d.doc.kind)
        return false;
    FM &window = *fm();
    window.更新チェック更新();
    DocumentData doc = CollectDocument(window);
    for (int i = 0; i < doc.fields.size() && i < d.doc.fields.size(); ++i)
        doc.fields[i].text = d.doc.fields[i].text;
    for (int i = 0; i < doc.checks.size() && i < d.doc.checks.size(); ++i)
        doc.checks[i].state = d.doc.checks[i].state;
    doc.surface = d.doc.surface;
    doc.number = d.doc.number;
    // Saving goes on from the version the draft was made of, so that only a
    // change made elsewhere meanwhile turns it into a new document.
    doc.version = d.doc.version;
    ApplyDocument(window, doc);
    if (d.picture)
        PlaceFloatingPicture(window, d.picture->picture, d.picture->twips);
    if (d.text)
        PlaceFloatingText(window, d.text->text, d.text->twips, d.text->color, d.text->pointSize, d.text->bold,
                          d.text->underline);
    window.DocumentChanged = true;
    DraftKeeper::shared().adopt(&window, found.id, std::move(found.lock));
    return true;
}

void Remove(Found &found)
{
    QFile::remove(DraftPath(found.id));
    if (found.lock)
        found.lock->unlock();
}

} // namespace

bool RecoverDrafts(const QString &doctorId, const std::function<bool()> &takeDoctor)
{
    std::vector<Found> drafts = CollectDrafts();
    const QString kept = QStringLiteral("下書きはそのまま残します。");
    for (Found &found : drafts) {
        const Draft &d = found.draft;
        if (d.doctorId != doctorId)
            continue;
        // The document was deleted since (in the saved list of another
        // program or workstation): deleting ends its drafts.
        if (d.doc.number != 0 && SavedDocumentExists(d.doc.kind, d.doc.number) == Existence::No) {
            Remove(found);
            continue;
        }
        const QString what = QStringLiteral("保存されていない書類（") + Describe(d) + QStringLiteral("）を復元できません。");
        if (!TemplateKinds().contains(d.doc.kind)) {
            prompter().message(what + QStringLiteral("書類の様式「") + d.doc.kind + QStringLiteral("」が見つかりません。") + kept);
            continue;
        }
        if (!PatientExists(d.patientId)) {
            prompter().message(what + QStringLiteral("患者（ID ") + d.patientId + QStringLiteral("）が見つかりません。") + kept);
            continue;
        }
        if (!prompter().question(QStringLiteral("保存されていない書類があります（") + Describe(d)
                                 + QStringLiteral("）。復元しますか？\n「いいえ」を選ぶと、この内容は破棄されます。"))) {
            Remove(found);
            continue;
        }
        if (Restore(found, takeDoctor))
            return true;
        prompter().message(what + kept);
        return false;
    }
    return false;
}

void DiscardDraftsOf(const QString &kind, int id)
{
    const QDir folder(DraftFolder());
    for (const QString &file : folder.entryList({QStringLiteral("*.draft")}, QDir::Files)) {
        const QString draftId = file.chopped(6);
        std::unique_ptr<QLockFile> lock = TakeLock(draftId);
        if (!lock)
            continue;
        QFile in(DraftPath(draftId));
        Draft d;
        if (in.open(QIODevice::ReadOnly) && DecodeDraft(in.readAll(), d) && d.doc.number == id
            && d.doc.kind.compare(kind, Qt::CaseInsensitive) == 0
            && QDir::cleanPath(d.appFolder) == QDir::cleanPath(AppFolder())) {
            in.close();
            QFile::remove(DraftPath(draftId));
        }
    }
}
