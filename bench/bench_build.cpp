// Building a document of 600 elements (300 input fields with frames, 150
// labels, 100 lines, 50 check boxes) against creating 600 bare widgets, both
// shown and painted once, in interleaved rounds. Each clock covers the work
// and one pass of the event loop that paints it; whatever either leaves
// pending is drained outside both clocks.
// Run: QT_QPA_PLATFORM=offscreen build/bench_build [rounds]
#include "AppHome.h"
#include "BenchTiming.h"

#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "templates/ui/BuildDocument.h"
#include "ui/AppStyle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace {
QString GeneratedTemplate()
{
    QStringList lines{QStringLiteral("[DATA]"), QStringLiteral("Width=12000"), QStringLiteral("Height=15000")};
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("lbItem_%1=%2|%3|2000|255|0||ＭＳ 明朝|10.5|0|%1|欄%1|%4|")
                     .arg(i).arg(1000 + (i % 3) * 3000).arg(500 + (i / 3) * 140).arg(i % 3);
    for (int i = 0; i < 150; ++i)
        lines << QStringLiteral("label_%1=%2|%3|900|255|0|見出し%1|ＭＳ Ｐゴシック|9|0|%1|").arg(i).arg(100).arg(500 + i * 90);
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("LineG_%1=0|%2|12000|%2|0|1|1").arg(i).arg(400 + i * 140);
    for (int i = 0; i < 50; ++i)
        lines << QStringLiteral("ImgCheck_%1=10500|%2|240|240|チェック%1|%3").arg(i).arg(500 + i * 280).arg(i % 2);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void DropDocument()
{
    if (FM *doc = fm())
        doc->更新チェック更新();
    UnloadFM();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallAppStyle(); // as the program does
    AppHome home(true);
    home.home.writeIni(QStringLiteral("bench"), GeneratedTemplate());
    FHead &head = home.loadMainWindow();
    head.resize(1200, 1000);
    head.show();
    BuildDocument(QStringLiteral("bench")); // the first use makes the kind's table
    QCoreApplication::processEvents();

    Rounds rounds;
    rounds.add(
        QStringLiteral("build"),
        [] {
            BuildDocument(QStringLiteral("bench"));
            QCoreApplication::processEvents();
        },
        DropDocument);
    QWidget *parent = nullptr;
    rounds.add(
        QStringLiteral("bare"),
        [&parent] {
            parent = new QWidget;
            parent->resize(800, 1000);
            for (int i = 0; i < 600; ++i) {
                auto *w = new QWidget(parent);
                w->setGeometry((i % 4) * 200, (i / 4) * 6, 130, 17);
            }
            parent->show();
            QCoreApplication::processEvents();
        },
        [&parent] {
            delete parent;
            parent = nullptr;
        });
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 51;
    rounds.run(runs, 2);
    delete parent;
    std::printf("build a document of 600 elements (median of %d interleaved rounds):\n", runs);
    rounds.print("build, shown and painted", QStringLiteral("build"), "600 bare widgets shown and painted",
                 QStringLiteral("bare"), "target <= 2");
    DropDocument();
    return 0;
}
