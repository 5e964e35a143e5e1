#pragma once
#include <QImage>
#include <QList>
#include <QSize>
#include <QPoint>
#include <QString>

// Looks at PDFs through poppler-utils (pdfinfo, pdftoppm, pdffonts).
int PdfPageCount(const QString &pdf);                       // -1 when unreadable
QImage PdfPageImage(const QString &pdf, int page, int dpi = 96); // null when unreadable
QString PdfFonts(const QString &pdf);                        // pdffonts' table
QString PdfText(const QString &pdf);                         // pdftotext's text
// The pictures in the PDF: per picture its page and its size in pixels.
struct PdfPicture
{
    int page = 0;
    QSize size;
};
QList<PdfPicture> PdfPictures(const QString &pdf);

// How far a printed page differs from the screen image of the same band:
// mean grey difference (0-255) of both images shrunk by 4, at the placement
// of the screen image on the page (searched within the top-left 64 pixels)
// that fits best. The placement found goes to offset.
double PageDifference(const QImage &printed, const QImage &screen, QPoint *offset = nullptr);
// Share of pixels that are not near white.
double InkShare(const QImage &image);
// Pixels that are clearly pure red (the colour of the editing aids).
int RedPixels(const QImage &image);
