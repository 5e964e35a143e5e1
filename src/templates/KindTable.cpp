#include "templates/KindTable.h"

#include "app/AppState.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Dialect.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

struct Column
{
    QString name;
    QString type;
};

// Names that would hide SQLite's row id, which updating and deleting a saved
// document rely on there; left out on every store so that a kind has the same
// columns wherever it is kept.
bool shadowsRowId(const QString &name)
{
    static const QStringList reserved = {QStringLiteral("rowid"), QStringLiteral("oid"),
                                         QStringLiteral("_rowid_"), QStringLiteral("__rowid__")};
    return reserved.contains(name.toLower());
}

QString fieldType(const QString &dataKind)
{
    switch (DataKindNumber(dataKind).value_or(-1)) {
    case 0:
        return dialect::IntegerType();
    case 1:
        return dialect::TextType(kTextFieldSize);
    case 2:
        return dialect::MemoType();
    default:
        return QString();
    }
}

QString definition(const Column &c)
{
    return QuoteIdent(c.name) + u' ' + c.type;
}

class ColumnList
{
public:
    void add(const QString &name, const QString &type)
    {
        if (name.isEmpty() || type.isEmpty() || shadowsRowId(name))
            return;
        const QString key = dialect::IdentifierKey(name);
        if (m_names.contains(key))
            return;
        m_names.insert(key);
        m_columns << Column{name, type};
    }

    int size() const { return int(m_columns.size()); }
    const QList<Column> &columns() const { return m_columns; }

    QStringList definitions() const
    {
        QStringList result;
        for (const Column &c : m_columns)
            result << definition(c);
        return result;
    }

    // Leaves out the columns the database refuses on their own; asked only
    // when the whole table was refused, so that a wide table is made at once.
    void dropRefused()
    {
        QList<Column> kept;
        for (const Column &c : m_columns)
            if (dialect::AcceptsColumn(definition(c)))
                kept << c;
        m_columns = kept;
    }

private:
    QList<Column> m_columns;
    QSet<QString> m_names;
};

QString tooManyColumns(int columns)
{
    return QStringLiteral("入力欄とチェックボックスが多すぎます（表の列 %1、データベースの上限 %2）。")
        .arg(columns)
        .arg(MaxTableColumns());
}

// The columns a kind's table has for these fields and check boxes, in order.
ColumnList kindColumns(const QList<KindColumnSource> &fields, const QStringList &checkTags)
{
    ColumnList columns;
    const QString integer = dialect::IntegerType();
    columns.add(QStringLiteral("ID"), integer);
    columns.add(QStringLiteral("DrID"), dialect::TextType(50));
    columns.add(QStringLiteral("患者番号"), dialect::TextType(50));
    for (const KindColumnSource &f : fields)
        if (!IsFixedKindColumn(f.tag))
            columns.add(f.tag, fieldType(f.dataKind));
    for (const QString &tag : checkTags)
        if (!IsFixedKindColumn(tag))
            columns.add(tag, integer);
    columns.add(QStringLiteral("編集日"), integer);
    columns.add(QStringLiteral("終了判定"), integer);
    return columns;
}

// The columns of wanted that are not among columns, in order.
QList<Column> missingFrom(const QStringList &columns, const ColumnList &wanted)
{
    QSet<QString> present;
    for (const QString &name : columns)
        present.insert(dialect::IdentifierKey(name));
    QList<Column> missing;
    for (const Column &c : wanted.columns())
        if (!present.contains(dialect::IdentifierKey(c.name)))
            missing << c;
    return missing;
}

// The columns of wanted that table lacks, in order.
QList<Column> missingColumns(const QString &table, const ColumnList &wanted)
{
    return missingFrom(TableColumns(table), wanted);
}

