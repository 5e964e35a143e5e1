#include "printing/PageRender.h"

#include "app/Units.h"
#include "printing/PrintableDocument.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

// Printer resolution of the PDF; the page itself is vector.
constexpr int kPdfDpi = 1200;
constexpr double kScreenDpi = 1440.0 / kTwipsPerPixel; // 96

QList<PrintSheet> sheetsFor(const PrintableDocument &doc, int copies)
{
    return SplitPages(doc.hasPageLines() ? doc.pageLineOrdinates() : QList<int>(),
                      doc.pageSizeTwips().height(), copies);
}

} // namespace

bool WriteSheetsPdf(PrintableDocument &doc, const QList<PrintSheet> &sheets,
                    const QPageLayout &layout, QIODevice *device)
{
    if (sheets.isEmpty() || !device)
        return false;
    QPdfWriter writer(device);
    writer.setResolution(kPdfDpi);
    writer.setCreator(QStringLiteral("Rydol"));
    writer.setTitle(doc.printTitle());
    if (!writer.setPageLayout(layout))
        return false;
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const double scale = writer.resolution() / kScreenDpi;
    const int widthTwips = doc.pageSizeTwips().width();
    bool ok = true;
    for (int i = 0; i < sheets.size(); ++i) {
        if (i > 0 && !writer.newPage()) {
            ok = false;
            break;
        }
        const PrintSheet &s = sheets[i];
        const QRect source(0, s.top, widthTwips, s.height);
        painter.save();
        painter.scale(scale, scale);
        painter.setClipRect(QRectF(0, 0, TwipsToPxF(widthTwips), TwipsToPxF(s.height)));
        doc.render(painter, source);
        painter.restore();
    }
    return painter.end() && ok;
}

QPageLayout ExportPageLayout(const PrintableDocument &doc)
{
    const QList<PrintSheet> sheets = sheetsFor(doc, 1);
    int tallest = 0;
    for (const PrintSheet &s : sheets)
        tallest = std::max(tallest, s.height);
    const auto orientation = doc.pageSizeTwips().width() > tallest ? QPageLayout::Landscape
                                                                   : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0));
}

bool ExportPdf(PrintableDocument &doc, const QString &path)
{
    if (path.isEmpty())
        return false;
    PrintAidsHidden hidden(doc);
    const QList<PrintSheet> sheets = sheetsFor(doc, 1);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!WriteSheetsPdf(doc, sheets, ExportPageLayout(doc), &file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
