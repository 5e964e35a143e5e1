#include "storage/KeptStatements.h"

#include "storage/Database.h"

#include <QHash>
#include <QSqlQuery>

#include <memory>

namespace {

// A handful of statements at most: the kinds' history and 保存リスト.
constexpr int kMostKept = 32;

QHash<QString, std::shared_ptr<QSqlQuery>> &kept()
{
    static QHash<QString, std::shared_ptr<QSqlQuery>> statements;
    return statements;
}

} // namespace

QSqlQuery *KeptStatement(const QString &sql)
{
    if (!DatabaseIsOpen())
        return nullptr;
    // Asked first: a lost connection opened again forgets what was kept.
    QSqlDatabase db = gDB();
    if (const auto found = kept().constFind(sql); found != kept().constEnd())
        return found->get();
    auto q = std::make_shared<QSqlQuery>(db);
    q->setForwardOnly(true);
    if (!q->prepare(sql))
        return nullptr;
    if (kept().size() >= kMostKept)
        kept().clear();
    kept().insert(sql, q);
    return q.get();
}

void ForgetKeptStatements()
{
    kept().clear();
}
