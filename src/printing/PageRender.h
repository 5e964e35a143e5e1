#pragma once
#include "printing/PageSplit.h"

#include <QList>
#include <QPageLayout>
#include <QRect>
#include <QString>

class PrintableDocument;
class QIODevice;
class QImage;
class QPagedPaintDevice;
class QPainter;

// Paints the sheets onto a paged device (PDF writer, printer, print preview),
// one sheet per page starting on the device's current page: the document at
// 1:1 in twips, placed at the top-left of the printable area, text as text.
// Whatever the document paints beyond a sheet's band (elements that cross a
// page line or the page's edge) is covered with white, so each sheet shows
// its band only. The caller hides the editing aids. False when the device
// could not be painted on.
bool PaintSheets(PrintableDocument &doc, const QList<PrintSheet> &sheets, QPagedPaintDevice &device);

// Paints one sheet with painter in screen pixels (15 twips each), its origin
// at the top-left of the printable area; covers with white what lies beyond
// the sheet's band, as PaintSheets does. The document's footer line goes to
// the bottom of the printable area, paperHeightPx high (0: unknown, then just
// below the band).
void PaintSheet(PrintableDocument &doc, const PrintSheet &sheet, QPainter &painter, double paperHeightPx = 0);

// Writes the sheets as a PDF into device, one sheet per page, laid out as
// layout says (see PaintSheets). False when nothing could be written.
bool WriteSheetsPdf(PrintableDocument &doc, const QList<PrintSheet> &sheets,
                    const QPageLayout &layout, QIODevice *device);

// The page layout of an exported PDF: A4 without margins, landscape when the
// document is wider than its pages are high.
QPageLayout ExportPageLayout(const PrintableDocument &doc);

// The smallest rectangle within area that holds every pixel of image that is
// not white; empty when there is none. Images of other formats than 32-bit
// RGB count as inked all over.
QRect InkBounds(const QImage &image, const QRect &area);

// The sheets of copies copies of the document, in printing order.
QList<PrintSheet> DocumentSheets(const PrintableDocument &doc, int copies);

// Writes exactly the pages that printing one copy produces to path (the file
// is replaced only when the whole PDF was written). The editing aids are
// hidden meanwhile and shown again afterwards. On failure error (when given)
// says why, in the user's language.
bool ExportPdf(PrintableDocument &doc, const QString &path, QString *error = nullptr);
