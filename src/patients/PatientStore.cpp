#include "patients/PatientStore.h"

#include "app/AppState.h"
#include "patients/SearchFold.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/PausePoint.h"

#include <QHash>
#include <QSet>
#include <QStringMatcher>
#include <QSqlQuery>

#include <algorithm>

namespace {

QString SearchKey(const QString &id, const QString &name, const QString &kana)
{
    // The unit separator cannot be typed, so a search never matches across
    // the kana, the name and the number.
    return FoldForSearch(kana) + QChar(0x1f) + FoldForSearch(name) + QChar(0x1f) + FoldForSearch(id);
}

bool WriteSearchKey(const QString &id, const QString &name, const QString &kana)
{
    // Every write takes a revision above all others, also when it rewrites
    // the key that held the highest one.
    const QString nextRevision = QStringLiteral("(SELECT COALESCE(MAX(Rev), 0) + 1 FROM Kanja_Search)");
    const QString fold = SearchKey(id, name, kana);
    QSqlQuery update(gDB());
    update.prepare(QStringLiteral("UPDATE Kanja_Search SET Name=?, Kana=?, Fold=?, Rev=")
                   + nextRevision + QStringLiteral(" WHERE ID=?"));
    update.addBindValue(name);
    update.addBindValue(kana);
    update.addBindValue(fold);
    update.addBindValue(id);
    if (!update.exec())
        return false;
    if (update.numRowsAffected() > 0)
        return true;
    QSqlQuery insert(gDB());
    insert.prepare(QStringLiteral(
        "INSERT INTO Kanja_Search (ID, Name, Kana, Fold, Rev) VALUES (?, ?, ?, ?, ")
                   + nextRevision + QChar(u')'));
    insert.addBindValue(id);
    insert.addBindValue(name);
    insert.addBindValue(kana);
    insert.addBindValue(fold);
    return insert.exec();
}

} // namespace

#include <functional>

namespace {

// Adds or overwrites the row inside the open write transaction, with its
// 操作履歴 row.
bool writePatient(const PatientRecord &patient)
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("Select * From Kanja_Data Where ID =?"),
                 {patient.id}))
        return false;
    const bool isNew = rs.eof();
    // Choosing a patient stores the form again; when nothing in it differs
    // from the stored row there is nothing to write and nothing to record.
    if (!isNew && rs.text(QStringLiteral("Name")) == patient.name && rs.text(QStringLiteral("Kana")) == patient.kana
        && rs.field(QStringLiteral("Birth")).toInt() == patient.birth
        && rs.field(QStringLiteral("Sex")).toInt() == patient.sex
        && rs.text(QStringLiteral("Address")) == patient.address)
        return true;
    if (!(isNew ? rs.addNew() : rs.edit()))
        return false;
    rs.setField(QStringLiteral("ID"), patient.id);
    rs.setField(QStringLiteral("Name"), patient.name);
    rs.setField(QStringLiteral("Kana"), patient.kana);
    rs.setField(QStringLiteral("Birth"), patient.birth);
    rs.setField(QStringLiteral("Sex"), patient.sex);
    rs.setField(QStringLiteral("Address"), patient.address);
    // update() also fails when one of the fields above could not be set.
    if (!rs.update())
        return false;
    rs.close();
    // A key that could not be written is made again by the next search.
    WriteSearchKey(patient.id, patient.name, patient.kana);
    return WriteAudit(isNew ? audit::NewPatient() : audit::PatientChange(), CurrentDrID, QString(), 0, patient.id);
}

bool inTransaction(const std::function<bool()> &work)
{
    // Other workstations wait until this one has read and written the
    // patients table, so a number is never taken twice.
    if (!BeginTrans())
        return false;
    if (!dialect::LockForNewRows(QuoteIdent(QStringLiteral("Kanja_Data"))) || !work() || !CommitTrans()) {
        Rollback();
        return false;
    }
    return true;
}

} // namespace

bool StorePatient(const PatientRecord &patient)
{
    return inTransaction([&] { return writePatient(patient); });
}

