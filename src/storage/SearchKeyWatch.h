#pragma once
#include <QString>
#include <QStringList>

class QSqlDatabase;

// On opening: the database keeps the patients' search keys in step with
// Kanja_Data by itself (dialect::WatchSearchKeys), and has the indexes that
// find the stale keys and the keys holding a text. A database that had no
// watch yet (made by an earlier version, or by hand) gets it once, together
// with a key row for every patient, left empty (Fold NULL) where the key was
// missing or made from another name or kana; the patient search folds those.
// Failures leave the database as it was.
// In the embedded file it also indexes the keys' three-character pieces.
void WatchSearchKeys(QSqlDatabase &db, const QStringList &indexes);

// True when the open embedded file has that index in step with the keys:
// Kanja_Search_Trigram (FTS5) holds each non-empty Fold under the number
// that Kanja_Search_Row gives its patient's ID.
bool FoldTrigramsIndexed();
// Tables of that index, which are no one's records and are not copied.
bool IsSearchIndexTable(const QString &table);
