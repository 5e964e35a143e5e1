#include "storage/ColumnCatalog.h"

#include "storage/Database.h"
#include "storage/Dialect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

namespace {

QString jsonList(const QStringList &texts)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}

} // namespace

QHash<QString, QStringList> ColumnsOfTables(const QStringList &tables, const QStringList &names,
                                            QHash<QString, QStringList> *categories)
{
    QHash<QString, QStringList> found;
    if (!DatabaseIsOpen() || tables.isEmpty() || names.isEmpty())
        return found;
    QStringList folded;
    for (const QString &name : names)
        folded << dialect::IdentifierKey(name);
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    const bool prepared =
        CurrentEngine() == Engine::Postgres
            ? q.prepare(QStringLiteral(
                  "SELECT c.relname, a.attname, t.typcategory FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                  "JOIN pg_type t ON t.oid = a.atttypid "
                  "WHERE c.relkind IN ('r', 'p') AND c.relnamespace = current_schema()::regnamespace "
                  "AND a.attnum > 0 AND NOT a.attisdropped "
                  "AND c.relname IN (SELECT t COLLATE \"C\" FROM json_array_elements_text(CAST(? AS json)) AS t) "
                  "AND lower(a.attname) IN (SELECT n COLLATE \"C\" FROM json_array_elements_text(CAST(? AS json)) AS n)"))
            : q.prepare(QStringLiteral("SELECT t.value, p.name FROM json_each(?) AS t JOIN pragma_table_info(t.value) AS p "
                                       "WHERE lower(p.name) IN (SELECT n.value FROM json_each(?) AS n)"));
    if (!prepared)
        return found;
    q.addBindValue(jsonList(tables));
    q.addBindValue(jsonList(folded));
    const bool typed = CurrentEngine() == Engine::Postgres;
    if (q.exec())
        while (q.next()) {
            found[q.value(0).toString()] << q.value(1).toString();
            if (categories && typed)
                (*categories)[q.value(0).toString()] << q.value(2).toString();
        }
    return found;
}