bool RegisterNewPatient(PatientRecord &patient)
{
    PatientRecord numbered = patient;
    if (!inTransaction([&] {
            numbered.id = NextFreePatientID();
            PausePoint("patient-number-chosen");
            return !numbered.id.isEmpty() && writePatient(numbered);
        }))
        return false;
    patient.id = numbered.id;
    return true;
}

std::optional<PatientRecord> ReadPatient(const QString &id)
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"), QStringLiteral("Select * From Kanja_Data Where ID=?"), {id})
        || rs.eof())
        return std::nullopt;
    PatientRecord patient;
    patient.id = rs.text(QStringLiteral("ID"));
    patient.name = rs.text(QStringLiteral("Name"));
    patient.kana = rs.text(QStringLiteral("Kana"));
    patient.birth = rs.field(QStringLiteral("Birth")).toInt();
    patient.sex = rs.field(QStringLiteral("Sex")).toInt();
    patient.address = rs.text(QStringLiteral("Address"));
    rs.close();
    return patient;
}

namespace {

bool IdTaken(const QString &id, bool *readable)
{
    Recordset rs;
    *readable = rs.open(QStringLiteral("Snapshot"),
                        QStringLiteral("Select ID From Kanja_Data Where ID=?"), {id});
    return *readable && !rs.eof();
}

} // namespace

QString NextFreePatientID()
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"), QStringLiteral("Select ID From Kanja_Data")))
        return QString();
    // IDs are text, so the highest number is found by value, not by text order
    // ("9" sorts after "12").
    qulonglong highest = 0;
    for (; !rs.eof(); rs.moveNext()) {
        const QString id = rs.text(QStringLiteral("ID")).trimmed();
        bool numeric = !id.isEmpty();
        for (const QChar c : id)
            numeric = numeric && c >= u'0' && c <= u'9';
        if (!numeric)
            continue;
        bool ok = false;
        const qulonglong n = id.toULongLong(&ok);
        if (ok && n > highest)
            highest = n;
    }
    rs.close();

    for (qulonglong candidate = highest + 1; candidate != 0; ++candidate) {
        bool readable = false;
        const QString id = QString::number(candidate);
        if (!IdTaken(id, &readable))
            return readable ? id : QString();
    }
    return QString();
}

bool SyncPatientSearchKeys()
{
    QSqlDatabase db = gDB();
    QSqlQuery(db).exec(QStringLiteral("CREATE INDEX IF NOT EXISTS Kanja_Search_Rev ON Kanja_Search (Rev)"));
    QSqlQuery stale(db);
    if (!stale.exec(QStringLiteral(
            "SELECT d.ID, d.Name, d.Kana FROM Kanja_Data d "
            "LEFT JOIN Kanja_Search s ON s.ID = d.ID "
            "WHERE s.ID IS NULL OR COALESCE(s.Name, '') <> COALESCE(d.Name, '') "
            "OR COALESCE(s.Kana, '') <> COALESCE(d.Kana, '')")))
        return false;
    struct Row { QString id, name, kana; };
    QVector<Row> rows;
    while (stale.next())
        rows.append({stale.value(0).toString(), stale.value(1).toString(), stale.value(2).toString()});
    QSqlQuery orphans(db);
    const bool orphansGone = orphans.exec(QStringLiteral(
        "DELETE FROM Kanja_Search WHERE ID NOT IN (SELECT ID FROM Kanja_Data)"));
    if (rows.isEmpty())
        return orphansGone;
    const bool inTransaction = db.transaction();
    bool written = true;
    for (const Row &row : rows)
        written = WriteSearchKey(row.id, row.name, row.kana) && written;
    if (inTransaction && !db.commit())
        return false;
    return orphansGone && written;
}

namespace {

bool SearchKeysInStep()
{
    QSqlQuery count(gDB());
    return count.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM Kanja_Data), "
                                     "(SELECT COUNT(*) FROM Kanja_Search)"))
           && count.next() && count.value(0).toLongLong() == count.value(1).toLongLong();
}

