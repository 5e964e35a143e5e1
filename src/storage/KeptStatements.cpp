#include "storage/KeptStatements.h"

#include "storage/Database.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QSqlQuery>

namespace {

// A save touches a dozen statements per kind: room for some tens of kinds
// before all are prepared afresh.
constexpr int kMostKept = 256;

QHash<QString, std::shared_ptr<QSqlQuery>> &kept()
{
    static QHash<QString, std::shared_ptr<QSqlQuery>> statements;
    return statements;
}

// Counts the forgettings: a statement in use when its connection was opened
// again belongs to the lost one.
int &generation()
{
    static int n = 0;
    return n;
}

// Statements of a lost connection still in use when it was forgotten. They
// are let go at the next forgetting, when the connection they would release
// themselves on is lost or closing, never inside a transaction of its own.
QList<std::shared_ptr<QSqlQuery>> &stale()
{
    static QList<std::shared_ptr<QSqlQuery>> statements;
    return statements;
}

// The kept statement, prepared on first use; nullptr when it cannot be, with
// the statement that failed in failed (its error is the one to tell).
std::shared_ptr<QSqlQuery> prepareKept(const QString &sql, bool scrollable, std::shared_ptr<QSqlQuery> *failed)
{
    if (!DatabaseIsOpen())
        return nullptr;
    // Asked first: a lost connection opened again forgets what was kept.
    QSqlDatabase db = gDB();
    const QString key = (scrollable ? u'S' : u'F') + sql;
    if (const auto found = kept().constFind(key); found != kept().constEnd())
        return *found;
    auto q = std::make_shared<QSqlQuery>(db);
    q->setForwardOnly(!scrollable);
    if (!q->prepare(sql)) {
        if (failed)
            *failed = std::move(q);
        return nullptr;
    }
    if (kept().size() >= kMostKept)
        kept().clear();
    // Let go of while the application ends, before its connections go: a
    // statement outliving its connection would keep the file from closing.
    static const bool letGoAtTheEnd = [] {
        qAddPostRoutine(ForgetKeptStatements);
        return true;
    }();
    Q_UNUSED(letGoAtTheEnd);
    kept().insert(key, q);
    return q;
}

} // namespace

std::shared_ptr<QSqlQuery> KeptStatement(const QString &sql, bool scrollable)
{
    return prepareKept(sql, scrollable, nullptr);
}

void ForgetKeptStatements()
{
    kept().clear();
    stale().clear();
    ++generation();
}

KeptQuery::KeptQuery(const QString &sql, bool scrollable)
{
    std::shared_ptr<QSqlQuery> failed;
    m_query = prepareKept(sql, scrollable, &failed);
    // Taken after: preparing may have opened a lost connection again.
    m_generation = generation();
    m_kept = m_prepared = m_query != nullptr;
    if (m_kept)
        return;
    // Not kept: the statement that failed, or (the records closed) one that
    // fails as any would.
    m_query = failed ? std::move(failed) : std::make_shared<QSqlQuery>(gDB());
}

KeptQuery::~KeptQuery()
{
    if (!m_kept)
        return;
    if (m_generation == generation())
        m_query->finish();
    else if (m_query.use_count() == 1)
        stale().append(m_query);
}
