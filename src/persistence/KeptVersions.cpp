#include "persistence/KeptVersions.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "persistence/OpenSavedDocument.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/FileJournal.h"
#include "storage/KeptStatements.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>

namespace {

QString columns()
{
    return QString::fromUtf8(kKeptVersionColumns).arg(QuoteIdent(QStringLiteral("DrID")));
}

QString whereDocument()
{
    return QStringLiteral(" WHERE \"書類\"=? AND %1=?").arg(QuoteIdent(QStringLiteral("ID")));
}

QString valuesJson(const RowValues &values)
{
    QJsonArray array;
    for (const auto &[name, value] : values)
        array.append(QJsonArray{name, value.isNull() ? QJsonValue() : QJsonValue(value.toString())});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

RowValues valuesOf(const QString &json)
{
    RowValues values;
    for (const QJsonValue &pair : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonArray p = pair.toArray();
        values.append({p.at(0).toString(), p.at(1).isNull() ? QVariant() : QVariant(p.at(1).toString())});
    }
    return values;
}


QList<KeptVersion> readEntries(const QString &table, int id, const QString &tail, const QVariantList &more = {},
                               bool withValues = true)
{
    QList<KeptVersion> entries;
    if (!DatabaseIsOpen())
        return entries;
    const KeptQuery q(QStringLiteral("SELECT ") + columns() + QStringLiteral(" FROM \"書類保存版\"") + whereDocument() + tail);
    if (!q.prepared())
        return entries;
    q->addBindValue(table);
    q->addBindValue(id);
    for (const QVariant &v : more)
        q->addBindValue(v);
    if (ExecNoted(*q))
        while (q->next())
            entries.append(KeptVersionAt(*q, 0, withValues));
    return entries;
}

// Writes the image and makes it durable, with the folders made for it.
bool writeImage(const QString &path, const QByteArray &png)
{
    const QString folder = QFileInfo(path).absolutePath();
    const bool made = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(png) != png.size() || !file.flush()
        || !SyncFile(int(file.handle())))
        return false;
    file.close();
    if (file.error() != QFileDevice::NoError || !SyncFolder(folder))
        return false;
    // A new folder is an entry of the folders above it.
    return !made || (SyncFolder(QFileInfo(folder).absolutePath())
                     && SyncFolder(QFileInfo(QFileInfo(folder).absolutePath()).absolutePath()));
}

} // namespace

const char *const kKeptVersionColumns = "\"版\", \"日時\", \"端末\", %1, \"削除\", \"内容\", \"行\", \"画像\", \"前\", \"検証\"";

KeptVersion KeptVersionAt(const QSqlQuery &q, int first, bool withValues)
{
    KeptVersion e;
    e.version = q.value(first).toInt();
    e.time = SqlValue(q, first + 1).toString();
    e.workstation = SqlValue(q, first + 2).toString();
    e.doctorId = SqlValue(q, first + 3).toString();
    e.deleted = q.value(first + 4).toInt() != 0;
    e.json = SqlValue(q, first + 5).toString();
    if (withValues)
        e.values = valuesOf(e.json);
    e.rowHash = SqlValue(q, first + 6).toString();
    e.imageHash = SqlValue(q, first + 7).toString();
    e.previousHash = SqlValue(q, first + 8).toString();
    e.hash = SqlValue(q, first + 9).toString();
    return e;
}

QList<KeptVersion> KeptVersions(const QString &kind, int id)
{
    return readEntries(StoredTableName(kind), id, QStringLiteral(" ORDER BY \"版\""));
}

std::optional<QHash<int, QList<KeptVersion>>> KeptVersionsOfKind(const QString &kind)
{
    QHash<int, QList<KeptVersion>> byId;
    if (!DatabaseIsOpen())
        return std::nullopt;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    const QString id = QuoteIdent(QStringLiteral("ID"));
    if (!q.prepare(QStringLiteral("SELECT %1, ").arg(id) + columns()
                   + QStringLiteral(" FROM \"書類保存版\" WHERE \"書類\"=? ORDER BY %1, \"版\"").arg(id)))
        return std::nullopt;
    q.addBindValue(StoredTableName(kind));
    if (!ExecNoted(q))
        return std::nullopt;
    while (q.next())
        byId[q.value(0).toInt()].append(KeptVersionAt(q, 1));
    if (q.lastError().isValid())
        return std::nullopt;
    return byId;
}

std::optional<KeptVersion> ReadKeptVersion(const QString &kind, int id, int version)
{
    const QList<KeptVersion> one = readEntries(StoredTableName(kind), id, QStringLiteral(" AND \"版\"=?"), {version});
    if (one.isEmpty())
        return std::nullopt;
    return one.first();
}

QString KeptImagePath(const QString &kind, int id, int version)
{
    return KeptImageIn(DocumentImageFolder(StoredTableName(kind)), id, version);
}

