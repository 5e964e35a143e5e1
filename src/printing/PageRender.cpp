#include "printing/PageRender.h"

#include "app/Units.h"
#include "printing/PrintableDocument.h"

#include <QDir>
#include <QFont>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cerrno>

namespace {

// Printer resolution of the PDF; the page itself is vector.
constexpr int kPdfDpi = 1200;
constexpr double kScreenDpi = 1440.0 / kTwipsPerPixel; // 96

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Covers everything around band (painter coordinates, screen pixels) with
// white, as far as any paper reaches.
void coverOutside(QPainter &painter, const QRectF &band)
{
    constexpr double far = 20000; // beyond any sheet of paper, in pixels
    const QRectF all = band.adjusted(-far, -far, far, far);
    painter.fillRect(QRectF(all.left(), all.top(), all.width(), band.top() - all.top()), Qt::white);
    painter.fillRect(QRectF(all.left(), band.bottom(), all.width(), all.bottom() - band.bottom()), Qt::white);
    painter.fillRect(QRectF(all.left(), band.top(), band.left() - all.left(), band.height()), Qt::white);
    painter.fillRect(QRectF(band.right(), band.top(), all.right() - band.right(), band.height()), Qt::white);
}

// Why a new file could not be made in a folder, from the system's error.
QString CannotCreateReason(int systemError, bool folderWritable)
{
    switch (systemError) {
    case EACCES:
    case EPERM:
        return QStringLiteral("このフォルダに書き込む権限がありません。");
    case EROFS:
        return QStringLiteral("このフォルダは読み取り専用です。");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空きが足りません。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    default:
        return folderWritable ? QStringLiteral("このフォルダにはファイルを作れません。")
                              : QStringLiteral("このフォルダに書き込む権限がありません。");
    }
}

} // namespace

QRect InkBounds(const QImage &image, const QRect &area)
{
    const QRect r = area & image.rect();
    if (r.isEmpty())
        return QRect();
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32
        && image.format() != QImage::Format_ARGB32_Premultiplied)
        return r;
    constexpr QRgb kWhite = 0xffffffffu;
    int top = -1, bottom = -1, left = r.right() + 1, right = r.left() - 1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int first = r.left();
        while (first <= r.right() && line[first] == kWhite)
            ++first;
        if (first > r.right())
            continue;
        int last = r.right();
        while (line[last] == kWhite)
            --last;
        if (top < 0)
            top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QList<PrintSheet> DocumentSheets(const PrintableDocument &doc, int copies)
{
    return SplitPages(doc.hasPageLines() ? doc.pageLineOrdinates() : QList<int>(),
                      doc.pageSizeTwips().height(), copies);
}

bool PaintSheets(PrintableDocument &doc, const QList<PrintSheet> &sheets, QPagedPaintDevice &device)
{
    if (sheets.isEmpty())
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double sx = device.logicalDpiX() / kScreenDpi;
    const double sy = device.logicalDpiY() / kScreenDpi;
    bool ok = true;
    for (int i = 0; i < sheets.size(); ++i) {
        if (i > 0 && !device.newPage()) {
            ok = false;
            break;
        }
        painter.save();
        painter.scale(sx, sy);
        PaintSheet(doc, sheets[i], painter, device.height() / sy);
        painter.restore();
    }
    return painter.end() && ok;
}

namespace {
// The footer in small type at the left of the sheet's foot.
void paintFooter(QPainter &painter, const QString &footer, double bottom)
{
    constexpr double height = 16, left = 8;
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(left, bottom - height, 20000, height), Qt::AlignLeft | Qt::AlignBottom, footer);
}
}

void PaintSheet(PrintableDocument &doc, const PrintSheet &sheet, QPainter &painter, double paperHeightPx)
{
    const int widthTwips = doc.pageSizeTwips().width();
    painter.save();
    // No clip for the band: a painter's clip does not survive the page's
    // widgets painting through it at another scale (see
    // RenderWidgetTwips); what spills over is covered instead.
    doc.render(painter, QRect(0, sheet.top, widthTwips, sheet.height));
    painter.setClipRect(QRectF(), Qt::NoClip);
    coverOutside(painter, QRectF(0, 0, TwipsToPxF(widthTwips), TwipsToPxF(sheet.height)));
    if (const QString footer = doc.footerLine(); !footer.isEmpty())
        paintFooter(painter, footer, paperHeightPx > 0 ? paperHeightPx - 4 : TwipsToPxF(sheet.height) + 20);
    painter.restore();
}

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
    return PaintSheets(doc, sheets, writer);
}

QPageLayout ExportPageLayout(const PrintableDocument &doc)
{
    const QList<PrintSheet> sheets = DocumentSheets(doc, 1);
    int tallest = 0;
    for (const PrintSheet &s : sheets)
        tallest = std::max(tallest, s.height);
    const auto orientation = doc.pageSizeTwips().width() > tallest ? QPageLayout::Landscape
                                                                   : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0));
}

bool ExportPdf(PrintableDocument &doc, const QString &path, QString *error)
{
    if (path.isEmpty()) {
        setError(error, QStringLiteral("ファイル名がありません。"));
        return false;
    }
    const QFileInfo target(path);
    if (!target.absoluteDir().exists()) {
        setError(error, QStringLiteral("保存先のフォルダ「%1」がありません。")
                            .arg(QDir::toNativeSeparators(target.absolutePath())));
        return false;
    }
    if (target.isDir()) {
        setError(error, QStringLiteral("同じ名前のフォルダがあります。"));
        return false;
    }
    PrintAidsHidden hidden(doc);
    const QList<PrintSheet> sheets = DocumentSheets(doc, 1);
    if (sheets.isEmpty()) {
        setError(error, QStringLiteral("文書に印刷する部分がありません。"));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, CannotCreateReason(errno, QFileInfo(target.absolutePath()).isWritable()));
        return false;
    }
    if (!WriteSheetsPdf(doc, sheets, ExportPageLayout(doc), &file)) {
        file.cancelWriting();
        setError(error, QStringLiteral("PDFを作れませんでした。"));
        return false;
    }
    if (!file.commit()) {
        setError(error, QStringLiteral("ファイルを書き終えられませんでした（ディスクの空きが足りない可能性があります）。"));
        return false;
    }
    return true;
}
