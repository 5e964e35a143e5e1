// Reopening a saved A4 document (build + row + page image) against building
// the same document empty. Run with QT_QPA_PLATFORM=offscreen.
#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/PersistenceHooks.h"
#include "templates/ui/BuildDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString kKind = QStringLiteral("紹介状");

// 794 x 1123 px; 100 fields of the three data kinds and 10 check boxes.
QString a4Template()
{
    QStringList lines{QStringLiteral("[DATA]"), QStringLiteral("Width=11910"), QStringLiteral("Height=16845")};
    for (int i = 0; i < 100; ++i) {
        const int left = 300 + (i % 4) * 2800, top = 600 + (i / 4) * 600;
        lines << QStringLiteral("label_%1=%2|%3|800|255|0|項目%1|ＭＳ Ｐゴシック|9|0|%1|").arg(i).arg(left).arg(top);
        lines << QStringLiteral("lbItem_%1=%2|%3|1800|255|0||ＭＳ 明朝|10.5|0|%1|欄%1|%4|")
                     .arg(i).arg(left + 850).arg(top).arg(i % 3);
    }
    for (int i = 0; i < 10; ++i)
        lines << QStringLiteral("ImgCheck_%1=%2|16000|240|240|チェック%1|%3").arg(i).arg(300 + i * 600).arg(i % 2);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// A few strokes and a note, as a doctor draws on a body chart.
void drawTypical(QImage &surface)
{
    QPainter p(&surface);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 20, 20), 3));
    p.drawLine(60, 520, 700, 620);
    p.drawEllipse(420, 180, 180, 90);
    p.drawText(90, 700, QStringLiteral("圧痛あり"));
    for (int i = 0; i < 20; ++i)
        p.drawLine(100 + i * 10, 800, 150 + i * 12, 900);
}

// Pen, line and ellipse strokes as free editing draws them (no antialiasing).
void drawPen(QImage &surface)
{
    QPainter p(&surface);
    p.setPen(QPen(QColor(200, 20, 20), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(60, 520, 700, 620);
    p.drawEllipse(420, 180, 180, 90);
    p.setPen(QPen(QColor(0, 0, 255), 2));
    for (int i = 0; i < 20; ++i)
        p.drawLine(100 + i * 10, 800, 150 + i * 12, 900);
}

// The worst case: coloured lines over the whole page.
void drawDense(QImage &surface)
{
    QPainter p(&surface);
    p.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator rng(7);
    for (int i = 0; i < 300; ++i) {
        p.setPen(QPen(QColor::fromRgb(rng.generate() & 0xFFFFFF), 1 + rng.bounded(6)));
        p.drawLine(rng.bounded(794), rng.bounded(1123), rng.bounded(794), rng.bounded(1123));
    }
}

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    const double ms = t.nsecsElapsed() / 1e6;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppHome home;
    home.home.writeIni(kKind, a4Template());
    CurrentDrID = QStringLiteral("1");
    PatientID = QStringLiteral("12");
    InstallPersistenceHooks();
    home.loadMainWindow();

    for (int variant = 0; variant < 3; ++variant) {
        if (!BuildDocument(kKind) || !fm())
            return 1;
        FM &doc = *fm();
        for (int i = 0; i < doc.LbItem.size(); ++i)
            doc.LbItem[i]->setText(i % 3 == 0 ? QString::number(i * 7) : QStringLiteral("記載内容その%1").arg(i));
        if (variant == 0)
            drawPen(doc.surface());
        else if (variant == 1)
            drawTypical(doc.surface());
        else
            drawDense(doc.surface());
        if (!SaveWindowDocument(doc, 0, QStringLiteral("0")))
            return 1;
        const int id = doc.Lb登録番号->text().toInt();
        doc.更新チェック更新();

        // Interleaved so that both see the same machine load.
        QList<double> build, reopen;
        const int runs = 21;
        for (int i = 0; i < runs + 2; ++i) {
            const double b = timeMs([] {
                if (BuildDocument(kKind) && fm())
                    fm()->更新チェック更新();
            });
            const double r = timeMs([id] { ReopenSavedDocument(kKind, id); });
            if (i >= 2) { // warm-up
                build << b;
                reopen << r;
            }
        }
        if (fm()->LbItem[1]->text() != QStringLiteral("記載内容その1"))
            std::fprintf(stderr, "reopened document does not hold the saved values\n");

        const double b = median(build), r = median(reopen);
        std::printf("%s drawing:\n", variant == 0 ? "pen strokes"
                                        : variant == 1 ? "antialiased strokes and text"
                                                       : "dense");
        std::printf("  build empty document:   median %6.2f ms\n", b);
        std::printf("  reopen saved document:  median %6.2f ms  ratio %.2f (target <= 1.5)\n", r, r / b);
    }
    UnloadFM();
    return 0;
}
