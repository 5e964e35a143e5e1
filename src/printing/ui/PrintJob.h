#pragma once
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

// The usual PrintableDocument::render for a widget page whose pixels are
// screen pixels: paints its area sourceTwips with its children.
void RenderWidgetTwips(QWidget *page, QPainter &painter, const QRect &sourceTwips);

// The menu entry "PDFに出力": asks for the file and writes the PDF; a failure
// is reported through the prompter.
void ExportPdfWithDialog(PrintableDocument &doc, QWidget *parent);
