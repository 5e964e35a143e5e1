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

} // namespace

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
    if (watched(db) || !db.transaction())
        return;
    if (!setUpWatch(db) || !db.commit())
        db.rollback();
}
