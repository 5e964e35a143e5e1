#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "storage/Dialect.h"
#include "storage/KeptStatements.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

// The one shared recordset of the program, and what every recordset does:
// open a statement's rows, step through them, add, edit and remove rows.
Recordset gRS;

bool Recordset::open(const QString &kind, const QString &sql, const QVariantList &params)
{
    m_lastError.clear();
    if (!DatabaseIsOpen()) {
        m_lastError = QStringLiteral("database not open");
        return false;
    }
    const bool dynaset = kind == QStringLiteral("Dynaset");
    QString statement = sql.trimmed();
    QString table;
    static const QRegularExpression bareName(QStringLiteral("^(\"(?:[^\"]|\"\")+\"|[^\\s\"]+)$"));
    static const QRegularExpression selectAll(
        QStringLiteral("^select\\s+\\*\\s+from\\s+(\"(?:[^\"]|\"\")+\"|[^\\s\"]+)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

    if (auto m = bareName.match(statement); m.hasMatch()) {
        table = m.captured(1);
        if (!table.startsWith(u'"'))
            table = QuoteIdent(table);
        statement = QStringLiteral("SELECT * FROM ") + table;
    }
    // "SELECT * FROM table ...": the table names the columns.
    QString wholeTable;
    if (auto m = selectAll.match(statement); m.hasMatch()) {
        wholeTable = m.captured(1);
        if (wholeTable.startsWith(u'"')) {
            wholeTable = wholeTable.mid(1, wholeTable.size() - 2);
            wholeTable.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
    }
    // A dynaset over one table also reads what identifies each row, so that
    // edits and deletes reach exactly the rows that were read.
    Identity identity = Identity::None;
    QStringList keyNames;
    if (dynaset) {
        if (auto m = selectAll.match(statement); m.hasMatch()) {
            table = m.captured(1);
            if (!table.startsWith(u'"'))
                table = QuoteIdent(table);
            const QString rest = m.captured(2);
            if (CurrentEngine() == Engine::Sqlite) {
                identity = Identity::RowId;
            } else {
                keyNames = dialect::KeyColumns(table);
                identity = keyNames.isEmpty() ? Identity::TupleAndValues : Identity::Key;
            }
            const QString hiddenId = dialect::RowIdSelect(identity == Identity::TupleAndValues);
            statement = QStringLiteral("SELECT ") + (hiddenId.isEmpty() ? QString() : hiddenId + QStringLiteral(", "))
                      + QStringLiteral("* FROM ") + table + rest;
        }
    }
    const int hidden = identity == Identity::RowId || identity == Identity::TupleAndValues ? 1 : 0;

    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(statement)) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }

    const QSqlRecord rec = q.record();
    QStringList columns;
    QVector<int> lengths;
    for (int i = hidden; i < rec.count(); ++i) {
        columns << rec.fieldName(i);
        lengths << rec.field(i).length();
    }
    QVector<int> keyColumns;
    if (identity == Identity::Key) {
        for (const QString &k : keyNames) {
            const int c = int(columns.indexOf(k));
            if (c < 0)
                identity = Identity::None;
            keyColumns << c;
        }
    }
    QVector<QVariantList> rows;
    QVector<QVariantList> keys;
    while (q.next()) {
        QVariantList row;
        row.reserve(rec.count() - hidden);
        for (int i = hidden; i < rec.count(); ++i)
            row << SqlValue(q, i);
        QVariantList key;
        if (hidden)
            key << q.value(0);
        else if (identity == Identity::Key)
            for (const int c : keyColumns)
                key << row.value(c);
        rows << row;
        keys << key;
    }

    q.finish();
    if (!wholeTable.isEmpty()) {
        // "SELECT *" lists the table's columns in table order; their own
        // spelling keeps quotes that the driver's record drops. (Asked only
        // once every row is read: a server connection runs one query at a time.)
        const QStringList own = TableColumns(wholeTable);
        if (own.size() == columns.size())
            columns = own;
    }
    QHash<QString, int> index;
    index.reserve(columns.size());
    for (int i = int(columns.size()) - 1; i >= 0; --i) // the first of a name wins
        index.insert(columns[i].toCaseFolded(), i);

    m_open = true;
    m_dynaset = identity != Identity::None;
    m_identity = identity;
    m_table = table;
    m_columns = columns;
    m_lengths = lengths;
    m_index = std::move(index);
    m_rows = std::move(rows);
    m_keys = std::move(keys);
    m_keyNames = keyNames;
    m_keyColumns = keyColumns;
    m_pos = 0;
    m_mode = EditMode::None;
    return true;
}

QString Recordset::keyCondition(QVariantList &values) const
{
    QStringList parts;
    switch (m_identity) {
    case Identity::None:
        break;
    case Identity::RowId:
        parts << QStringLiteral("rowid=?");
        values << m_keys[m_pos];
        break;
    case Identity::Key:
        for (const QString &k : m_keyNames)
            parts << QuoteIdent(k) + QStringLiteral("=?");
        values << m_keys[m_pos];
        break;
    case Identity::TupleAndValues:
        // The tuple as read, and only while it still holds what was read: an
        // edit of another workstation in between leaves nothing to match.
        parts << dialect::TupleCondition();
        values << m_keys[m_pos];
        for (int i = 0; i < m_columns.size(); ++i) {
            parts << QuoteIdent(m_columns[i]) + QStringLiteral(" IS NOT DISTINCT FROM ?");
            values << m_rows[m_pos].value(i);
        }
        break;
    }
    return parts.join(QStringLiteral(" AND "));
}

void Recordset::close()
{
    m_open = false;
    m_rows.clear();
    m_keys.clear();
    m_pos = 0;
    m_mode = EditMode::None;
}

bool Recordset::eof() const
{
    return !m_open || m_pos >= m_rows.size();
}

void Recordset::moveNext()
{
    if (m_pos < m_rows.size())
        ++m_pos;
}

void Recordset::moveFirst()
{
    m_pos = 0;
}

int Recordset::column(const QString &name) const
{
    return m_index.value(name.toCaseFolded(), -1);
}

QVariant Recordset::field(const QString &name) const
{
    if (m_mode != EditMode::None) {
        const int c = column(name);
        return c >= 0 ? m_buffer.value(c) : QVariant();
    }
    if (eof())
        return QVariant();
    const int c = column(name);
    return c >= 0 ? m_rows[m_pos].value(c) : QVariant();
}

bool Recordset::addNew()
{
    if (!m_open || !m_dynaset)
        return false;
    m_mode = EditMode::Add;
    m_buffer = QVariantList(m_columns.size());
    m_touched = QVector<bool>(m_columns.size(), false);
    m_bufferError = false;
    return true;
}

bool Recordset::edit()
{
    if (!m_open || !m_dynaset || eof())
        return false;
    m_mode = EditMode::Edit;
    m_buffer = m_rows[m_pos];
    m_touched = QVector<bool>(m_columns.size(), false);
    m_bufferError = false;
    return true;
}

bool Recordset::setField(const QString &name, const QVariant &value)
{
    const int c = column(name);
    if (m_mode == EditMode::None || c < 0) {
        m_bufferError = true;
        m_lastError = QStringLiteral("no field ") + name;
        return false;
    }
    m_buffer[c] = value;
    m_touched[c] = true;
    return true;
}

void Recordset::cancelUpdate()
{
    m_mode = EditMode::None;
}

bool Recordset::update()
{
    if (m_mode == EditMode::None)
        return false;
    const EditMode mode = m_mode;
    m_mode = EditMode::None;
    if (m_bufferError)
        return false;

    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_touched[i])
            continue;
        names << QuoteIdent(m_columns[i]);
        values << m_buffer[i];
    }
    QString statement;
    if (mode == EditMode::Add) {
        if (names.isEmpty()) {
            statement = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table);
        } else {
            QStringList marks;
            for (int i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            statement = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(m_table, names.join(u','), marks.join(u','));
        }
        statement += dialect::ReturningKey(m_identity == Identity::Key ? m_keyNames : QStringList());
    } else {
        if (names.isEmpty())
            return true;
        QStringList sets;
        for (const QString &n : names)
            sets << n + QStringLiteral("=?");
        statement = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_table, sets.join(u','), keyCondition(values));
        if (m_identity == Identity::TupleAndValues)
            statement += dialect::ReturningTuple();
    }
    // A document saved again and again changes the same columns: its
    // statement stays prepared. Scrollable, as before: the count of rows
    // changed is needed before what RETURNING sends is read.
    const KeptQuery q(statement, true);
    if (!q.prepared()) {
        m_lastError = q->lastError().text();
        NoteDatabaseFailure(q->lastError());
        return false;
    }
    for (const QVariant &v : values)
        q->addBindValue(v);
    if (!q->exec()) {
        m_lastError = q->lastError().text();
        noteTooLong(q->lastError());
        NoteDatabaseFailure(q->lastError());
        return false;
    }
    if (mode == EditMode::Add) {
        // PostgreSQL reports the key through RETURNING; asking it for the last
        // value of a sequence would spoil the transaction.
        if (q->isSelect())
            m_lastInsertId = q->next() ? q->value(0) : QVariant();
        else
            m_lastInsertId = CurrentEngine() == Engine::Sqlite ? q->lastInsertId() : QVariant();
    } else {
        if (q->numRowsAffected() == 0) {
            m_lastError = QStringLiteral("row no longer there");
            return false;
        }
        m_rows[m_pos] = m_buffer;
        if (m_identity == Identity::TupleAndValues && q->isSelect() && q->next())
            m_keys[m_pos] = QVariantList{q->value(0)};
        if (m_identity == Identity::Key) {
            QVariantList key;
            for (const int c : m_keyColumns)
                key << m_buffer.value(c);
            m_keys[m_pos] = key;
        }
    }
    return true;
}

void Recordset::noteTooLong(const QSqlError &error) const
{
    if (!dialect::IsValueTooLong(error))
        return;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int limit = m_lengths.value(i, -1);
        const QVariant &value = m_buffer[i];
        if (m_touched[i] && limit > 0 && value.typeId() == QMetaType::QString
            && value.toString().toUcs4().size() > limit) {
            NoteDatabaseFailure(QStringLiteral("%1 の値が長すぎます（%2 文字まで）。").arg(m_columns[i]).arg(limit));
            return;
        }
    }
}

bool Recordset::remove()
{
    if (!m_open || !m_dynaset || eof())
        return false;
    QSqlQuery q(gDB());
    QVariantList values;
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table, keyCondition(values)));
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        NoteDatabaseFailure(q.lastError());
        return false;
    }
    m_rows.remove(m_pos);
    m_keys.remove(m_pos);
    return true;
}

bool OpenRS(const QString &kind, const QString &sql, const QVariantList &params)
{
    Recordset rs;
    if (!rs.open(kind, sql, params))
        return false;
    gRS = std::move(rs);
    return true;
}