// The folded keys held in memory, one after the other in one text: a search
// runs one string search over it rather than scanning the table, and reads
// from the database only the keys written since it last looked (by revision)
// and the rows of the patients it found.
struct KeyCache
{
    QString database; // the file or server the keys came from
    qint64 revision = 0;
    QString all;              // every key followed by a line break
    QVector<qsizetype> starts; // where each entry begins in all
    QStringList ids;
    QVector<bool> replaced;    // entries whose patient has a newer key further on
    QHash<QString, qsizetype> entryById;

    void clear()
    {
        revision = 0;
        all.clear();
        starts.clear();
        ids.clear();
        replaced.clear();
        entryById.clear();
    }

    bool refresh()
    {
        const QSqlDatabase db = gDB();
        const QString source = db.connectionName() + QChar(u'|') + db.databaseName();
        if (source != database) {
            database = source;
            clear();
        }
        QSqlQuery changed(db);
        changed.setForwardOnly(true);
        changed.prepare(QStringLiteral("SELECT ID, Fold, Rev FROM Kanja_Search WHERE Rev > ?"));
        changed.addBindValue(revision);
        if (!changed.exec())
            return false;
        while (changed.next()) {
            const QString id = changed.value(0).toString();
            if (const auto old = entryById.constFind(id); old != entryById.cend())
                replaced[*old] = true;
            entryById.insert(id, ids.size());
            starts.append(all.size());
            ids.append(id);
            replaced.append(false);
            all += changed.value(1).toString();
            all += QChar(u'\n');
            revision = std::max(revision, changed.value(2).toLongLong());
        }
        return true;
    }

    QSet<QString> find(const QString &wanted) const
    {
        QSet<QString> found;
        const QStringMatcher matcher(wanted);
        qsizetype from = 0;
        while ((from = matcher.indexIn(all, from)) >= 0) {
            const qsizetype entry = std::upper_bound(starts.cbegin(), starts.cend(), from) - starts.cbegin() - 1;
            if (!replaced[entry])
                found.insert(ids[entry]);
            from = entry + 1 < starts.size() ? starts[entry + 1] : all.size();
        }
        return found;
    }
};

KeyCache &Keys()
{
    static KeyCache keys;
    return keys;
}

PatientHit HitOf(const QSqlQuery &row)
{
    return PatientHit{row.value(0).toString(), row.value(1).toString(), row.value(2).toInt(), row.value(3).toInt()};
}

} // namespace

std::optional<QVector<PatientHit>> FindPatientsByKana(const QString &text)
{
    if (!SearchKeysInStep())
        SyncPatientSearchKeys();
    KeyCache &keys = Keys();
    if (!keys.refresh())
        return std::nullopt;
    QString wanted = FoldForSearch(text);
    wanted.remove(QChar(0x1f));
    const bool everybody = wanted.isEmpty();
    const QSet<QString> found = everybody ? QSet<QString>() : keys.find(wanted);
    const QString columns = QStringLiteral("SELECT ID, Name, Birth, Sex FROM Kanja_Data");
    QVector<PatientHit> hits;
    // Many hits: one pass over the table costs less than a long list of numbers.
    if (everybody || found.size() > 500) {
        QSqlQuery all(gDB());
        all.setForwardOnly(true);
        if (!all.exec(columns + QStringLiteral(" ORDER BY ID ASC")))
            return std::nullopt;
        while (all.next()) {
            if (everybody || found.contains(all.value(0).toString()))
                hits.append(HitOf(all));
        }
        return hits;
    }
    const QStringList ids(found.cbegin(), found.cend());
    for (qsizetype first = 0; first < ids.size(); first += 100) {
        const QStringList chunk = ids.mid(first, 100);
        QSqlQuery some(gDB());
        some.setForwardOnly(true);
        QStringList marks(chunk.size(), QStringLiteral("?"));
        some.prepare(columns + QStringLiteral(" WHERE ID IN (") + marks.join(u',') + QChar(u')'));
        for (const QString &id : chunk)
            some.addBindValue(id);
        if (!some.exec())
            return std::nullopt;
        while (some.next())
            hits.append(HitOf(some));
    }
    // The text order of the numbers, as the database orders them.
    std::sort(hits.begin(), hits.end(), [](const PatientHit &a, const PatientHit &b) {
        return a.id.toUtf8() < b.id.toUtf8();
    });
    return hits;
}