QString KeptImageIn(const QString &folder, int id, int version)
{
    return folder + QStringLiteral("/versions/%1/%2.png").arg(id).arg(version);
}

QString KeptVersionHash(const QString &table, int id, const KeptVersion &entry)
{
    return ChainHash()
        .add(QStringLiteral("書類保存版/1"))
        .add(dialect::PortableName(table))
        .add(id)
        .add(entry.version)
        .add(entry.time)
        .add(entry.workstation)
        .add(entry.doctorId)
        .add(entry.deleted ? 1 : 0)
        .add(entry.json)
        .add(entry.rowHash)
        .add(entry.imageHash)
        .add(entry.previousHash)
        .hex();
}

int HighestKeptNumber(const QString &table)
{
    const KeptQuery q(QStringLiteral("SELECT MAX(%1) FROM \"書類保存版\" WHERE \"書類\"=?").arg(QuoteIdent(QStringLiteral("ID"))));
    q->addBindValue(table);
    return ExecNoted(*q) && q->next() ? q->value(0).toInt() : 0;
}

namespace {

std::optional<bool> hasKeptVersions(const QString &table, int id)
{
    const KeptQuery q(QStringLiteral("SELECT 1 FROM \"書類保存版\"") + whereDocument() + QStringLiteral(" LIMIT 1"));
    q->addBindValue(table);
    q->addBindValue(id);
    if (!ExecNoted(*q))
        return std::nullopt;
    return q->next();
}

bool keepVersion(const QString &table, int id, KeptVersion entry, const std::optional<QByteArray> &png)
{
    const QList<KeptVersion> head = readEntries(table, id, QStringLiteral(" ORDER BY \"版\" DESC LIMIT 1"));
    entry.previousHash = head.isEmpty() ? QString() : head.first().hash;
    entry.json = valuesJson(entry.values);
    entry.rowHash = Sha256Hex(CanonicalValues(entry.values));
    entry.imageHash = png ? Sha256Hex(*png) : QString();
    entry.hash = KeptVersionHash(table, id, entry);
    if (png && !writeImage(KeptImageIn(DocumentImageFolder(table), id, entry.version), *png))
        return false;
    const KeptQuery q(QStringLiteral("INSERT INTO \"書類保存版\" (\"書類\", %1, %2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                          .arg(QuoteIdent(QStringLiteral("ID")), columns()));
    for (const QVariant &v : QVariantList{table, id, entry.version, entry.time, entry.workstation, entry.doctorId,
                                          entry.deleted ? 1 : 0, entry.json, entry.rowHash, entry.imageHash,
                                          entry.previousHash, entry.hash})
        q->addBindValue(v);
    return ExecNoted(*q);
}

// The page image as it is on the disk: nullopt inside when there is none,
// nullopt outside when it exists but cannot be read.
std::optional<std::optional<QByteArray>> imageOnDisk(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return std::optional<QByteArray>(bytes);
        return std::nullopt;
    }
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return std::nullopt;
    return std::optional<QByteArray>();
}

KeptVersion madeNow(int version)
{
    KeptVersion entry;
    entry.version = version;
    entry.time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    entry.workstation = QSysInfo::machineHostName();
    entry.doctorId = CurrentDrID;
    return entry;
}

QString valueOf(const RowValues &row, const QString &column)
{
    for (const auto &[name, value] : row)
        if (name.compare(column, Qt::CaseInsensitive) == 0)
            return value.toString();
    return QString();
}

} // namespace

QString RowValueOf(const RowValues &row, const QString &column)
{
    return valueOf(row, column);
}

namespace {
bool g_keeping = true;
}

bool VersionKeeping()
{
    return g_keeping;
}

void SetVersionKeeping(bool on)
{
    g_keeping = on;
}

bool KeepSavedVersion(const QString &table, int id, int version, const RowValues &before, const QByteArray &png)
{
    if (!before.isEmpty()) {
        const std::optional<bool> kept = hasKeptVersions(table, id);
        if (!kept)
            return false;
        if (!*kept) {
            // Saved before versions were kept: when and where is not known.
            KeptVersion earlier;
            earlier.version = version - 1;
            earlier.doctorId = valueOf(before, QStringLiteral("DrID"));
            earlier.values = before;
            const auto image = imageOnDisk(DocumentImagePath(table, id));
            if (!image || !keepVersion(table, id, earlier, *image))
                return false;
        }
    }
    KeptVersion now = madeNow(version);
    now.values = CurrentRow(table, id);
    return !now.values.isEmpty() && keepVersion(table, id, now, png);
}

bool KeepDeletedVersion(const QString &table, int id, int version, const RowValues &row)
{
    KeptVersion deleted = madeNow(version);
    deleted.deleted = true;
    deleted.values = row;
    const auto image = imageOnDisk(DocumentImagePath(table, id));
    return image && keepVersion(table, id, deleted, *image);
}

RowValues CurrentRow(const QString &table, int id)
{
    RowValues row;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT * FROM ") + QuoteIdent(table) + QStringLiteral(" WHERE ID=?")))
        return row;
    q.addBindValue(id);
    if (!ExecNoted(q) || !q.next())
        return row;
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i)
        row.append({record.fieldName(i), SqlValue(q, i)});
    return row;
}

