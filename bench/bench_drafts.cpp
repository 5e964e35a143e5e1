// What a draft costs the GUI thread: an A4 document of 600 elements (300
// fixed texts, 300 filled fields) with a drawing over the whole page. A look
// that finds nothing new is the floor; times are the GUI thread's CPU time; a draft after a typed field and after
// a pen stroke is the operation (the copy of the window on the GUI thread,
// plus the page copy the next stroke pays while the worker still encodes the
// old page). The worker's time is shown beside it.
// Run with QT_QPA_PLATFORM=offscreen.
#include "AppHome.h"
#include "BenchTiming.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "persistence/ui/DraftKeeper.h"
#include "persistence/ui/PersistenceHooks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString kKind = QStringLiteral("紹介状");

QString a4Template()
{
    QStringList lines{QStringLiteral("[DATA]"), QStringLiteral("Width=11910"), QStringLiteral("Height=16845")};
    for (int i = 0; i < 300; ++i) {
        const int left = 300 + (i % 4) * 2800, top = 300 + (i / 4) * 210;
        lines << QStringLiteral("label_%1=%2|%3|800|200|0|項目%1|ＭＳ Ｐゴシック|8|0|%1|").arg(i).arg(left).arg(top);
        lines << QStringLiteral("lbItem_%1=%2|%3|1800|200|0||ＭＳ 明朝|8|0|%1|欄%1|%4|")
                     .arg(i).arg(left + 850).arg(top).arg(1 + i % 2);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// Coloured strokes over the whole page.
void drawDense(QImage &surface)
{
    QPainter p(&surface);
    QRandomGenerator rng(7);
    for (int i = 0; i < 400; ++i) {
        p.setPen(QPen(QColor::fromRgb(rng.generate() & 0xFFFFFF), 1 + rng.bounded(6)));
        p.drawLine(rng.bounded(794), rng.bounded(1123), rng.bounded(794), rng.bounded(1123));
    }
}

double g_lastWallMs = 0;

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    // The GUI thread's own time, not the worker's.
    const double cpu = ThreadCpuMs();
    work();
    g_lastWallMs = t.nsecsElapsed() / 1e6;
    return ThreadCpuMs() - cpu;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
    AppHome home;
    home.home.writeIni(kKind, a4Template());
    CurrentDrID = QStringLiteral("1");
    PatientID = QStringLiteral("12");
    InstallPersistenceHooks();
    home.loadMainWindow(true);
    FM *doc = home.build(kKind);
    if (!doc || doc->LbItem.size() + doc->Label.size() < 600)
        return 1;
    for (int i = 0; i < doc->LbItem.size(); ++i)
        doc->LbItem[i]->setText(QStringLiteral("記載内容その%1").arg(i));
    drawDense(doc->surface());
    doc->DocumentChanged = true;
    if (FHead *head = fhead())
        head->SelectTool(1);
    DraftKeeper &keeper = DraftKeeper::shared();
    keeper.tick();
    keeper.waitForWrite();

    auto stroke = [doc](int i) {
        const double y = 300 + (i % 200) * 80;
        doc->Form_MouseDown(Qt::LeftButton, {}, 300, y);
        doc->Form_MouseMove(Qt::LeftButton, {}, 11000, y);
        doc->Form_MouseUp(Qt::LeftButton, {}, 11000, y);
    };

    QList<double> drawnWall, floor, typed, typedWorker, drawn, drawnWorker, strokeAlone, strokeAfterDraft;
    const int runs = 41;
    for (int i = 0; i < runs + 3; ++i) {
        const double f = timeMs([&] { keeper.tick(); });
        doc->LbItem[i % 300]->setText(QStringLiteral("書き直し%1").arg(i));
        const double t = timeMs([&] { keeper.tick(); });
        timeMs([&] { keeper.waitForWrite(); });
        const double tw = g_lastWallMs;
        const double s0 = timeMs([&] { stroke(i); });
        const double d = timeMs([&] { keeper.tick(); });
        const double dWall = g_lastWallMs;
        // The worker holds the page: this stroke pays for a copy of it.
        const double s1 = timeMs([&] { stroke(i + 1); });
        timeMs([&] { keeper.waitForWrite(); });
        const double dw = g_lastWallMs;
        keeper.tick();
        keeper.waitForWrite();
        if (i >= 3) {
            floor << f;
            typed << t;
            typedWorker << tw;
            strokeAlone << s0;
            drawn << d;
            drawnWall << dWall;
            strokeAfterDraft << s1;
            drawnWorker << dw;
        }
    }
    const double extra = std::max(0.0, Median(strokeAfterDraft) - Median(strokeAlone));
    std::printf("600 elements, page %dx%d px, %d drafts written\n", doc->surface().width(), doc->surface().height(),
                keeper.writesDone());
    std::printf("  look, nothing new (floor):       median %6.3f ms\n", Median(floor));
    std::printf("  draft after typing, GUI thread:  median %6.3f ms  (worker, wall %.1f ms)\n", Median(typed), Median(typedWorker));
    std::printf("  draft after a stroke, GUI thread: median %6.3f ms  (worker, wall %.1f ms)\n", Median(drawn), Median(drawnWorker));
    std::printf("  (wall clock of that draft, other load included: median %.3f ms)\n", Median(drawnWall));
    std::printf("  next stroke: %.3f ms, without a draft in flight %.3f ms: page copy %.3f ms\n",
                Median(strokeAfterDraft), Median(strokeAlone), extra);
    std::printf("  GUI thread per draft, worst: %.3f ms (target <= 5)\n", std::max(Median(typed), Median(drawn) + extra));
    doc->更新チェック更新();
    keeper.discard();
    UnloadFM();
    return 0;
}
