// One simulated workstation for bench_workstations: saves documents of one
// kind through the program's own save path, 30 % of them new and the rest
// re-saves of documents it saved before, as fast as it can for a given time.
//
// Usage: rydol_workstation <seconds> <seed>   (DATA/ in RYDOL_HOME, the
// database in RYDOL_DB). Prints "ready" once the database is open and one
// document is saved (a workstation at work, its connection and statements
// warm: not counted), waits for a line on stdin, then saves; at the end prints
//   "done <saves> <failed>" and "ms <latency> <latency> ..." (one per save).
#include "app/AppState.h"
#include "persistence/SaveDocument.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 4;
    QRandomGenerator rng(argc > 2 ? quint32(atoi(argv[2])) : 1u);
    if (!OpenDB()) {
        std::fprintf(stderr, "workstation: %s\n", qPrintable(DatabaseOpenError()));
        return 2;
    }
    CurrentDrID = QString::number(rng.bounded(1, 20));
    PatientID = QString::number(rng.bounded(1, 1000));
    // A page with some writing on it, as most saved pages are.
    QImage page(800, 1130, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        p.setPen(QPen(Qt::black, 2));
        for (int i = 0; i < 30; ++i)
            p.drawLine(40, 60 + i * 35, 760, 60 + i * 35);
    }
    auto newDocument = [&] {
        DocumentData doc;
        doc.kind = QStringLiteral("紹介状");
        doc.surface = page;
        for (int f = 0; f < 20; ++f)
            doc.fields.append({QStringLiteral("欄%1").arg(f), QStringLiteral("1"), QStringLiteral("所見")});
        return doc;
    };
    QList<DocumentData> mine{newDocument()};
    if (!SaveDocument(mine.first(), QStringLiteral("0")))
        mine.clear();
    QList<double> latencies;
    int failed = 0;
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        const bool fresh = mine.isEmpty() || rng.bounded(100) < 30;
        DocumentData doc;
        if (fresh)
            doc = newDocument();
        else
            doc = mine[int(rng.bounded(int(mine.size())))];
        for (FieldValue &f : doc.fields)
            f.text = QStringLiteral("所見 %1").arg(rng.bounded(1000000));
        QElapsedTimer one;
        one.start();
        const bool saved = SaveDocument(doc, QStringLiteral("0"));
        latencies.append(one.nsecsElapsed() / 1e6);
        if (!saved) {
            ++failed;
            continue;
        }
        if (fresh)
            mine.append(doc);
        else
            for (DocumentData &m : mine)
                if (m.number == doc.number)
                    m.version = doc.version;
    }
    std::printf("done %d %d\nms", int(latencies.size()), failed);
    for (const double ms : latencies)
        std::printf(" %.2f", ms);
    std::printf("\n");
    return 0;
}
