#include "printing/ArchiveCatalog.h"

#include "app/AppState.h"
#include "patients/Patient.h"
#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "settings/Doctors.h"
#include "storage/Database.h"
#include "storage/Ini.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace {

const QString kStateFile = QStringLiteral("rydol-archive.tsv");

// Separates the parts of a fingerprint so that no two inputs run together.
void addPart(QCryptographicHash &hash, const QString &text)
{
    hash.addData(text.toUtf8());
    hash.addData(QByteArrayView("\x1f", 1));
}

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}

// The patient's part of a fingerprint: what the document's patient fields
// show (the age included), with the patient for the pages.
struct PatientSeen
{
    ArchivedPatient patient;
    QByteArray digest;
};

PatientSeen lookUp(const QString &id)
{
    PatientSeen seen;
    seen.patient.id = id;
    seen.patient.registered = LookupPatient(id);
    seen.patient.name = PatientName;
    seen.patient.kana = PatientKana;
    seen.patient.birth = PatientBirth;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const auto &[tag, value] : CurrentPatientValues()) {
        addPart(hash, tag);
        addPart(hash, value);
    }
    seen.digest = hash.result();
    return seen;
}

QString column(const QSqlQuery &q, const QString &name)
{
    const int i = q.record().indexOf(name);
    return i < 0 ? QString() : SqlValue(q, i).toString();
}

QVariant columnValue(const QSqlQuery &q, const QString &name)
{
    const int i = q.record().indexOf(name);
    return i < 0 ? QVariant() : SqlValue(q, i);
}

ArchivedDocument keptEntry(const QString &kind, int id, const KeptVersion &kept)
{
    ArchivedDocument doc;
    doc.kind = kind;
    doc.id = id;
    doc.version = kept.version;
    doc.current = false;
    doc.deleted = kept.deleted;
    doc.savedAt = kept.time;
    doc.patientId = RowValueOf(kept.values, QStringLiteral("患者番号"));
    doc.drId = kept.doctorId;
    doc.state = RowValueOf(kept.values, QStringLiteral("終了判定")).trimmed();
    doc.date = ListDate::documentDate(RowValueOf(kept.values, QStringLiteral("日付Y")),
                                      RowValueOf(kept.values, QStringLiteral("日付M")),
                                      RowValueOf(kept.values, QStringLiteral("日付D")));
    doc.editDate = ListDate::editDate(RowValueOf(kept.values, QStringLiteral("編集日")));
    doc.fingerprint = kept.hash.toUtf8();
    return doc;
}

