// Many workstations saving documents of one kind on one PostgreSQL server at
// once, as separate processes (rydol_workstation): 30 % new documents, 70 %
// re-saves. For 1, 10, 25 and 50 workstations, each for a few seconds: the
// saves per second, the latency percentiles of one save, and the share of the
// sampled server backends that were waiting for a lock
// (pg_stat_activity.wait_event_type = 'Lock'). The floor of the throughput is
// the throughput at 10 workstations: more workstations must not save less.
// Run: eval "$(tools/pg-test-env.sh start)"; build/bench_workstations [seconds per run] [rounds]
#include "BenchData.h"
#include "TestHome.h"

#include "storage/Database.h"
#include "templates/KindTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace {

// What the runs of one number of workstations added up to.
struct Result
{
    double perSecond = 0, p50 = 0, p95 = 0, p99 = 0, lockShare = 0;
    int saves = 0, failed = 0, samples = 0, waiting = 0, runs = 0;
    double seconds = 0;
    QList<double> latencies;
    QMap<QString, int> lockWaits; // samples waiting for a lock, by wait_event
    double cpuBusy = 0;           // share of the machine's CPU time in use, summed over the runs
};

// The machine's CPU time so far, busy and in all (/proc/stat, in ticks).
std::pair<qint64, qint64> cpuTicks()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QList<QByteArray> words = stat.readLine().simplified().split(' ');
    qint64 all = 0;
    for (qsizetype i = 1; i < words.size(); ++i)
        all += words[i].toLongLong();
    const qint64 idle = words.value(4).toLongLong() + words.value(5).toLongLong(); // idle, iowait
    return {all - idle, all};
}

// "advisory 40.1 %, transactionid 2.0 %": which locks the waiting backends waited for.
QString lockKinds(const Result &r)
{
    QStringList parts;
    for (auto it = r.lockWaits.cbegin(); it != r.lockWaits.cend(); ++it)
        parts << QStringLiteral("%1 %2 %").arg(it.key()).arg(100.0 * it.value() / r.samples, 0, 'f', 1);
    return parts.join(QStringLiteral(", "));
}

double percentile(const QList<double> &sorted, double p)
{
    return sorted.isEmpty() ? 0 : sorted[std::min<qsizetype>(sorted.size() - 1, qsizetype(sorted.size() * p))];
}

void runWorkstations(const TestHome &home, QSqlDatabase &sampler, int n, int seconds, Result &r)
{
    std::vector<std::unique_ptr<QProcess>> ws;
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(RYDOL_WORKSTATION), {QString::number(seconds), QString::number(n * 1000 + i)});
        ws.push_back(std::move(p));
    }
    for (auto &p : ws)
        while (p->state() != QProcess::NotRunning && !p->canReadLine())
            p->waitForReadyRead(1000);
    for (auto &p : ws) {
        p->readLine();
        p->write("go\n");
        p->waitForBytesWritten();
    }
    QSqlQuery q(sampler);
    QElapsedTimer clock;
    clock.start();
    const auto cpuBefore = cpuTicks();
    while (clock.elapsed() < seconds * 1000) {
        if (q.exec(QStringLiteral("SELECT wait_event_type = 'Lock', wait_event FROM pg_stat_activity WHERE datname = current_database() "
                                  "AND pid <> pg_backend_pid() AND backend_type = 'client backend' AND state <> 'idle'")))
            while (q.next()) {
                ++r.samples;
                if (q.value(0).toBool()) {
                    ++r.waiting;
                    ++r.lockWaits[q.value(1).toString()];
                }
            }
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    const auto cpuAfter = cpuTicks();
    if (cpuAfter.second > cpuBefore.second)
        r.cpuBusy += 100.0 * (cpuAfter.first - cpuBefore.first) / (cpuAfter.second - cpuBefore.second);
    for (auto &p : ws) {
        p->waitForFinished(60000);
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.value(0) == "done") {
                r.saves += words.value(1).toInt();
                r.failed += words.value(2).toInt();
            } else if (words.value(0) == "ms") {
                for (qsizetype i = 1; i < words.size(); ++i)
                    r.latencies.append(words[i].toDouble());
            }
        }
    }
    r.seconds += seconds;
    ++r.runs;
}

void finish(Result &r)
{
    std::sort(r.latencies.begin(), r.latencies.end());
    r.perSecond = r.seconds > 0 ? (r.saves - r.failed) / r.seconds : 0;
    r.p50 = percentile(r.latencies, 0.50);
    r.p95 = percentile(r.latencies, 0.95);
    r.p99 = percentile(r.latencies, 0.99);
    r.lockShare = r.samples ? 100.0 * r.waiting / r.samples : 0;
    r.cpuBusy = r.runs ? r.cpuBusy / r.runs : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!UseTestServer())
        return 1;
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 4;
    TestHome home;
    QList<KindColumnSource> fields;
    for (int f = 0; f < 20; ++f)
        fields.append({QStringLiteral("欄%1").arg(f), QStringLiteral("1")});
    if (!CreateKindTable(QStringLiteral("紹介状"), fields, {}))
        return 1;
    CloseDB();

    QSqlDatabase sampler = home.otherConnection(QStringLiteral("sampler"));
    if (!sampler.isOpen())
        return 1;

    // The numbers of workstations take turns, forwards and backwards, so that
    // a server warming up or filling up weighs on all of them alike.
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 2;
    const QList<int> counts{1, 10, 25, 50};
    QMap<int, Result> results;
    for (int round = 0; round < rounds; ++round)
        for (int i = 0; i < counts.size(); ++i) {
            const int n = counts[round % 2 ? counts.size() - 1 - i : i];
            runWorkstations(home, sampler, n, seconds, results[n]);
        }
    std::printf("workstations saving at once, %d s each, %d interleaved rounds (30 %% new, 70 %% re-saves; "
                "each workstation saved once before its clock):\n", seconds, rounds);
    for (const int n : counts) {
        Result &r = results[n];
        finish(r);
        std::printf("  %2d: %6.1f saves/s (%d failed), p50 %.0f ms, p95 %.0f ms, p99 %.0f ms, "
                    "waiting for a lock in %.1f %% of %d backend samples (target < 10 %%)%s; CPU busy %.0f %%\n",
                    n, r.perSecond, r.failed, r.p50, r.p95, r.p99, r.lockShare, r.samples,
                    r.lockWaits.isEmpty() ? "" : qPrintable(QStringLiteral(": ") + lockKinds(r)), r.cpuBusy);
    }
    const double atTen = results[10].perSecond, atFifty = results[50].perSecond;
    std::printf("throughput at 50 / at 10 workstations: %.2f (floor: the throughput at 10 workstations; "
                "target >= 1)\n", atTen > 0 ? atFifty / atTen : 0);
    sampler.close();
    return 0;
}
