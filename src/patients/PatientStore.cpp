#include "patients/PatientStore.h"

#include "app/AppState.h"
#include "patients/SearchFold.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/PausePoint.h"
#include "storage/SearchKeyWatch.h"

#include <QSqlQuery>

namespace {

QString SearchKey(const QString &id, const QString &name, const QString &kana)
{
    // The unit separator cannot be typed, so a search never matches across
    // the kana, the name and the number.
    return FoldForSearch(kana) + QChar(0x1f) + FoldForSearch(name) + QChar(0x1f) + FoldForSearch(id);
}

// The key of a patient whose name or kana this program has just written.
// The database's watch (storage/SearchKeyWatch.h) has already left an empty
// key for it; without the watch the row may be missing.
bool WriteSearchKey(const QString &id, const QString &name, const QString &kana)
{
    const QString fold = SearchKey(id, name, kana);
    QSqlQuery update(gDB());
    update.prepare(QStringLiteral("UPDATE Kanja_Search SET Name=?, Kana=?, Fold=? WHERE ID=?"));
    update.addBindValue(name);
    update.addBindValue(kana);
    update.addBindValue(fold);
    update.addBindValue(id);
    if (!update.exec())
        return false;
    if (update.numRowsAffected() > 0)
        return true;
    QSqlQuery insert(gDB());
    insert.prepare(QStringLiteral("INSERT INTO Kanja_Search (ID, Name, Kana, Fold, Rev) VALUES (?, ?, ?, ?, 0)"));
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

namespace {

struct StaleKey { QString id, name, kana; };

// In the file, one UPDATE for all the keys: the trigram index's triggers
// cost several times more when each key is a statement of its own (the
// first start after an import folds every patient).
bool storeFoldsAtOnce(QSqlDatabase &db, const QVector<StaleKey> &rows)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS Kanja_Search_Folded "
                               "(ID TEXT PRIMARY KEY, Name TEXT, Kana TEXT, Fold TEXT)"))
        || !q.exec(QStringLiteral("DELETE FROM temp.Kanja_Search_Folded")))
        return false;
    QVariantList ids, names, kanas, folds;
    for (const StaleKey &row : rows) {
        ids << row.id;
        names << row.name;
        kanas << row.kana;
        folds << SearchKey(row.id, row.name, row.kana);
    }
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO temp.Kanja_Search_Folded VALUES (?, ?, ?, ?)"));
    q.addBindValue(ids);
    q.addBindValue(names);
    q.addBindValue(kanas);
    q.addBindValue(folds);
    // A name or kana changed meanwhile left the key empty again: that
    // change is folded next time, this fold is not stored over it.
    const bool written = q.execBatch()
        && q.exec(QStringLiteral(
            "UPDATE Kanja_Search SET Fold = (SELECT f.Fold FROM temp.Kanja_Search_Folded f WHERE f.ID = Kanja_Search.ID) "
            "WHERE Fold IS NULL AND EXISTS (SELECT 1 FROM temp.Kanja_Search_Folded f WHERE f.ID = Kanja_Search.ID "
            "AND f.Name = COALESCE(Kanja_Search.Name, '') AND f.Kana = COALESCE(Kanja_Search.Kana, ''))"));
    q.exec(QStringLiteral("DELETE FROM temp.Kanja_Search_Folded"));
    return written;
}

} // namespace

bool SyncPatientSearchKeys()
{
    QSqlDatabase db = gDB();
    QSqlQuery stale(db);
    stale.setForwardOnly(true);
    if (!stale.exec(QStringLiteral("SELECT ID, Name, Kana FROM Kanja_Search WHERE Fold IS NULL")))
        return false;
    QVector<StaleKey> rows;
    while (stale.next())
        rows.append({stale.value(0).toString(), stale.value(1).toString(), stale.value(2).toString()});
    if (rows.isEmpty())
        return true;
    if (CurrentEngine() == Engine::Sqlite)
        return storeFoldsAtOnce(db, rows);
    const bool inTransaction = db.transaction();
    bool written = true;
    for (const StaleKey &row : rows) {
        // A name or kana changed meanwhile left the key empty again: that
        // change is folded next time, this fold is not stored over it.
        QSqlQuery fill(db);
        fill.prepare(QStringLiteral("UPDATE Kanja_Search SET Fold=? WHERE ID=? AND Fold IS NULL "
                                    "AND COALESCE(Name, '')=? AND COALESCE(Kana, '')=?"));
        fill.addBindValue(SearchKey(row.id, row.name, row.kana));
        fill.addBindValue(row.id);
        fill.addBindValue(row.name);
        fill.addBindValue(row.kana);
        written = fill.exec() && written;
    }
    if (inTransaction && !db.commit()) {
        db.rollback();
        return false;
    }
    return written;
}

