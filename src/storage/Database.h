#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct StoreLocation;

// The one database of the run: DATA/Rydol.db, or the PostgreSQL server that
// setting.ini's DB (or RYDOL_DB) names (see StoreLocation.h). Opens it,
// creating the fixed tables when they are missing and the indexes that the
// fixed tables and the kind tables lack. False when it cannot be used (a
// folder, not SQLite, cut short, folder not writable, server unreachable,
// ...); a file that cannot be read is not touched. Once open, finishes the
// file steps of saves and deletions that an earlier run left half done
// (storage/FileJournal.h), and gives a 操作履歴 of an earlier release the
// columns of its hash chain (storage/AuditTrail.h).
bool OpenDB();
// DATA/Rydol.db
QString DatabasePath();
// Opens another file as the database of the run (tests, benchmarks).
bool OpenDBAt(const QString &path);
// Opens a PostgreSQL database as the database of the run.
bool OpenServer(const StoreLocation &location);
// Why the last opening failed (the driver's words, for logs and tools).
QString DatabaseOpenError();
// What kind of failure it was, and the reason in words for the user (the
// server's reason for refusing the connection, or the table this user may
// not use); the reason is empty when there is nothing to add.
enum class OpenFailure { None, Unusable, Unreachable, NoAccess };
OpenFailure DatabaseOpenFailure();
QString DatabaseOpenReason();
// On a server, whether this user may read and write every table the program
// uses and create the tables of the kinds that have none yet: empty when so,
// otherwise a line naming the table.
QString DatabaseAccessProblem(const QStringList &kinds);
void CloseDB();
bool DatabaseIsOpen();
// The open connection (invalid when OpenDB failed).
QSqlDatabase gDB();

class QSqlError;
class QSqlQuery;
// Column i of the query's current row; an empty QVariant for NULL, as
// SQLite gives it (PostgreSQL's NULL integer would read as "0").
QVariant SqlValue(const QSqlQuery &q, int i);

// "name" with embedded quotes doubled: table and column names that come from templates.
QString QuoteIdent(const QString &name);
QStringList TableNames();

// A kind's table is indexed on ID (unique, unless the table already holds a
// number twice) and on 患者番号, so that saving, reopening and a patient's
// history take the same time however many documents are stored. Opening the
// database adds what is missing to the kind tables it holds.
void IndexKindTable(const QString &table);
// The name of the index of table on what ("ID", "患者番号", ...): unique per
// table and column, never a table's name, at most 63 bytes of UTF-8.
QString IndexName(const QString &table, const QString &what);
// The column names of a table, in table order, exactly as the table spells
// them; empty when it does not exist.
QStringList TableColumns(const QString &table);
// The name of the existing table that name denotes: the table spelled exactly
// so, else one whose name differs only in letter case (any script), else name
// itself. Kinds whose names differ only in letter case are one kind with one
// table.
QString StoredTableName(const QString &name);
// The same among names, the tables listed once beforehand (TableNames).
QString StoredTableNameIn(const QStringList &names, const QString &name);
// Whether a table of that name is stored, letter case aside. Like
// StoredTableName it asks for the exact name first and lists every table
// only when that fails.
bool TableExists(const QString &name);
// How many columns one table may have.
int MaxTableColumns();
// The column as the table names it (case-insensitive match), quoted, or NULL
// when the table has no such column, for SELECT lists over tables of any age.
QString SelectableColumn(const QStringList &columns, const QString &name);
// Escapes % and _ (and the escape character \) for a LIKE ... ESCAPE '\' pattern.
QString EscapeLike(const QString &text);

bool BeginTrans();
bool CommitTrans();
void Rollback();
// Between BeginTrans and its commit or rollback.
bool InTransaction();

// A query result held in memory with a current row, like the recordsets the
// rest of the program was designed around. "Dynaset" (exactly) is updatable,
// any other kind is a read-only snapshot. The SQL is either a bare table name
// or a statement whose values are bound to '?' placeholders from params.
class Recordset
{
public:
    bool open(const QString &kind, const QString &sql, const QVariantList &params = {});
    void close();
    bool isOpen() const { return m_open; }
    bool isDynaset() const { return m_dynaset; }

    bool eof() const;
    void moveNext();
    void moveFirst();
    int recordCount() const { return int(m_rows.size()); }
    QStringList columns() const { return m_columns; }
    bool hasField(const QString &name) const { return column(name) >= 0; }
    // Value of a column of the current row; invalid QVariant when there is none.
    QVariant field(const QString &name) const;
    QString text(const QString &name) const { return field(name).toString(); }

    // Editing (dynaset only): AddNew or Edit, then SetField..., then Update.
    bool addNew();
    bool edit();
    // False (and Update will fail) when the column does not exist.
    bool setField(const QString &name, const QVariant &value);
    bool update();
    void cancelUpdate();
    // Deletes the current row from its table; the recordset then stands on the
    // row that followed it (no MoveNext needed).
    bool remove();
    QVariant lastInsertId() const { return m_lastInsertId; }
    QString lastError() const { return m_lastError; }

private:
    int column(const QString &name) const;
    // Names the column whose value did not fit when error says so.
    void noteTooLong(const QSqlError &error) const;

    bool m_open = false;
    bool m_dynaset = false;
    QString m_table;
    enum class Identity { None, RowId, Key, TupleAndValues };
    // The WHERE condition for the current row; its values are appended.
    QString keyCondition(QVariantList &values) const;

    QStringList m_columns;  // without SQLite's hidden rowid column
    QVector<int> m_lengths; // the most characters each column holds (-1: no limit known)
    QHash<QString, int> m_index; // case-folded name -> first column of that name
    QVector<QVariantList> m_rows;
    // What identifies each row: SQLite's rowid; on PostgreSQL the primary
    // key's values as read (m_keyColumns are their places in m_columns), or
    // for a table without one the tuple id (checked together with every value
    // as read).
    Identity m_identity = Identity::None;
    QVector<QVariantList> m_keys;
    QStringList m_keyNames;
    QVector<int> m_keyColumns;
    int m_pos = 0;
    enum class EditMode { None, Add, Edit } m_mode = EditMode::None;
    QVariantList m_buffer;
    QVector<bool> m_touched;
    bool m_bufferError = false;
    QVariant m_lastInsertId;
    QString m_lastError;
};

// The shared recordset: every successful OpenRS replaces it; a failed one
// leaves it as it was.
extern Recordset gRS;
bool OpenRS(const QString &kind, const QString &sql, const QVariantList &params = {});
