// Kills a process that saves, re-saves and deletes documents at random
// moments, over and over, and after each kill starts the program's storage
// again and checks every document: its row and its page image are of one
// version, deleted documents have neither, nothing temporary is left, and no
// step the process had finished is lost; every kept version is whole and
// the newest one is the document as it stands.
#include "SavedVersions.h"
#include "TestHome.h"

#include "persistence/DocumentImage.h"
#include "persistence/VerifyStore.h"
#include "storage/Database.h"
#include "templates/KindTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

namespace {

const QString kKind = QStringLiteral("経過記録");

struct Step
{
    char what = 0; // 'n' new, 'r' re-save, 'd' delete
    int id = 0;
    int version = 0;
};

// What the killed process had done: steps finished, and the one under way.
struct Outcome
{
    QList<Step> finished; // 'S' as 'r' with the id, 'D' as 'd'
    std::optional<Step> underWay;
    int resaves = 0; // finished re-saves of stored documents
    bool ready = false;
};

Outcome parse(const QByteArray &output)
{
    Outcome outcome;
    // A line cut by the kill is not complete and does not count.
    const QList<QByteArray> lines = output.left(output.lastIndexOf('\n') + 1).split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> w = line.split(' ');
        if (line == "ready") {
            outcome.ready = true;
        } else if (w[0] == "n" && w.size() == 2) {
            outcome.underWay = Step{'n', 0, w[1].toInt()};
        } else if (w[0] == "r" && w.size() == 3) {
            outcome.underWay = Step{'r', w[1].toInt(), w[2].toInt()};
        } else if (w[0] == "d" && w.size() == 2) {
            outcome.underWay = Step{'d', w[1].toInt(), 0};
        } else if (w[0] == "S" && w.size() == 3) {
            outcome.finished << Step{'r', w[1].toInt(), w[2].toInt()};
            if (outcome.underWay && outcome.underWay->what == 'r')
                ++outcome.resaves;
            outcome.underWay.reset();
        } else if (w[0] == "D" && w.size() == 2) {
            outcome.finished << Step{'d', w[1].toInt(), 0};
            outcome.underWay.reset();
        }
    }
    return outcome;
}

// The rows after the kill against the rows before it and the steps the
// process finished or had under way.
QString nothingLost(QMap<int, int> expected, const Outcome &outcome, const QMap<int, int> &rows)
{
    for (const Step &s : outcome.finished) {
        if (s.what == 'd')
            expected.remove(s.id);
        else
            expected.insert(s.id, s.version);
    }
    const std::optional<Step> open = outcome.underWay;
    bool newSeen = false;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        const int id = it.key();
        if (expected.contains(id) && expected[id] == it.value())
            continue;
        if (open && open->what == 'r' && open->id == id && open->version == it.value())
            continue;
        if (open && open->what == 'n' && !expected.contains(id) && open->version == it.value() && !newSeen) {
            newSeen = true;
            continue;
        }
        return QStringLiteral("document %1 holds version %2, expected %3")
            .arg(id)
            .arg(it.value())
            .arg(expected.value(id, -1));
    }
    for (auto it = expected.begin(); it != expected.end(); ++it)
        if (!rows.contains(it.key()) && !(open && open->what == 'd' && open->id == it.key()))
            return QStringLiteral("document %1 is lost").arg(it.key());
    return QString();
}

} // namespace

class TestSaveKills : public QObject
{
    Q_OBJECT

private slots:
    void everyDocumentWholeAfterEachKill();
};

void TestSaveKills::everyDocumentWholeAfterEachKill()
{
    // kill -9 leaves the page cache as it was, so what the disk makes durable
    // plays no part here; a memory file system keeps a thousand rounds short.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("版"), QStringLiteral("0")}, {QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    QVERIFY(QDir().mkpath(DocumentImageFolder(kKind)));
    CloseDB();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
    QRandomGenerator rng(20261208);
    QMap<int, int> before;
    int finishedSteps = 0;
    int resaves = 0;
    qint64 sleptMicros = 5000;
    QElapsedTimer clock;
    clock.start();
    const int kills = 1000;
    for (int round = 0; round < kills; ++round) {
        QProcess saver;
        saver.setProcessEnvironment(env);
        saver.setProgram(QStringLiteral(RYDOL_SAVE_LOOP));
        saver.setArguments({QString::number(round + 1)});
        saver.start();
        QVERIFY2(saver.waitForStarted(10000), qPrintable(saver.errorString()));
        QByteArray output;
        while (!output.contains("ready\n") && saver.state() == QProcess::Running) {
            saver.waitForReadyRead(10000);
            output += saver.readAllStandardOutput();
        }
        QVERIFY2(output.contains("ready\n"), qPrintable(QStringLiteral("round %1: the saver did not start").arg(round)));
        // Anywhere in the first two steps or so, by the time steps have
        // taken so far (machines and their load differ).
        const qint64 stepMicros = std::clamp<qint64>(sleptMicros / (finishedSteps + 1), 200, 100000);
        const qint64 sleep = rng.bounded(2 * stepMicros + 1);
        QThread::usleep(sleep);
        sleptMicros += sleep;
        saver.kill();
        saver.waitForFinished(10000);
        output += saver.readAllStandardOutput();
        const Outcome outcome = parse(output);
        finishedSteps += int(outcome.finished.size());
        resaves += outcome.resaves;

        // The next start.
        QVERIFY2(OpenDB(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(DatabaseOpenError())));
        const QMap<int, int> rows = StoredVersions(kKind);
        const QString whole = WholeDocuments(kKind, rows);
        QVERIFY2(whole.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(whole)));
        const QString lost = nothingLost(before, outcome, rows);
        QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(lost)));
        QSqlQuery journal(gDB());
        QVERIFY(journal.exec(QStringLiteral("SELECT COUNT(*) FROM FileJournal")) && journal.next());
        QCOMPARE(journal.value(0).toInt(), 0);
        const StoreCheck check = VerifyStore();
        QVERIFY2(check.intact(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(check.report().join(u'\n'))));
        before = rows;
        CloseDB();
    }
    // The kills must have landed among real work, not before it.
    QVERIFY2(finishedSteps > kills / 2, qPrintable(QString::number(finishedSteps)));
    QVERIFY2(resaves > kills / 10, qPrintable(QString::number(resaves)));
    qInfo("%d kills, %d finished steps (%d re-saves), %lld ms", kills, finishedSteps, resaves, qint64(clock.elapsed()));
}

QTEST_GUILESS_MAIN(TestSaveKills)
#include "test_save_kills.moc"