void readKind(const StoredKind &kind, ArchiveCatalog &catalog, QHash<QString, QByteArray> &patientDigests)
{
    if (TableColumns(kind.table).isEmpty()) {
        catalog.kindsRead << kind.kind; // never saved
        return;
    }
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM %1").arg(QuoteIdent(kind.table)))) {
        catalog.problems << kind.kind;
        return;
    }
    const QByteArray templateDigest = fileDigest(IniPath(kind.kind));
    // The rows are read to the end before any patient is looked up: no other
    // statement may run while this one is open.
    QList<ArchivedDocument> found;
    while (q.next()) {
        ArchivedDocument doc;
        doc.kind = kind.kind;
        doc.id = column(q, QStringLiteral("ID")).toInt();
        doc.patientId = column(q, QStringLiteral("患者番号"));
        doc.drId = column(q, QStringLiteral("DrID"));
        doc.state = column(q, QStringLiteral("終了判定"));
        doc.date = ListDate::documentDate(columnValue(q, QStringLiteral("日付Y")), columnValue(q, QStringLiteral("日付M")),
                                          columnValue(q, QStringLiteral("日付D")));
        doc.editDate = ListDate::editDate(columnValue(q, QStringLiteral("編集日")));
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(templateDigest);
        const QSqlRecord record = q.record();
        for (int i = 0; i < record.count(); ++i) {
            addPart(hash, record.fieldName(i));
            const QVariant value = SqlValue(q, i);
            addPart(hash, value.isNull() ? QStringLiteral("\x1e") : value.toString());
        }
        const QFileInfo image(DocumentImagePath(doc.kind, doc.id));
        addPart(hash, image.exists() ? QStringLiteral("%1 %2").arg(image.size()).arg(image.lastModified().toMSecsSinceEpoch())
                                     : QString());
        doc.fingerprint = hash.result();
        found.append(std::move(doc));
    }
    if (q.lastError().isValid()) {
        catalog.problems << kind.kind;
        return;
    }
    q.finish();
    const std::optional<QHash<int, QList<KeptVersion>>> kept = KeptVersionsOfKind(kind.kind);
    if (!kept) {
        catalog.problems << kind.kind;
        return;
    }
    QSet<int> currentIds;
    for (ArchivedDocument &doc : found) {
        currentIds.insert(doc.id);
        const QList<KeptVersion> versions = kept->value(doc.id);
        if (!versions.isEmpty() && !versions.last().deleted)
            doc.version = versions.last().version;
    }
    QList<ArchivedDocument> older;
    for (auto it = kept->cbegin(); it != kept->cend(); ++it) {
        // The newest version of a document still stored is the document itself.
        const qsizetype count = it.value().size() - (currentIds.contains(it.key()) ? 1 : 0);
        for (qsizetype i = 0; i < count; ++i)
            older << keptEntry(kind.kind, it.key(), it.value().at(i));
    }
    catalog.kindsRead << kind.kind;
    for (ArchivedDocument &doc : found) {
        if (!patientDigests.contains(doc.patientId)) {
            const PatientSeen seen = lookUp(doc.patientId);
            catalog.patients.insert(doc.patientId, seen.patient);
            patientDigests.insert(doc.patientId, seen.digest);
        }
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(doc.fingerprint);
        hash.addData(patientDigests.value(doc.patientId));
        doc.fingerprint = hash.result();
    }
    for (const ArchivedDocument &doc : older)
        if (!catalog.patients.contains(doc.patientId)) {
            const PatientSeen seen = lookUp(doc.patientId);
            catalog.patients.insert(doc.patientId, seen.patient);
            patientDigests.insert(doc.patientId, seen.digest);
        }
    found += older;
    std::sort(found.begin(), found.end(), [](const ArchivedDocument &a, const ArchivedDocument &b) {
        return a.id != b.id ? a.id < b.id : a.current != b.current ? a.current : a.version > b.version;
    });
    catalog.documents += found;
}

} // namespace

ArchiveCatalog ReadArchiveCatalog(const QStringList &kinds)
{
    ArchiveCatalog catalog;
    if (!DatabaseIsOpen())
        return catalog;
    catalog.doctors = DoctorNamesById();
    QHash<QString, QByteArray> patientDigests;
    for (const StoredKind &kind : OneKindPerTable(kinds)) {
        if (IsUsableKindName(kind.kind))
            readKind(kind, catalog, patientDigests);
    }
    return catalog;
}

QString ArchivePdfPath(const ArchivedDocument &doc)
{
    const QString base = QStringLiteral("pdf/%1/%2").arg(doc.kind).arg(doc.id);
    return doc.current ? base + QStringLiteral(".pdf") : base + QStringLiteral("/v%1.pdf").arg(doc.version);
}

QString ArchivePatientPage(const QString &patientId)
{
    bool plain = !patientId.isEmpty();
    for (const QChar c : patientId)
        plain = plain && c.unicode() < 128 && c.isLetterOrNumber();
    return QStringLiteral("patients/") + (plain ? u'p' + patientId : u'x' + QString::fromLatin1(patientId.toUtf8().toHex()))
         + QStringLiteral(".html");
}

ArchiveState ReadArchiveState(const QString &folder)
{
    ArchiveState state;
    QFile file(QDir(folder).filePath(kStateFile));
    if (!file.open(QIODevice::ReadOnly))
        return state;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2)
            state.insert(QUrl::fromPercentEncoding(parts[0]), QByteArray::fromHex(parts[1]));
    }
    return state;
}

bool WriteArchiveState(const QString &folder, const ArchiveState &state)
{
    QStringList files = state.keys();
    files.sort();
    QSaveFile file(QDir(folder).filePath(kStateFile));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &path : files)
        file.write(QUrl::toPercentEncoding(path, "/") + '\t' + state.value(path).toHex() + '\n');
    return file.commit();
}