// Adds the columns and their 操作履歴 rows in one transaction.
bool addColumns(const QString &table, const QList<Column> &columns, QString *error)
{
    if (!BeginTrans())
        return false;
    QSqlQuery q(gDB());
    for (const Column &c : columns) {
        const QString operation = (QStringLiteral("列追加：") + c.name).left(50);
        if (!q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(QuoteIdent(table), definition(c)))
            || !WriteAudit(operation, CurrentDrID, table, 0, QString())) {
            *error = q.lastError().text();
            Rollback();
            return false;
        }
    }
    if (CommitTrans())
        return true;
    *error = gDB().lastError().text();
    Rollback();
    return false;
}

} // namespace

int StoredLength(const QString &text)
{
    int surrogates = 0;
    for (const QChar c : text)
        surrogates += c.isHighSurrogate();
    return int(text.size()) - surrogates;
}

std::optional<int> DataKindNumber(const QString &dataKind)
{
    bool ok = false;
    const int number = dataKind.trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

QString DataKindProblem(const KindColumnSource &field)
{
    if (field.tag.isEmpty() || IsFixedKindColumn(field.tag) || !fieldType(field.dataKind).isEmpty())
        return QString();
    return QStringLiteral("入力欄「%1」のデータ種別「%2」は 0（数値）、1（文字）、2（長文）のどれでもありません。")
        .arg(field.tag, field.dataKind);
}

bool IsFixedKindColumn(const QString &name)
{
    static const QStringList fixed = {QStringLiteral("ID"), QStringLiteral("DrID"), QStringLiteral("患者番号"),
                                      QStringLiteral("編集日"), QStringLiteral("終了判定")};
    for (const QString &column : fixed)
        if (name.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool KindTableExists(const QString &kind)
{
    return TableExists(kind);
}

bool CreateKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags, QString *reason)
{
    if (kind.isEmpty() || !DatabaseIsOpen() || KindTableExists(kind))
        return false;
    ColumnList columns = kindColumns(fields, checkTags);
    if (columns.size() > MaxTableColumns()) {
        if (reason)
            *reason = tooManyColumns(columns.size());
        return false;
    }
    QSqlQuery q(gDB());
    if (!q.exec(dialect::CreateKindTable(QuoteIdent(kind), columns.definitions()))) {
        columns.dropRefused();
        if (!q.exec(dialect::CreateKindTable(QuoteIdent(kind), columns.definitions()))) {
            if (reason)
                *reason = q.lastError().text();
            return false;
        }
    }
    IndexKindTable(kind);
    return true;
}

bool ExtendKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags, QStringList *added, QString *reason)
{
    if (kind.isEmpty() || !DatabaseIsOpen() || !KindTableExists(kind))
        return false;
    const QString table = StoredTableName(kind);
    ColumnList wanted = kindColumns(fields, checkTags);
    QList<Column> missing = missingColumns(table, wanted);
    if (missing.isEmpty())
        return true;
    const int total = int(TableColumns(table).size() + missing.size());
    if (total > MaxTableColumns()) {
        if (reason)
            *reason = tooManyColumns(total);
        return false;
    }
    QString error;
    if (!addColumns(table, missing, &error)) {
        // Another workstation may have added them meanwhile; a name the
        // database refuses is left out, as when the table was made.
        wanted.dropRefused();
        missing = missingColumns(table, wanted);
        if (!missing.isEmpty() && !addColumns(table, missing, &error)) {
            if (reason)
                *reason = error;
            return false;
        }
    }
    if (added)
        for (const Column &c : missing)
            *added << c.name;
    return true;
}

bool KindColumnsPresent(const QList<KindColumnSource> &fields, const QStringList &checkTags,
                        const QStringList &columns)
{
    return !columns.isEmpty() && missingFrom(columns, kindColumns(fields, checkTags)).isEmpty();
}

QList<KindColumnSource> KindColumnSources(const Template &t)
{
    QList<KindColumnSource> sources;
    for (const TemplateItem &item : t.items)
        sources << KindColumnSource{item.tag.value_or(QString()), item.dataKind.value_or(QString())};
    return sources;
}

QStringList KindCheckTags(const Template &t)
{
    QStringList tags;
    for (const TemplateCheck &check : t.checks)
        tags << check.tag.value_or(QString());
    return tags;
}
