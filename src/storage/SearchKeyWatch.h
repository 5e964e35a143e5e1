#pragma once
#include <QStringList>

class QSqlDatabase;

// On opening: the database keeps the patients' search keys in step with
// Kanja_Data by itself (dialect::WatchSearchKeys), and has the indexes that
// find the stale keys and the keys holding a text. A database that had no
// watch yet (made by an earlier version, or by hand) gets it once, together
// with a key row for every patient, left empty (Fold NULL) where the key was
// missing or made from another name or kana; the patient search folds those.
// Failures leave the database as it was.
void WatchSearchKeys(QSqlDatabase &db, const QStringList &indexes);
