#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The one database of the run: DATA/Rydol.db. Opens it, creating the fixed
// tables when the file or one of them is missing, and finishes the file steps
// of saves and deletions that an earlier run left half done
// (storage/FileJournal.h). False, with the file untouched, when it cannot be
// used: a folder, not SQLite, cut short, folder not writable.
bool OpenDB();
// DATA/Rydol.db
QString DatabasePath();
// Opens another file as the database of the run (tests, benchmarks).
bool OpenDBAt(const QString &path);
void CloseDB();
bool DatabaseIsOpen();
// The open connection (invalid when OpenDB failed).
QSqlDatabase gDB();

// "name" with embedded quotes doubled: table and column names that come from templates.
QString QuoteIdent(const QString &name);
QStringList TableNames();
// The column names of a table, in table order, exactly as the table spells
// them; empty when it does not exist.
QStringList TableColumns(const QString &table);
// The name of the existing table that name denotes: the table spelled exactly
// so, else one whose name differs only in letter case (any script), else name
// itself. Kinds use it for their table and their image folder alike.
QString StoredTableName(const QString &name);
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

    bool m_open = false;
    bool m_dynaset = false;
    QString m_table;
    QStringList m_columns;  // without the hidden rowid column
    QHash<QString, int> m_index; // case-folded name -> first column of that name
    QVector<QVariantList> m_rows;
    QVector<qint64> m_rowIds;
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
