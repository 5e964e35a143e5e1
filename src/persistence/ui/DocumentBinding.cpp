#include "persistence/ui/DocumentBinding.h"

#include "document/ui/FM.h"
#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/SaveDocument.h"
#include "persistence/ui/PersistenceHooks.h"
#include "storage/AppPaths.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"
#include "ui/Prompter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFuture>
#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>
#include <QPixmap>
#include <QPixmapCache>

namespace {
// Set on a window whose stored page image could not be read back.
const char *const kDamagedImage = "rydolDamagedPageImage";

// Everything of the window but its page.
DocumentData CollectFields(const FM &window)
{
    DocumentData doc;
    doc.kind = window.Tag;
    doc.number = window.Lb登録番号->text().trimmed().toInt();
    doc.version = window.StoredVersion;
    doc.patientId = window.患者番号;
    doc.fields.reserve(window.LbItem.size());
    for (const DocLabel *item : window.LbItem)
        doc.fields.append({item->Tag, item->LinkItem, item->text()});
    doc.checks.reserve(window.ImgCheck.size());
    for (const DocLabel *check : window.ImgCheck)
        doc.checks.append({check->Tag, check->DataField});
    return doc;
}
}

DocumentData CollectDocument(FM &window)
{
    DocumentData doc = CollectFields(window);
    doc.surface = window.surface();
    doc.keepDamagedImage = window.property(kDamagedImage).toBool();
    return doc;
}

namespace {
// A check-box picture, decoded once for as long as its file stays the same.
QPixmap checkPicture(const QString &name)
{
    const QString path = DataPath(QStringLiteral("icon/") + name);
    const QFileInfo file(path);
    const QString key = QStringLiteral("rydol-check:") + path + u':'
                      + QString::number(file.lastModified().toMSecsSinceEpoch()) + u':' + QString::number(file.size());
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture) && picture.load(path))
        QPixmapCache::insert(key, picture);
    return picture;
}
}

void ApplyDocument(FM &window, const DocumentData &doc)
{
    // The values go in as one change of the window, painted once.
    const bool updates = window.updatesEnabled();
    window.setUpdatesEnabled(false);
    for (int i = 0; i < window.LbItem.size() && i < doc.fields.size(); ++i)
        window.LbItem[i]->setText(doc.fields[i].text);

    const QPixmap checked = checkPicture(QStringLiteral("check.gif"));
    const QPixmap unchecked = checkPicture(QStringLiteral("uncheck.gif"));
    for (int i = 0; i < window.ImgCheck.size() && i < doc.checks.size(); ++i) {
        DocLabel *check = window.ImgCheck[i];
        if (check->Tag.isEmpty())
            continue;
        // The click handler toggles on the exact text "0"; a stored 0 in any
        // spelling must read as an empty box.
        const bool ticked = Val(doc.checks[i].state) != 0;
        check->DataField = ticked ? doc.checks[i].state : QStringLiteral("0");
        const QPixmap &picture = ticked ? checked : unchecked;
        if (!picture.isNull())
            check->setPicture(picture);
    }

    window.setSurface(doc.surface);
    window.surfaceReplaced();
    window.Lb登録番号->setText(QString::number(doc.number));
    window.StoredVersion = doc.version;
    if (!doc.patientId.isEmpty())
        window.患者番号 = doc.patientId;
    window.setUpdatesEnabled(updates);
    window.refreshCanvas();
}

bool SaveWindowDocument(FM &window, int number, const QString &state, SaveFailure *why)
{
    window.テキスト変更();
    DocumentData doc = CollectDocument(window);
    doc.number = number;
    SaveFailure failure = SaveFailure::None;
    const bool saved = SaveDocument(doc, state, &failure);
    if (why)
        *why = failure;
    if (saved)
        window.setProperty(kDamagedImage, QVariant());
    if (failure == SaveFailure::Overtaken) {
        // Another workstation changed the document: the window keeps what
        // the doctor wrote as a new, unsaved document, so that saving again
        // stores it under a new number instead of overwriting.
        window.Lb登録番号->setText(QStringLiteral("0"));
        window.StoredVersion = 0;
        window.setProperty(kDamagedImage, QVariant());
        return false;
    }
    // Also after a failure that happened once the row was stored (its image
    // could not be put in place): the next save must update that row.
    if (doc.number != number)
        window.Lb登録番号->setText(QString::number(doc.number));
    if (saved || doc.number != number)
        window.StoredVersion = doc.version;
    return saved;
}

