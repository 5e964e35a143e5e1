// Building a document of 600 elements (300 input fields with frames, 150
// labels, 100 lines, 50 check boxes) against creating 600 bare widgets, both
// shown and painted once, side by side in one run.
#include "AppHome.h"

#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "templates/ui/BuildDocument.h"

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

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    AppHome home(true);
    home.home.writeIni(QStringLiteral("bench"), GeneratedTemplate());
    FHead &head = home.loadMainWindow();
    head.resize(1200, 1000);
    head.show();
    BuildDocument(QStringLiteral("bench")); // the first use makes the kind's table
    QCoreApplication::processEvents();

    const int runs = 15;
    std::vector<double> build, bare;
    for (int r = 0; r < runs; ++r) {
        DropDocument();
        QElapsedTimer t;
        t.start();
        BuildDocument(QStringLiteral("bench"));
        QCoreApplication::processEvents();
        build.push_back(t.nsecsElapsed() / 1e6);

        auto *parent = new QWidget;
        parent->resize(800, 1000);
        t.restart();
        for (int i = 0; i < 600; ++i) {
            auto *w = new QWidget(parent);
            w->setGeometry((i % 4) * 200, (i / 4) * 6, 130, 17);
        }
        parent->show();
        QCoreApplication::processEvents();
        bare.push_back(t.nsecsElapsed() / 1e6);
        delete parent;
    }
    const double b = Median(build), w = Median(bare);
    std::printf("build 600-element document: median %.2f ms (%d runs)\n", b, runs);
    std::printf("create 600 bare widgets:    median %.2f ms\n", w);
    std::printf("ratio: %.2f\n", b / w);
    DropDocument();
    return 0;
}
