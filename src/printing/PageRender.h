#pragma once
#include "printing/PageSplit.h"

#include <QList>
#include <QPageLayout>
#include <QString>

class PrintableDocument;
class QIODevice;

// Writes the sheets as a PDF into device, one sheet per page: the document at
// 1:1 in twips, placed at the top-left of the layout's printable area, text
// as text. The caller hides the editing aids. False when nothing could be written.
bool WriteSheetsPdf(PrintableDocument &doc, const QList<PrintSheet> &sheets,
                    const QPageLayout &layout, QIODevice *device);

// The page layout of an exported PDF: A4 without margins, landscape when the
// document is wider than its pages are high.
QPageLayout ExportPageLayout(const PrintableDocument &doc);

// Writes exactly the pages that printing one copy produces to path (the file
// is replaced only when the whole PDF was written). The editing aids are
// hidden meanwhile and shown again afterwards.
bool ExportPdf(PrintableDocument &doc, const QString &path);
