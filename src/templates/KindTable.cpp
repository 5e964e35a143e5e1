#include "templates/KindTable.h"

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
    if (dataKind == u"0")
        return dialect::IntegerType();
    if (dataKind == u"1")
        return dialect::TextType(255);
    if (dataKind == u"2")
        return dialect::MemoType();
    return QString();
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

} // namespace

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
    return TableNames().contains(dialect::StoredName(kind), Qt::CaseInsensitive);
}

bool CreateKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags, QString *reason)
{
    if (kind.isEmpty() || !DatabaseIsOpen() || KindTableExists(kind))
        return false;
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

    if (columns.size() > MaxTableColumns()) {
        if (reason)
            *reason = QStringLiteral("入力欄とチェックボックスが多すぎます（表の列 %1、データベースの上限 %2）。")
                          .arg(columns.size())
                          .arg(MaxTableColumns());
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
