// The patient search over 100,000 patients: a search with one hit, one with
// 5 % of the patients (やまだ) and one with none, each beside its floor, the
// plain LIKE over the kana column returning the same columns of the same
// patients without any folding. Run with QT_QPA_PLATFORM=offscreen.
#include "BenchTiming.h"
#include "TestHome.h"

#include "patients/PatientStore.h"
#include "storage/Database.h"

#include <QSqlQuery>

namespace {

const char16_t *const kFamily[] = {u"ヤマダ", u"サトウ", u"スズキ", u"タカハシ", u"タナカ", u"イトウ", u"ワタナベ",
                                   u"ナカムラ", u"コバヤシ", u"カトウ", u"ヨシダ", u"ヤマモト", u"ササキ", u"マツモト",
                                   u"イノウエ", u"キムラ", u"ハヤシ", u"シミズ", u"モリ", u"イケダ"};
const char16_t *const kGiven[] = {u"タロウ", u"ハナコ", u"イチロウ", u"ユウコ", u"ケンジ",
                                  u"アキコ", u"マコト", u"ヨシコ", u"ヒロシ", u"ミチコ"};

int PlainLike(const QString &kana)
{
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ID, Name, Birth, Sex FROM Kanja_Data WHERE Kana LIKE ? ESCAPE '\\' ORDER BY ID"));
    q.addBindValue(QChar(u'%') + EscapeLike(kana) + QChar(u'%'));
    q.exec();
    int n = 0;
    while (q.next())
        ++n;
    return n;
}

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
            insert.addBindValue(QString::fromUtf16(kFamily[i % 20]) + QChar(u' ') + QString::fromUtf16(kGiven[i / 20 % 10])
                                + QString::number(i));
            insert.addBindValue(1 + i % 2);
            insert.addBindValue(19500101 + i % 50 * 10000);
            insert.exec();
        }
        db.commit();
    }
    // Written straight into the table, as another program or an earlier
    // version would: the database left every key empty, and they are folded
    // once, as the first start after an upgrade or an import does.
    QElapsedTimer once;
    once.start();
    SyncPatientSearchKeys();
    std::printf("keys of %d patients written without them folded once in %.0f ms (first start after an upgrade "
                "or import; later starts and searches fold only keys left empty since)\n",
                patients, once.nsecsElapsed() / 1e6);

    struct Case { const char *what; QString text, kana; int hits = 0; };
    QList<Case> cases = {{"one hit", QStringLiteral("やまだ たろう20000"), QStringLiteral("ヤマダ タロウ20000")},
                         {"5 % hits", QStringLiteral("やまだ"), QStringLiteral("ヤマダ")},
                         {"no hit", QStringLiteral("みょうじ"), QStringLiteral("ミョウジ")}};
    Rounds rounds;
    rounds.add(QStringLiteral("keys in step"), [] { SyncPatientSearchKeys(); });
    for (Case &c : cases) {
        rounds.add(QString::fromUtf8(c.what), [&c] { c.hits = int(FindPatientsByKana(c.text)->size()); });
        rounds.add(QString::fromUtf8(c.what) + QStringLiteral(" floor"), [&c] { PlainLike(c.kana); });
    }
    rounds.run(21);
    std::printf("search over %d patients, 21 interleaved rounds (medians; cpu = process CPU time):\n", patients);
    std::printf("  checking for empty keys, part of every search: %.2f ms (cpu %.2f)\n",
                rounds.median(QStringLiteral("keys in step")), rounds.cpu(QStringLiteral("keys in step")));
    for (const Case &c : cases) {
        const QString name = QString::fromUtf8(c.what);
        const QByteArray what = QStringLiteral("%1, %2 (%3 patients)").arg(name, c.text).arg(c.hits).toUtf8();
        rounds.print(what.constData(), name, "plain LIKE '%kana%' on Kanja_Data.Kana, same columns and order, no folding",
                     name + QStringLiteral(" floor"), "(target: cpu <= 1.2 and under 30 ms)");
    }
    return 0;
}
