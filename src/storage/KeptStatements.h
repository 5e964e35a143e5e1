#pragma once
#include <QString>

#include <memory>

class QSqlQuery;

// Statements a workstation puts again and again with other values (a save's
// journal, version and 操作履歴 rows; a patient's history over every kind),
// prepared once on the open connection and kept: the server parses and plans
// each once instead of at every call, and a call is one round trip instead of
// three (prepare, run, release). They are forgotten when the records close
// and when a lost connection is opened again.

// The statement, prepared on first use; nullptr when it cannot be prepared.
// The caller binds by position, runs and reads it, and finishes it
// (QSqlQuery::finish) before anything else is asked of the database.
// Forward-only unless scrollable: a server then sends the rows one by one,
// and tells how many rows a statement changed only once they are read.
std::shared_ptr<QSqlQuery> KeptStatement(const QString &sql, bool scrollable = false);
void ForgetKeptStatements();

// A kept statement for one use, finished when the use ends. Where it cannot
// be prepared it is the statement that failed, so that the caller sees the
// failure as before. Only for statements whose columns do not change
// with the tables' (not SELECT *: a server keeps the columns it planned),
// and not for a statement run again while its rows are still being read.
class KeptQuery
{
public:
    explicit KeptQuery(const QString &sql, bool scrollable = false);
    ~KeptQuery();
    KeptQuery(const KeptQuery &) = delete;
    KeptQuery &operator=(const KeptQuery &) = delete;

    bool prepared() const { return m_prepared; }
    QSqlQuery &operator*() const { return *m_query; }
    QSqlQuery *operator->() const { return m_query.get(); }

private:
    std::shared_ptr<QSqlQuery> m_query;
    int m_generation = 0;
    bool m_kept = false;
    bool m_prepared = false;
};