namespace {
enum class Restored { Found, Missing, OtherPatient };

// What a reopen read, and what its check against the document's last save
// found.
struct ReadRow
{
    RowValues values;
    int version = 0;
    Authenticity authenticity = Authenticity::Unknown;
};

// A reopen but for telling the user of a page image that could not be read.
// With read, the row is checked against its kept version before it shows,
// which may replace page by the one saved with the row.
Restored RestoreDocument(FM &window, int id, PageFile &page, ReadRow *read = nullptr)
{
    DocumentData doc = CollectFields(window);
    const bool found = LoadSavedDocument(doc.kind, id, doc, read ? &read->values : nullptr);
    if (read)
        read->version = doc.version;
    // A list read before the number went to another patient's document (the
    // old one deleted, its number taken again) must not show that document
    // under this patient, nor save it as this patient's. A window built
    // without a patient takes the stored one.
    if (found && !window.患者番号.isEmpty() && doc.patientId != window.患者番号) {
        window.更新チェック更新();
        return Restored::OtherPatient;
    }
    if (found && read)
        read->authenticity = CheckReopenedDocument(doc.kind, id, read->values, read->version, page);
    const QImage &pageImage = page.image;
    if (found) {
        // A stored page covering the whole page needs no white one beneath.
        if (pageImage.size() == window.pagePixels() && pageImage.format() == QImage::Format_RGB32) {
            doc.surface = pageImage;
        } else {
            doc.surface = window.surface();
            DrawPngImage(pageImage, doc.surface);
        }
        ApplyDocument(window, doc);
    }
    window.更新チェック更新();
    // The fields are back; the drawing is not. The file stays as it is for
    // whoever can mend it, and the next save keeps it aside.
    if (found && pageImage.isNull())
        window.setProperty(kDamagedImage, true);
    return found ? Restored::Found : Restored::Missing;
}

// Tells of a page image that could not be read, or closes a document that
// turned out to be another patient's (and reloads the history that offered it).
void TellAfterRestore(Restored restored, const QImage &pageImage)
{
    if (restored == Restored::Found && pageImage.isNull())
        prompter().message(QStringLiteral("ページの画像を読み込めませんでした。"));
    if (restored != Restored::OtherPatient)
        return;
    UnloadFM();
    prompter().message(QStringLiteral("この書類は別の患者の書類に変わっているため、開けません。"));
    RefreshHistoryWindows();
}

// A row or page image that no longer matches what its last save kept was
// changed outside the program: the doctor is told, and 操作履歴 records it.
void TellOfChange(bool found, const QString &kind, int id, const ReadRow &read)
{
    if (!found || read.authenticity != Authenticity::Changed)
        return;
    RecordChangeFound(kind, id);
    prompter().message(QStringLiteral("この書類は保存後に変更された可能性があります。"));
}
}

bool RestoreWindowDocument(FM &window, int id, const QImage &pageImage)
{
    PageFile page{pageImage, std::nullopt};
    return RestoreDocument(window, id, page) == Restored::Found;
}

void ShowKeptVersion(FM &window, int id, const KeptVersion &kept, const QImage &page)
{
    DocumentData doc = CollectFields(window);
    ApplyRowValues(kept.values, doc);
    doc.number = id;
    doc.version = kept.version;
    doc.surface = window.surface();
    DrawPngImage(page, doc.surface);
    ApplyDocument(window, doc);
    window.ShowAsOldVersion(kept.version);
}

bool BuildKeptVersion(const QString &kind, int id, const KeptVersion &kept, bool *imageRead)
{
    const QImage page = ReadPngImage(KeptImagePath(kind, id, kept.version));
    *imageRead = !page.isNull() || kept.imageHash.isEmpty();
    const bool built = BuildDocument(kind, [&](FM &window) {
        if (window.Tag == kind)
            ShowKeptVersion(window, id, kept, page);
    });
    return built && fm() && fm()->OldVersion == kept.version;
}

bool ReopenSavedDocument(const QString &kind, int id)
{
    // The page image decodes on another core while the window is built; the
    // stored values go in before the window shows.
    QFuture<PageFile> pageRead = QtConcurrent::run(ReadPageFile, DocumentImagePath(kind, id));
    Restored restored = Restored::Missing;
    ReadRow read;
    PageFile page;
    const bool built = BuildDocument(kind, [&](FM &window) {
        if (window.Tag != kind)
            return;
        page = pageRead.result();
        restored = RestoreDocument(window, id, page, &read);
        if (restored == Restored::Found)
            for (const auto &column : read.values)
                window.StoredColumns << column.first;
    });
    pageRead.waitForFinished();
    // Told once the document shows.
    if (built)
        TellAfterRestore(restored, page.image);
    TellOfChange(built && restored == Restored::Found, kind, id, read);
    return built && restored == Restored::Found && fm() && fm()->Tag == kind;
}
