#pragma once
#include "storage/ChainHash.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class QSqlQuery;

// Every version a saved document has had stays in table 書類保存版, one row per
// version: the kind's row as it was (every column, as JSON), whether that
// version was a delete, when, on which workstation and by which doctor it
// was made, the SHA-256 of its page image, and the hash of all that and of
// the version before it (a hash chain per document). The version numbers are
// those of 書類版 (persistence/DocumentVersion.h).
//
// Each save stores its new version here, so the newest entry is what the
// kind's table and <n>.png hold now. A document saved before versions were
// kept first gets its earlier state as an entry of its own when it is saved
// again or deleted. A delete stores the deleted version, marked deleted.
// Nothing removes an entry.
//
// Page images are kept as files, DATA/pic_save/<kind>/versions/<n>/<v>.png,
// copies rather than links, so that nothing done to <n>.png reaches them;
// files keep the database small and the images readable with any viewer.
// Entries and their images are written inside the transaction of the save or
// delete, the image synced to the disk before it commits; an image left by a
// save that never committed is replaced by the next one of that version.

struct KeptVersion
{
    int version = 0;
    QString time;        // "2026-12-08 09:15:02"; empty for an earlier state whose time is unknown
    QString workstation; // empty when unknown
    QString doctorId;    // who made this version (for an earlier state: the row's DrID)
    bool deleted = false;
    RowValues values;    // the kind's row, column by column
    QString json;        // the same as stored (a JSON array of [column, value])
    QString rowHash;     // SHA-256 of the row's values (CanonicalValues)
    QString imageHash;   // empty: the version had no page image
    QString previousHash;
    QString hash;
};

// The value of column (any letter case) in row as text; empty when absent.
QString RowValueOf(const RowValues &row, const QString &column);

// The kept versions of a document, oldest first; empty when there are none.
QList<KeptVersion> KeptVersions(const QString &kind, int id);
// The kept versions of every document of kind, deleted ones included, by
// document number, each oldest first; nullopt when they could not be read.
std::optional<QHash<int, QList<KeptVersion>>> KeptVersionsOfKind(const QString &kind);
std::optional<KeptVersion> ReadKeptVersion(const QString &kind, int id, int version);
// Where the page image of a kept version is (whether or not it had one).
QString KeptImagePath(const QString &kind, int id, int version);
// The same below the kind's image folder (DocumentImageFolder).
QString KeptImageIn(const QString &folder, int id, int version);

// An entry read from 書類保存版 by a query that selects, from its column
// first on, 版, 日時, 端末, DrID, 削除, 内容, 行, 画像, 前, 検証 (%1 stands for
// DrID); values is left empty unless asked for.
extern const char *const kKeptVersionColumns;
KeptVersion KeptVersionAt(const QSqlQuery &q, int first, bool withValues = true);

// The hash an entry of table's document id must carry: over its json and
// rowHash, not its parsed values.
QString KeptVersionHash(const QString &table, int id, const KeptVersion &entry);

// The highest document number the kind's kept versions name (deleted
// documents included), 0 for none.
int HighestKeptNumber(const QString &table);

// Inside the write transaction of a save, once the row is written, with the
// document's version held: keeps the new version (version) with its image.
// before is the row as the save found it (empty for a new document): a
// document without kept versions keeps it first, as version - 1, with the
// image still in place. False when anything could not be kept.
bool KeepSavedVersion(const QString &table, int id, int version, const RowValues &before, const QByteArray &png);
// Whether saves keep their versions: always in the program; off only in the
// benchmark that weighs what keeping a version adds to a save.
bool VersionKeeping();
void SetVersionKeeping(bool on);
// Inside the write transaction of a delete, before the row goes: keeps row,
// the image still in place, as version, marked deleted.
bool KeepDeletedVersion(const QString &table, int id, int version, const RowValues &row);
// The row of table with this ID as it is now; empty when there is none.
RowValues CurrentRow(const QString &table, int id);

// Whether the document's row and page image are still those of its newest
// kept version (and that entry its own hash). Unknown for a document without
// kept versions or without a row. The image is not compared while a
// committed save is still putting it in place.
enum class Authenticity { Intact, Changed, Unknown };
Authenticity CheckSavedDocument(const QString &kind, int id);
// The same for a row and its version as one statement read them on opening
// (LoadSavedDocument): not read again. Unknown when another workstation has
// saved the document since; Changed when the entry of that version is gone.
Authenticity CheckSavedDocument(const QString &kind, int id, const RowValues &row, int version);
// The same for a reopen that read the page image beside the row: page is
// what it read and is to show. When that is not the page kept with the row's
// version (another workstation's save put its page in place around the
// reading, or has yet to), the row's own page is read again from where it
// is now and page becomes it, so that the window never shows one save's
// fields with another's page.
struct PageFile;
Authenticity CheckReopenedDocument(const QString &kind, int id, const RowValues &row, int version, PageFile &page);
// Records in 操作履歴 that the document was found changed since its save.
bool RecordChangeFound(const QString &kind, int id);
