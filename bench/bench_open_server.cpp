// Opening the records on the server at a workstation's start, with the
// access check of every document kind; a patient's history over every kind
// (also on a connection that has shown histories before); the 保存リスト of
// every kind; the check of a kind's table that every document built makes:
// with 200 kinds against the same with the sample kinds alone. Each opening
// connects anew, as a start does.
// Run: eval "$(tools/pg-test-env.sh start)"; build/bench_open_server [rounds]
#include "BenchData.h"
#include "BenchTiming.h"
#include "TestHome.h"

#include "persistence/History.h"
#include "persistence/SavedDocuments.h"
#include "storage/Database.h"
#include "templates/KindTable.h"
#include "templates/TemplateReader.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <cstdio>

namespace {

// The home's records opened and checked as Main() does at a start.
void openAndCheck(const TestHome &home, const QStringList &kinds)
{
    qputenv("RYDOL_DB", home.serverUrl().toUtf8());
    if (!OpenDB() || !DatabaseAccessProblem(kinds).isEmpty())
        std::fprintf(stderr, "the records could not be opened and checked\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!UseTestServer())
        return 1;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 11;
    TestHome few(true), many(true);
    const QStringList sampleKinds = TemplateKinds();
    QStringList manyKinds = sampleKinds;
    for (int i = 0; i < 200; ++i) {
        const QString kind = QStringLiteral("書類%1").arg(i);
        // As hospitals write their templates, every tenth kind keeps its
        // date in text fields.
        const QString date = i % 10 == 9 ? QStringLiteral("VARCHAR(255)") : QStringLiteral("INTEGER");
        QSqlQuery(gDB()).exec(QStringLiteral("CREATE TABLE \"%1\" (ID INTEGER NOT NULL PRIMARY KEY, DrID VARCHAR(50), "
                                             "患者番号 VARCHAR(50), 日付Y %2, 日付M %2, 日付D %2, 所見 TEXT, "
                                             "編集日 INTEGER, 終了判定 INTEGER)")
                                  .arg(kind, date));
        manyKinds << kind;
    }
    CloseDB();
    // One sample kind's table in both, made from its template as its first
    // document makes it.
    const QString kind = sampleKinds.value(0);
    const Template kindTemplate = ReadTemplate(kind);
    const QList<KindColumnSource> fields = KindColumnSources(kindTemplate);
    const QStringList checkTags = KindCheckTags(kindTemplate);
    for (const TestHome *home : {&few, &many}) {
        openAndCheck(*home, sampleKinds);
        CreateKindTable(kind, fields, checkTags);
        CloseDB();
    }

    Rounds rounds;
    rounds.add(QStringLiteral("sample"), [&] { openAndCheck(few, sampleKinds); }, CloseDB);
    rounds.add(QStringLiteral("many"), [&] { openAndCheck(many, manyKinds); }, CloseDB);
    const QString patient = QStringLiteral("1");
    rounds.add(
        QStringLiteral("history sample"), [&] { LoadPatientHistory(patient, sampleKinds); },
        [&] {
            CloseDB();
            openAndCheck(few, sampleKinds);
        });
    rounds.add(
        QStringLiteral("history many"), [&] { LoadPatientHistory(patient, manyKinds); },
        [&] {
            CloseDB();
            openAndCheck(many, manyKinds);
        });
    // The same at a workstation already at work: the same connection has
    // shown histories before (outside the clock).
    auto atWork = [&](const TestHome &home, const QStringList &kinds) {
        CloseDB();
        openAndCheck(home, kinds);
        for (int i = 0; i < 6; ++i)
            LoadPatientHistory(patient, kinds);
    };
    rounds.add(
        QStringLiteral("history sample at work"), [&] { LoadPatientHistory(patient, sampleKinds); },
        [&] { atWork(few, sampleKinds); });
    rounds.add(
        QStringLiteral("history many at work"), [&] { LoadPatientHistory(patient, manyKinds); },
        [&] { atWork(many, manyKinds); });
    const QList<StoredKind> sampleStored = [&] {
        CloseDB();
        openAndCheck(few, sampleKinds);
        return OneKindPerTable(sampleKinds);
    }();
    const QList<StoredKind> manyStored = [&] {
        CloseDB();
        openAndCheck(many, manyKinds);
        return OneKindPerTable(manyKinds);
    }();
    const QString doctor = QStringLiteral("1");
    rounds.add(
        QStringLiteral("list sample"), [&] { LoadSavedDocuments(sampleStored, doctor, 0); },
        [&] {
            CloseDB();
            openAndCheck(few, sampleKinds);
        });
    rounds.add(
        QStringLiteral("list many"), [&] { LoadSavedDocuments(manyStored, doctor, 0); },
        [&] {
            CloseDB();
            openAndCheck(many, manyKinds);
        });
    // What building a document asks of its kind's table (it is there, and has
    // a column for every field).
    auto checkTable = [&] {
        if (!KindTableExists(kind) || !ExtendKindTable(kind, fields, checkTags))
            std::fprintf(stderr, "the kind's table could not be checked\n");
    };
    rounds.add(QStringLiteral("table sample"), checkTable, [&] {
        CloseDB();
        openAndCheck(few, sampleKinds);
    });
    rounds.add(QStringLiteral("table many"), checkTable, [&] {
        CloseDB();
        openAndCheck(many, manyKinds);
    });
    rounds.run(runs, 2); // the first opens give the new tables their indexes
    CloseDB();
    std::printf("opening the records on the server, access check included (median of %d interleaved rounds):\n", runs);
    const QByteArray what = QStringLiteral("with %1 document kinds").arg(manyKinds.size()).toUtf8();
    const QByteArray floor = QStringLiteral("the same with the %1 sample kinds").arg(sampleKinds.size()).toUtf8();
    rounds.print(what.constData(), QStringLiteral("many"), floor.constData(), QStringLiteral("sample"),
                 "(one question to the server for all kinds, not one a kind)");
    std::printf("a patient's history over every kind:\n");
    rounds.print(what.constData(), QStringLiteral("history many"), floor.constData(), QStringLiteral("history sample"),
                 "(a statement for up to 100 kinds, not two a kind)");
    std::printf("the same at a workstation that has shown histories before on its connection:\n");
    rounds.print(what.constData(), QStringLiteral("history many at work"), floor.constData(),
                 QStringLiteral("history sample at work"), "(the joined statements kept prepared, planned once)");
    std::printf("the 保存リスト of every kind (a doctor's pending documents):\n");
    rounds.print(what.constData(), QStringLiteral("list many"), floor.constData(), QStringLiteral("list sample"),
                 "(a statement for up to 100 kinds whose dates are of one type, not three a kind)");
    std::printf("a kind's table checked as each document of it is built:\n");
    rounds.print(what.constData(), QStringLiteral("table many"), floor.constData(), QStringLiteral("table sample"),
                 "(asked by its name, not by listing every table)");
    return 0;
}
