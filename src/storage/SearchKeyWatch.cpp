#include "storage/SearchKeyWatch.h"

#include "storage/Dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

namespace {

bool watched(QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(dialect::SearchKeysWatched()) && q.next();
}

bool setUpWatch(QSqlDatabase &db)
{
    if (CurrentEngine() == Engine::Postgres) {
        // Workstations starting together on a server set it up once.
        QSqlQuery(db).exec(QStringLiteral("SELECT pg_advisory_xact_lock(7707002)"));
        if (watched(db))
            return true;
    }
    QStringList statements = dialect::WatchSearchKeys();
    statements << QStringLiteral(
        "DELETE FROM Kanja_Search WHERE NOT EXISTS (SELECT 1 FROM Kanja_Data d WHERE d.ID = Kanja_Search.ID "
        "AND COALESCE(d.Name, '') = COALESCE(Kanja_Search.Name, '') "
        "AND COALESCE(d.Kana, '') = COALESCE(Kanja_Search.Kana, ''))")
               // A number held twice (a table made by hand) gets one key.
               << QStringLiteral("INSERT INTO Kanja_Search (ID, Name, Kana, Fold, Rev) "
                                 "SELECT ID, MIN(Name), MIN(Kana), NULL, 0 FROM Kanja_Data d "
                                 "WHERE NOT EXISTS (SELECT 1 FROM Kanja_Search s WHERE s.ID = d.ID) GROUP BY ID");
    for (const QString &sql : statements)
        if (!QSqlQuery(db).exec(sql))
            return false;
    return true;
}

// The embedded file's index of the folded keys' three-character pieces
// (FTS5's trigram tokenizer), so that a search of three or more characters
// reads only the keys holding its pieces. Its rows are numbered through
// Kanja_Search_Row, whose INTEGER PRIMARY KEY keeps its numbers through a
// VACUUM (Kanja_Search's own row numbers may change then). The triggers on
// Kanja_Search keep both in step with every key written, by any program.
const QString kTrigramWatched = QStringLiteral("Kanja_Search_Trigram_Removed");

QStringList trigramIndex()
{
    const QString drop = QStringLiteral(
        "DELETE FROM Kanja_Search_Trigram WHERE rowid IN (SELECT Row FROM Kanja_Search_Row WHERE ID = %1.ID); "
        "DELETE FROM Kanja_Search_Row WHERE ID = %1.ID; ");
    const QString add = QStringLiteral(
        "INSERT INTO Kanja_Search_Row (ID) SELECT NEW.ID WHERE NEW.Fold IS NOT NULL; "
        "INSERT INTO Kanja_Search_Trigram (rowid, Fold) SELECT Row, NEW.Fold FROM Kanja_Search_Row "
        "WHERE ID = NEW.ID AND NEW.Fold IS NOT NULL; ");
    return {QStringLiteral("DROP TABLE IF EXISTS Kanja_Search_Trigram"),
            QStringLiteral("DROP TABLE IF EXISTS Kanja_Search_Row"),
            QStringLiteral("CREATE TABLE Kanja_Search_Row (Row INTEGER PRIMARY KEY, ID VARCHAR(50) NOT NULL UNIQUE)"),
            QStringLiteral("CREATE VIRTUAL TABLE Kanja_Search_Trigram USING fts5(Fold, tokenize='trigram')"),
            QStringLiteral("INSERT INTO Kanja_Search_Row (ID) SELECT ID FROM Kanja_Search WHERE Fold IS NOT NULL"),
            QStringLiteral("INSERT INTO Kanja_Search_Trigram (rowid, Fold) "
                           "SELECT r.Row, s.Fold FROM Kanja_Search_Row r JOIN Kanja_Search s ON s.ID = r.ID"),
            QStringLiteral("CREATE TRIGGER Kanja_Search_Trigram_Added AFTER INSERT ON Kanja_Search BEGIN ")
                + drop.arg(QStringLiteral("NEW")) + add + QStringLiteral("END"),
            QStringLiteral("CREATE TRIGGER Kanja_Search_Trigram_Changed AFTER UPDATE OF ID, Fold ON Kanja_Search BEGIN ")
                + drop.arg(QStringLiteral("OLD")) + drop.arg(QStringLiteral("NEW")) + add + QStringLiteral("END"),
            QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON Kanja_Search BEGIN ").arg(kTrigramWatched)
                + drop.arg(QStringLiteral("OLD")) + QStringLiteral("END")};
}

bool g_trigrams = false;

// Made once per database, again when Kanja_Search was made anew; a library
// without FTS5 leaves it out and the search scans.
bool indexTrigrams(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='trigger' AND name='%1'").arg(kTrigramWatched))
        && q.next())
        return true;
    q.finish();
    if (!db.transaction())
        return false;
    for (const QString &sql : trigramIndex())
        if (!QSqlQuery(db).exec(sql)) {
            db.rollback();
            return false;
        }
    if (db.commit())
        return true;
    db.rollback();
    return false;
}

} // namespace

bool FoldTrigramsIndexed()
{
    return g_trigrams;
}

bool IsSearchIndexTable(const QString &table)
{
    return table.startsWith(QStringLiteral("Kanja_Search_Row"), Qt::CaseInsensitive)
        || table.startsWith(QStringLiteral("Kanja_Search_Trigram"), Qt::CaseInsensitive);
}

void WatchSearchKeys(QSqlDatabase &db, const QStringList &indexes)
{
    if (!indexes.contains(dialect::StoredName(QStringLiteral("Kanja_Search_Stale"))))
        QSqlQuery(db).exec(
            QStringLiteral("CREATE INDEX IF NOT EXISTS Kanja_Search_Stale ON Kanja_Search (ID) WHERE Fold IS NULL"));
    const QStringList foldIndex = dialect::FoldIndex();
    if (!indexes.contains(dialect::StoredName(QStringLiteral("kanja_search_fold"))))
        for (const QString &sql : foldIndex)
            if (!QSqlQuery(db).exec(sql))
                break; // no trigram module on this server: the search scans
    g_trigrams = false;
    if (!watched(db)) {
        if (!db.transaction())
            return;
        if (!setUpWatch(db) || !db.commit()) {
            db.rollback();
            return;
        }
    }
    g_trigrams = CurrentEngine() == Engine::Sqlite && indexTrigrams(db);
}
