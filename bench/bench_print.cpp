// Printing and exporting a filled-in two-page document (the sample
// 経過報告書) against rendering the same pages into images of the
// document's own resolution (its screen pixels, 96 dpi, the resolution at
// which printed pages are compared with the screen). Printing is timed up to
// the finished job (a PDF in memory on a printer's paper with margins, what is
// handed to the print system); exporting up to the file on disk. Every piece
// hides the editing aids and the editor as printing does. The pieces run in
// interleaved rounds from a settled event queue; medians count.
// Run: QT_QPA_PLATFORM=offscreen build/bench_print [rounds, default 15]
#include "BenchTiming.h"
#include "SampleForms.h"

#include "app/Units.h"
#include "document/ui/FM.h"
#include "printing/PageRender.h"
#include "printing/PrintableDocument.h"
#include "printing/ui/FMPrintable.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QTemporaryDir>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    InstallFontSubstitutes();
    SampleFormsHome home;
    const QString kind = QStringLiteral("経過報告書");
    FM *doc = home.buildFilled(kind);
    if (!doc) {
        std::fprintf(stderr, "the sample %s could not be built\n", qPrintable(kind));
        return 1;
    }
    FMPrintable &printable = FMPrintable::of(*doc);
    const QList<PrintSheet> sheets = DocumentSheets(printable, 1);
    if (sheets.size() != 2) {
        std::fprintf(stderr, "the sample has %d pages, not 2\n", int(sheets.size()));
        return 1;
    }
    const int widthTwips = printable.pageSizeTwips().width();
    const QPageLayout printerPaper(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                                   QPageLayout::Millimeter);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    qint64 jobBytes = 0, inked = 0;

    // Both pages into images of dpi dots per inch, as printing paints them.
    const auto renderImages = [&](int dpi) {
        PrintAidsHidden hidden(printable);
        const double scale = dpi / 96.0;
        for (const PrintSheet &s : sheets) {
            const QSize px = TwipsToPx(QRect(0, 0, widthTwips, s.height)).size() * scale;
            QImage page(px, QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter painter(&page);
            painter.scale(scale, scale);
            printable.render(painter, QRect(0, s.top, widthTwips, s.height));
            painter.end();
            inked += page.pixel(page.width() / 2, page.height() / 2) != 0;
        }
    };

    Rounds rounds;
    rounds.add(QStringLiteral("images"), [&] { renderImages(96); });
    rounds.add(QStringLiteral("images300"), [&] { renderImages(300); });
    rounds.add(QStringLiteral("print"), [&] {
        QBuffer job;
        job.open(QIODevice::WriteOnly);
        PrintAidsHidden hidden(printable);
        WriteSheetsPdf(printable, sheets, printerPaper, &job);
        jobBytes = job.size();
    });
    rounds.add(QStringLiteral("export"), [&] { ExportPdf(printable, pdf); });
    rounds.run(runs, 2);
    if (jobBytes == 0 || !QFileInfo::exists(pdf) || inked == 0) {
        std::fprintf(stderr, "nothing was printed\n");
        return 1;
    }

    std::printf("a filled-in two-page %s (median of %d interleaved rounds):\n", qPrintable(kind), runs);
    rounds.print("print job (PDF in memory, A4 with margins)", QStringLiteral("print"),
                 "both pages into images at 300 dpi", QStringLiteral("images300"), "target <= 2");
    rounds.print("export to a PDF file", QStringLiteral("export"), "both pages into images at 300 dpi",
                 QStringLiteral("images300"), "target <= 2");
    rounds.print("print job", QStringLiteral("print"), "both pages into images at the screen's 96 dpi",
                 QStringLiteral("images"), "(for comparison)");
    std::printf("    job %lld bytes\n", jobBytes);
    return 0;
}
