// Reads a 600-element template (300 input fields, 150 labels, 100 lines,
// 50 check boxes) repeatedly and prints the median time of one read.
#include "TestHome.h"

#include "templates/TemplateReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestHome home(false, false);
    QString ini = QStringLiteral("[DATA]\r\nWidth=11900\r\nHeight=33680\r\n");
    for (int i = 0; i < 300; ++i)
        ini += QStringLiteral("lbItem_%1=%2|%3|2000|300|0||ＭＳ Ｐ明朝|10.5|0|%1|欄%1|1|\r\n")
                   .arg(i).arg(900 + (i % 4) * 2500).arg(600 + (i / 4) * 400);
    for (int i = 0; i < 150; ++i)
        ini += QStringLiteral("label_%1=%2|%3|2000|300|0|見出し%1|ＭＳ 明朝|10.5|0|%1|\r\n")
                   .arg(i).arg(900 + (i % 4) * 2500).arg(31000 + (i / 4) * 60);
    for (int i = 0; i < 100; ++i)
        ini += QStringLiteral("LineG_%1=900|%2|11000|%2|0|1|1\r\n").arg(i).arg(580 + i * 300);
    for (int i = 0; i < 50; ++i)
        ini += QStringLiteral("ImgCheck_%1=%2|32000|300|300|確認%1|0\r\n").arg(i).arg(200 + i * 330);
    home.writeIni(QStringLiteral("大きな書式"), ini);

    std::vector<qint64> times;
    std::vector<double> cpuTimes;
    int elements = 0;
    for (int run = 0; run < 101; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        const Template t = ReadTemplate(QStringLiteral("大きな書式"));
        cpuTimes.push_back(double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC);
        times.push_back(timer.nsecsElapsed());
        elements = int(t.items.size() + t.labels.size() + t.lines.size() + t.checks.size());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    // The processor time tells more than the wall clock on a busy machine.
    QTextStream(stdout) << "ReadTemplate, " << elements << " elements: median "
                        << double(times[times.size() / 2]) / 1e6 << " ms wall, "
                        << cpuTimes[cpuTimes.size() / 2] << " ms processor\n";
    return elements == 600 ? 0 : 1;
}
