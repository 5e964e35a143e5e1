#pragma once
#include <QPageLayout>
#include <QString>

class PrintableDocument;
class QWidget;
class QPainter;
class QRect;

// Prints the document on the installed printer printerName: every copy of
// page 1, then every copy of each further page, each copy its own sheet,
// the document at 1:1 at the top-left of the printable area. The editing aids
// and the editor are hidden meanwhile; the aids are always shown again.
// copies of 0 or less print nothing and succeed. On failure error (when
// given) says why, in the user's language.
bool PrintDocument(PrintableDocument &doc, const QString &printerName, int copies,
                   QString *error = nullptr);

// The paper and margins of the installed printer printerName, as printing
// lays the pages out on it (A4 without margins when the printer tells none).
QPageLayout PrinterPageLayout(const QString &printerName);

// The usual PrintableDocument::render for a widget page whose pixels are
// screen pixels: paints its area sourceTwips with its children.
void RenderWidgetTwips(QWidget *page, QPainter &painter, const QRect &sourceTwips);

// The menu entry "PDFに出力": proposes the document's file name in the folder
// used last (remembered for the user; at first the Documents folder, else
// the home folder), writes the PDF and says where it went, or why it could
// not be written.
void ExportPdfWithDialog(PrintableDocument &doc);
// Where the file dialog of "PDFに出力" starts.
QString PdfStartFolder();