namespace {

PatientHit HitOf(const QSqlQuery &row)
{
    return PatientHit{row.value(0).toString(), row.value(1).toString(), row.value(2).toInt(), row.value(3).toInt()};
}

} // namespace

std::optional<QVector<PatientHit>> FindPatientsByKana(const QString &text)
{
    // Keys left empty by writes since the last search are folded first; one
    // that cannot be stored (a read-only file) is folded here for this search.
    SyncPatientSearchKeys();
    QString wanted = FoldForSearch(text);
    wanted.remove(QChar(0x1f));
    QSqlQuery found(gDB());
    found.setForwardOnly(true);
    if (wanted.isEmpty()) {
        if (!found.exec(QStringLiteral("SELECT ID, Name, Birth, Sex FROM Kanja_Data ORDER BY ID ASC")))
            return std::nullopt;
    } else if (FoldTrigramsIndexed() && wanted.toUcs4().size() >= 3) {
        // The trigram index names the keys holding every three-character
        // piece of the text in its order; the LIKE on the key the index
        // holds (the same as Kanja_Search's) keeps those that hold the text
        // itself. Keys still empty are matched below.
        found.prepare(QStringLiteral(
            "SELECT d.ID, d.Name, d.Birth, d.Sex, NULL FROM Kanja_Search_Trigram t "
            "CROSS JOIN Kanja_Search_Row r CROSS JOIN Kanja_Data d "
            "WHERE Kanja_Search_Trigram MATCH ? AND r.Row = t.rowid AND d.ID = r.ID "
            "AND t.Fold LIKE ? ESCAPE '\\' "
            "UNION ALL SELECT d.ID, d.Name, d.Birth, d.Sex, d.Kana FROM Kanja_Search s CROSS JOIN Kanja_Data d "
            "WHERE s.Fold IS NULL AND d.ID = s.ID ORDER BY 1"));
        found.addBindValue(QChar(u'"') + QString(wanted).replace(QChar(u'"'), QStringLiteral("\"\"")) + QChar(u'"'));
        found.addBindValue(QChar(u'%') + EscapeLike(wanted) + QChar(u'%'));
        if (!found.exec())
            return std::nullopt;
    } else {
        // Keys and search text are folded to lower case, so LIKE's ASCII case
        // rule changes nothing; on the server a trigram index serves it. The
        // keys are read first (CROSS JOIN keeps SQLite from walking every
        // patient in number order to look up its key), the hits sorted after.
        found.prepare(QStringLiteral("SELECT d.ID, d.Name, d.Birth, d.Sex, CASE WHEN s.Fold IS NULL THEN d.Kana END FROM Kanja_Search s "
                                     "CROSS JOIN Kanja_Data d WHERE d.ID = s.ID "
                                     "AND (s.Fold LIKE ? ESCAPE '\\' OR s.Fold IS NULL) ORDER BY d.ID ASC"));
        found.addBindValue(QChar(u'%') + EscapeLike(wanted) + QChar(u'%'));
        if (!found.exec())
            return std::nullopt;
    }
    QVector<PatientHit> hits;
    while (found.next()) {
        // An empty key (column 4 holds the kana then) is matched here.
        if (!wanted.isEmpty() && !found.value(4).isNull()
            && !SearchKey(found.value(0).toString(), found.value(1).toString(), found.value(4).toString())
                    .contains(wanted))
            continue;
        hits.append(HitOf(found));
    }
    return hits;
}