namespace {

// The newest kept entry of the document, its values not parsed.
std::optional<KeptVersion> newestEntry(const QString &table, int id)
{
    const QList<KeptVersion> head =
        readEntries(table, id, QStringLiteral(" ORDER BY \"版\" DESC LIMIT 1"), {}, false);
    return head.isEmpty() ? std::nullopt : std::optional<KeptVersion>(head.first());
}

// With page (what a reopen read and shows): a page that is not the one kept
// with the row's version is read again where that one is now (a committed
// save's page still in its temporary, or put in place since), and page
// becomes it.
Authenticity compareWithEntry(const QString &table, int id, const KeptVersion &newest, const RowValues &row,
                              int rowVersion, PageFile *page = nullptr)
{
    if (row.isEmpty())
        return Authenticity::Unknown;
    // A row back after its delete was not put there by a save.
    if (newest.deleted || KeptVersionHash(table, id, newest) != newest.hash || Sha256Hex(CanonicalValues(row)) != newest.rowHash)
        return Authenticity::Changed;
    auto kept = [&](const std::optional<QString> &hash) { return hash && *hash == newest.imageHash; };
    auto takeIfKept = [&](const QString &path) {
        PageFile again = ReadPageFile(path);
        if (!kept(again.sha256))
            return false;
        *page = std::move(again);
        return true;
    };
    if (page && kept(page->sha256))
        return Authenticity::Intact;
    const QString image = DocumentImagePath(table, id);
    if (const std::optional<QString> pending = PendingFileContent(image)) {
        if (!page || (!pending->isEmpty() && takeIfKept(*pending)))
            return Authenticity::Intact;
        // Put in place since the journal was read: the file is the page now.
    }
    if (page ? takeIfKept(image) : kept(FileSha256(image)))
        return Authenticity::Intact;
    // Another workstation's save may have put its image in place since the
    // row was read: that is no change from outside.
    return rowVersion >= 0 && StoredVersion(table, id) != rowVersion ? Authenticity::Unknown : Authenticity::Changed;
}

} // namespace

Authenticity CheckSavedDocument(const QString &kind, int id)
{
    if (!DatabaseIsOpen() || !IsUsableKindName(kind))
        return Authenticity::Unknown;
    const QString table = StoredTableName(kind);
    const std::optional<KeptVersion> newest = newestEntry(table, id);
    return newest ? compareWithEntry(table, id, *newest, CurrentRow(table, id), -1) : Authenticity::Unknown;
}

namespace {

// A row as one statement read it with its version, and with page the page
// image read beside it (see CheckReopenedDocument).
Authenticity checkRowRead(const QString &kind, int id, const RowValues &row, int version, PageFile *page)
{
    if (!DatabaseIsOpen() || !IsUsableKindName(kind))
        return Authenticity::Unknown;
    const QString table = StoredTableName(kind);
    const std::optional<KeptVersion> newest = newestEntry(table, id);
    if (!newest)
        return Authenticity::Unknown;
    if (newest->version > version) {
        // Saved again by another workstation since the row was read: the
        // row stays as read (its save will be refused as overtaken), with
        // its own page, kept with its version, when the one read is older.
        const std::optional<KeptVersion> own = page ? ReadKeptVersion(kind, id, version) : std::nullopt;
        if (own && !(page->sha256 && *page->sha256 == own->imageHash)) {
            PageFile kept = ReadPageFile(KeptImagePath(kind, id, version));
            if (kept.sha256 && *kept.sha256 == own->imageHash)
                *page = std::move(kept);
        }
        return Authenticity::Unknown;
    }
    // The entry of the row's own version is gone.
    if (newest->version < version)
        return Authenticity::Changed;
    return compareWithEntry(table, id, *newest, row, version, page);
}

} // namespace

Authenticity CheckSavedDocument(const QString &kind, int id, const RowValues &row, int version)
{
    return checkRowRead(kind, id, row, version, nullptr);
}

Authenticity CheckReopenedDocument(const QString &kind, int id, const RowValues &row, int version, PageFile &page)
{
    return checkRowRead(kind, id, row, version, &page);
}

bool RecordChangeFound(const QString &kind, int id)
{
    const QString table = StoredTableName(kind);
    return WriteAudit(audit::ChangeFound(), CurrentDrID, table, id,
                      valueOf(CurrentRow(table, id), QStringLiteral("患者番号")));
}
