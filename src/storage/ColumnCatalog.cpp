#include "storage/ColumnCatalog.h"

#include "storage/Database.h"
#include "storage/Dialect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

QHash<QString, QStringList> TablesHavingColumns(const QStringList &names)
{
    QHash<QString, QStringList> tables;
    if (!DatabaseIsOpen() || names.isEmpty())
        return tables;
    QJsonArray folded;
    for (const QString &name : names)
        folded.append(dialect::IdentifierKey(name));
    const QString wanted = QStringLiteral("lower(%2) IN (SELECT j.value FROM %1)").arg(dialect::JsonTexts());
    const QString sql =
        CurrentEngine() == Engine::Postgres
            ? QStringLiteral("SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                             "WHERE c.relkind IN ('r', 'p') AND c.relnamespace = current_schema()::regnamespace "
                             "AND a.attnum > 0 AND NOT a.attisdropped AND ")
                  + wanted.arg(QStringLiteral("a.attname"))
            : QStringLiteral("SELECT m.name, p.name FROM sqlite_master m JOIN pragma_table_info(m.name) p "
                             "WHERE m.type = 'table' AND ")
                  + wanted.arg(QStringLiteral("p.name"));
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return tables;
    q.addBindValue(QString::fromUtf8(QJsonDocument(folded).toJson(QJsonDocument::Compact)));
    if (q.exec())
        while (q.next())
            tables[q.value(0).toString()] << q.value(1).toString();
    return tables;
}
