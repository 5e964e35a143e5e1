// The patient search over 100,000 patients: the folded search against the
// plain LIKE scan of the kana column it replaces (no folding at all).
// Run with QT_QPA_PLATFORM=offscreen.
#include "TestHome.h"

#include "patients/PatientStore.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times << t.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

const char16_t *const kFamily[] = {u"ヤマダ", u"サトウ", u"スズキ", u"タカハシ", u"タナカ",
                                   u"イトウ", u"ワタナベ", u"ナカムラ", u"コバヤシ", u"カトウ"};
const char16_t *const kGiven[] = {u"タロウ", u"ハナコ", u"イチロウ", u"ユウコ", u"ケンジ",
                                  u"アキコ", u"マコト", u"ヨシコ", u"ヒロシ", u"ミチコ"};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestHome home;
    const int patients = 100000;
    {
        QSqlDatabase db = gDB();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Kanja_Data (ID, Name, Kana, Sex, Birth) VALUES (?, ?, ?, ?, ?)"));
        for (int i = 1; i <= patients; ++i) {
            insert.addBindValue(QString::number(i));
            insert.addBindValue(QStringLiteral("患者%1").arg(i));
            // Unique enough that a search returns a handful of rows, as a real one does.
            insert.addBindValue(QString::fromUtf16(kFamily[i % 10]) + QChar(u' ') + QString::fromUtf16(kGiven[i / 10 % 10])
                                + QString::number(i));
            insert.addBindValue(1 + i % 2);
            insert.addBindValue(19500101 + i % 50 * 10000);
            insert.exec();
        }
        db.commit();
    }
    QElapsedTimer sync;
    sync.start();
    SyncPatientSearchKeys();
    std::printf("search keys for %d patients made in %.0f ms (once)\n", patients, sync.nsecsElapsed() / 1e6);

    // The parts of one search, for the record.
    FindPatientsByKana(QStringLiteral("x"));
    std::printf("  count check %.1f ms, key check when in step %.1f ms\n", medianMs(9, [] {
                    QSqlQuery q(gDB());
                    q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM Kanja_Data), (SELECT COUNT(*) FROM Kanja_Search)"));
                    q.next();
                }),
                medianMs(3, [] { SyncPatientSearchKeys(); }));
    const int rounds = 21;
    QList<double> folded, plain;
    for (int r = 0; r < rounds; ++r) {
        folded << medianMs(1, [] { FindPatientsByKana(QStringLiteral("やまだ たろう9999")); });
        plain << medianMs(1, [] {
            QSqlQuery q(gDB());
            q.prepare(QStringLiteral("SELECT * FROM Kanja_Data WHERE Kana LIKE ? ESCAPE '\\' ORDER BY ID"));
            q.addBindValue(QStringLiteral("%ヤマダ タロウ9999%"));
            q.exec();
            while (q.next()) {
            }
        });
    }
    std::sort(folded.begin(), folded.end());
    std::sort(plain.begin(), plain.end());
    const double f = folded[rounds / 2], p = plain[rounds / 2];
    std::printf("search, %d patients: folded %.1f ms, plain LIKE scan %.1f ms, ratio %.2f (target < 20 ms)\n",
                patients, f, p, f / p);
    return f < 20.0 ? 0 : 1;
}
