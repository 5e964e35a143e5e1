// Reopening a saved document, for a generated document of 600 elements and for
// the two-page sample 入院診療計画書, against its pieces timed one by one:
// building the same document, decoding its page image and reading its row;
// beside it, the same against the document built with its values already in
// memory, which shows how much of a reopen is painting what was saved.
// Also reopening from a kind table holding 100,000 full rows against the same
// from a table holding only that document. Each clock covers the work and one
// pass of the event loop that paints it; what is left pending is drained
// outside the clocks.
// Run: QT_QPA_PLATFORM=offscreen build/bench_reopen [stored rows, default 100000] [rounds]
#include "AppHome.h"
#include "BenchData.h"
#include "BenchTiming.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "persistence/DocumentImage.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/PersistenceHooks.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"
#include "ui/AppStyle.h"

#include <QApplication>
#include <QFile>
#include <QPainter>

namespace {

// 300 input fields of the three data kinds with their frames, 150 labels,
// 100 lines and 50 check boxes.
QString template600()
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

// Pen, line and ellipse strokes as free editing draws them.
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

void dropDocument()
{
    if (FM *doc = fm())
        doc->更新チェック更新();
    UnloadFM();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Builds a document of the kind, fills every field, draws on it and saves it.
int saveFilled(const QString &kind)
{
    if (!BuildDocument(kind) || !fm())
        return 0;
    FM &doc = *fm();
    for (int i = 0; i < doc.LbItem.size(); ++i)
        doc.LbItem[i]->setText(doc.LbItem[i]->LinkItem == QStringLiteral("0") ? QString::number(i * 7)
                                                                              : QStringLiteral("記載内容その%1").arg(i));
    drawPen(doc.surface());
    if (!SaveWindowDocument(doc, 0, QStringLiteral("0")))
        return 0;
    const int id = doc.Lb登録番号->text().toInt();
    dropDocument();
    return id;
}

void benchSample(const TestHome &home, const QString &name, const QString &kind, const QString &templateText,
                 int stored, int runs)
{
    // The same template under a second kind, whose table holds many other documents.
    const QString crowded = kind + QStringLiteral("控");
    home.writeIni(kind, templateText);
    home.writeIni(crowded, templateText);
    const int id = saveFilled(kind);
    BuildDocument(crowded);
    dropDocument();
    FillKindTable(crowded, 1, stored);
    const int crowdedId = saveFilled(crowded);
    if (!id || !crowdedId) {
        std::fprintf(stderr, "%s: could not save\n", qPrintable(kind));
        return;
    }

    BuildDocument(kind);
    DocumentData fields = CollectDocument(*fm());
    dropDocument();
    const QString image = DocumentImagePath(kind, id);
    // The same document with its values and page already in memory: what
    // showing and painting it costs without reading anything.
    DocumentData saved = fields;
    LoadSavedDocument(kind, id, saved);
    saved.surface = ReadPngImage(image);

    Rounds rounds;
    rounds.add(
        QStringLiteral("build"),
        [&] {
            BuildDocument(kind);
            QCoreApplication::processEvents();
        },
        dropDocument);
    rounds.add(
        QStringLiteral("filled"),
        [&] {
            BuildDocument(kind, [&](FM &window) { ApplyDocument(window, saved); });
            QCoreApplication::processEvents();
        },
        dropDocument);
    rounds.add(QStringLiteral("decode"), [&] { ReadPngImage(image); });
    rounds.add(QStringLiteral("row"), [&] {
        DocumentData doc = fields;
        LoadSavedDocument(kind, id, doc);
    });
    rounds.add(
        QStringLiteral("reopen"),
        [&] {
            ReopenSavedDocument(kind, id);
            QCoreApplication::processEvents();
        },
        dropDocument);
    rounds.add(
        QStringLiteral("reopen crowded"),
        [&] {
            ReopenSavedDocument(crowded, crowdedId);
            QCoreApplication::processEvents();
        },
        dropDocument);
    rounds.run(runs, 2);
    const DocLabel *item = fm() && fm()->LbItem.size() > 1 ? fm()->LbItem[1] : nullptr;
    if (!item || item->text() != (item->LinkItem == QStringLiteral("0") ? QStringLiteral("7") : QStringLiteral("記載内容その1")))
        std::fprintf(stderr, "the reopened document does not hold the saved values\n");
    dropDocument();

    const QStringList pieces{QStringLiteral("build"), QStringLiteral("decode"), QStringLiteral("row")};
    std::printf("reopen %s (median of %d interleaved rounds):\n", qPrintable(name), runs);
    Rounds::PrintComparison("reopened, shown and painted", rounds.median(QStringLiteral("reopen")),
                            rounds.cpu(QStringLiteral("reopen")), "build + decoding the page + reading the row",
                            rounds.medianOfSum(pieces), rounds.medianOfSum(pieces, true), "target <= 1.1");
    std::printf("    pieces: build %.2f ms (cpu %.2f), decode %.2f ms (cpu %.2f), row %.2f ms (cpu %.2f)\n",
                rounds.median(QStringLiteral("build")), rounds.cpu(QStringLiteral("build")),
                rounds.median(QStringLiteral("decode")), rounds.cpu(QStringLiteral("decode")),
                rounds.median(QStringLiteral("row")), rounds.cpu(QStringLiteral("row")));
    // Beside the floor: the part of the reopen that is painting what was
    // saved (the floor's build paints an empty document), and the reopen
    // against that filled build with the same reading and decoding.
    std::printf("    of which painting the saved values and page: %.2f ms (cpu %.2f), the same document built and "
                "painted from memory less the empty build\n",
                rounds.median(QStringLiteral("filled")) - rounds.median(QStringLiteral("build")),
                rounds.cpu(QStringLiteral("filled")) - rounds.cpu(QStringLiteral("build")));
    const QStringList filledPieces{QStringLiteral("filled"), QStringLiteral("decode"), QStringLiteral("row")};
    Rounds::PrintComparison("for comparison, reopened", rounds.median(QStringLiteral("reopen")),
                            rounds.cpu(QStringLiteral("reopen")),
                            "the document built with its values from memory + decoding + reading the row",
                            rounds.medianOfSum(filledPieces), rounds.medianOfSum(filledPieces, true),
                            "(what reopening adds: the authenticity check, the restore, the decoding thread)");
    const QByteArray crowdedWhat = QStringLiteral("reopened from %1 stored rows").arg(stored).toUtf8();
    rounds.print(crowdedWhat.constData(), QStringLiteral("reopen crowded"), "the same from a table of one document",
                 QStringLiteral("reopen"), "target <= 1.2");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    InstallAppStyle(); // as the program does
    const int stored = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 15;
    AppHome app(true);
    const TestHome &home = app.home;
    // A doctor and a patient chosen, as whenever the program builds a document.
    AppHome::setDoctor(QStringLiteral("1"), QStringLiteral("山田　太郎"));
    app.admit(kPatientSato);
    AppHome::setPatient(kPatientSato);
    InstallPersistenceHooks();
    FHead &head = app.loadMainWindow();
    head.resize(1200, 1000);
    head.show();

    benchSample(home, QStringLiteral("a document of 600 elements"), QStringLiteral("書類600"), template600(), stored,
                runs);
    QFile sample(TestHome::sampleData() + QStringLiteral("/ini/入院診療計画書.ini"));
    sample.open(QIODevice::ReadOnly);
    benchSample(home, QStringLiteral("the two-page sample 入院診療計画書"), QStringLiteral("計画書"),
                DecodeCp932(sample.readAll()), stored, runs);
    return 0;
}
