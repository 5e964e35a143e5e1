#pragma once
// Stored documents in bulk for the benchmarks.
#include "storage/Database.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdio>

// For the benchmarks that need the private test server: false, saying so,
// when none runs; otherwise every TestHome is made on it.
inline bool UseTestServer()
{
    if (qEnvironmentVariableIsEmpty("RYDOL_TEST_PG")) {
        std::fprintf(stderr, "no server: eval \"$(tools/pg-test-env.sh start)\" first\n");
        return false;
    }
    qputenv("RYDOL_TEST_STORE", "server");
    return true;
}

// n rows numbered first, first + 1, ... added to a kind's table, generated
// inside the database: every column filled (number columns with numbers, text
// and memo columns with text), doctor "1", patients 100001 to 110000, pending,
// document dates and edit dates spread over ten years.
inline void FillKindTable(const QString &kind, int first, int n)
{
    QSqlQuery info(gDB());
    info.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    info.addBindValue(kind);
    info.exec();
    QStringList names, values;
    while (info.next()) {
        const QString name = info.value(0).toString();
        const bool number = info.value(1).toString().startsWith(QStringLiteral("INT"), Qt::CaseInsensitive);
        names << QuoteIdent(name);
        if (name == QStringLiteral("ID"))
            values << QStringLiteral("i");
        else if (name == QStringLiteral("DrID"))
            values << QStringLiteral("'1'");
        else if (name == QStringLiteral("患者番号"))
            values << QStringLiteral("CAST(100001 + i % 10000 AS TEXT)");
        else if (name == QStringLiteral("日付Y"))
            values << QStringLiteral("2000 + i % 10");
        else if (name == QStringLiteral("日付M"))
            values << QStringLiteral("1 + i % 12");
        else if (name == QStringLiteral("日付D"))
            values << QStringLiteral("1 + i % 28");
        else if (name == QStringLiteral("編集日"))
            values << QStringLiteral("20000101 + (i % 10) * 10000 + (i % 12) * 100 + i % 28");
        else if (name == QStringLiteral("終了判定"))
            values << QStringLiteral("0");
        else if (number)
            values << QStringLiteral("i % 1000");
        else
            values << QStringLiteral("'記載内容その' || i");
    }
    BeginTrans();
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT ? UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                             "INSERT INTO %1 (%2) SELECT %3 FROM n")
                  .arg(QuoteIdent(kind), names.join(u','), values.join(u',')));
    q.addBindValue(first);
    q.addBindValue(first + n - 1);
    if (!q.exec())
        std::fprintf(stderr, "could not fill %s\n", qPrintable(kind));
    CommitTrans();
}
