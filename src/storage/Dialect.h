#pragma once
#include <QString>
#include <QStringList>

#include <optional>

class QSqlError;

// Everything that differs between the embedded SQLite file and a PostgreSQL
// server is decided here; the rest of the program writes one SQL for both.
//
// Identifiers: SQLite compares ASCII letters of names without regard to case,
// quoted or not. On PostgreSQL every name the program makes is stored with its
// ASCII letters in lower case and QuoteIdent folds the same way, so quoted and
// unquoted spellings (Kanja_Data, "Kanja_Data", ID) meet the same table and
// column on both stores. Japanese names are kept as they are.

enum class Engine { Sqlite, Postgres };

// The engine of the open database (SQLite when none is open).
Engine CurrentEngine();
void SetCurrentEngine(Engine engine);

namespace dialect {

// The column types of a kind table: 32-bit integer, text of a size, memo.
QString IntegerType();
QString TextType(int size);
QString MemoType();

// CREATE TABLE for a kind table from its column definitions (in order).
// PostgreSQL keys the table on its document number, which also gives
// Recordset edits their row identity there.
QString CreateKindTable(const QString &quotedTable, const QStringList &definitions);

// The fixed tables as {name, CREATE TABLE IF NOT EXISTS ...}.
struct FixedTable
{
    QString name;
    QString create;
};
QList<FixedTable> FixedTables();

// One column: the names of the tables of the database (current schema).
QString ListTables();
// One column: the names of the indexes of the database (current schema).
QString ListIndexes();

// A FROM item "j" with one text column "value": the strings of the JSON array
// bound to its one placeholder, compared by code point like the stored texts.
QString JsonTexts();

// Two names are the same column or table when their keys are equal.
QString IdentifierKey(const QString &name);
// The name as the database stores it (PostgreSQL: ASCII in lower case).
QString StoredName(const QString &name);
// The name as the server would store it, on either store: what a hash over
// table and column names covers, so that moving to the server keeps it.
QString PortableName(const QString &name);

// The column names of a table in table order, as the table spells them.
QStringList ColumnNames(const QString &table);
// How many columns one table may have.
int MaxColumns();

// Whether the database takes a column definition on its own.
bool AcceptsColumn(const QString &definition);

// Suffix of a SELECT inside a write transaction that holds the rows read
// until the transaction ends (PostgreSQL; SQLite's write lock already does).
QString ForUpdate();
// The patients' search keys (Kanja_Search) follow Kanja_Data inside the
// database: a trigger gives every added patient a key row and, when a
// patient's number, name or kana changes, stores the new name and kana with
// an empty Fold, so a writer that knows nothing of the keys (another
// program, a hand-made import) leaves them stale but never wrong; a removed
// patient loses the key. The statements that set it up, and one that
// returns a row when it is in place.
QStringList WatchSearchKeys();
QString SearchKeysWatched();
// The index that finds a text inside the folded keys (Fold LIKE '%...%'),
// made when the database can: a trigram index on the server; the embedded
// file scans. Empty statements when there is none.
QStringList FoldIndex();

// Whether a statement failed because a row with the same key exists.
bool IsUniqueViolation(const QSqlError &error);
// Whether a statement failed because a text did not fit its column.
bool IsValueTooLong(const QSqlError &error);

// "column LIKE ? ESCAPE '\'" with the case rule of SQLite's LIKE (ASCII
// letters match either case) on both stores.
QString ContainsLike(const QString &column);

// Opens a write transaction that other workstations cannot interleave with:
// SQLite takes the file's write lock at once (BEGIN IMMEDIATE), so two
// processes never both read the highest number and then both insert.
bool BeginWrite();
// Inside a write transaction: no other workstation adds rows to the table
// until it ends (PostgreSQL: a table lock that lets readers through).
bool LockForNewRows(const QString &quotedTable);

// Inside a write transaction: a document number of the table, at least
// atLeast, that no other workstation is given. SQLite's write lock already
// keeps other writers out, so there it is atLeast itself. PostgreSQL takes it
// from the table's own number counter, which waits for no other workstation
// (but after rows were stored past it) and never hands out a number twice, also when the save that
// took it fails (the number then stays unused). nullopt on a failure.
std::optional<qint64> ClaimNumber(const QString &table, qint64 atLeast);

// Inside a write transaction: the file steps of page images (table
// FileJournal). A save or delete holds them (shared with other saves) from
// before it writes its new image until the image is in place; the opening
// that finishes left-over steps holds them alone, waiting at most a few
// seconds for saves under way. SQLite's write lock already does both.
bool LockFileSteps(bool alone);

// Inside a write transaction: no other workstation links rows of 操作履歴
// into the chain until it ends (PostgreSQL: an advisory lock, which needs no
// right on any table; SQLite's write lock already does). False when another
// holds it and wait is false, or on a failure (nothing is noted). The
// server's commit of the links then returns before they are on its disk.
bool LockAuditLinks(bool wait);

// Row identity for Recordset edits. SQLite: the hidden rowid. PostgreSQL has
// no stable hidden row number: there the table's primary key identifies a
// row; a table without one (made by hand) is edited through the tuple id,
// and only while the row still holds every value that was read.
// The primary key columns of a PostgreSQL table (empty when it has none).
QStringList KeyColumns(const QString &quotedTable);
// The hidden identity selected ahead of the columns: SQLite's rowid, or the
// tuple id when tuple is true; empty otherwise.
QString RowIdSelect(bool tuple);
// The tuple id condition ("ctid = ?") and the suffix of an UPDATE that
// reports the edited row's new tuple id.
QString TupleCondition();
QString ReturningTuple();
// The suffix of an INSERT that reports the new row's key (PostgreSQL), or empty.
QString ReturningKey(const QStringList &keyColumns);

} // namespace dialect
