#pragma once
#include "AppHome.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QStringList>

class FM;

// The document kinds of the sample templates (every template in data/DATA/ini).
QStringList SampleKinds();

// A home with the sample data, the main window loaded for a doctor and a
// patient whose name and address are long.
struct SampleFormsHome : AppHome
{
    SampleFormsHome();
    // Builds a document of kind and fills it as a doctor would (see FillLikeADoctor).
    FM *buildFilled(const QString &kind);
};

// Fills every input field with a value of its kind (memo fields with several
// lines), ticks every other check box, and puts a text much longer than its
// box into the lowest element of every family that shows text (fixed texts,
// input fields, patient fields) on every page.
void FillLikeADoctor(FM &doc);

// One thing the page shows, and where (twips).
struct PageElement
{
    QString name;
    QRect twips;
    // How far the ink may wander from where the screen has it, as a share of
    // the element's size: text laid out at the printer's resolution runs a
    // little longer or shorter than on screen, and dots and dashes of a
    // line start where they start.
    double drift = 0.02;
};
// The elements of the document that carry ink: fixed texts, input fields,
// patient fields, check boxes and ruled lines that are showing.
QList<PageElement> InkedElements(FM &doc);

// What the screen shows of the band [top, top + height) of the page, with
// the editing aids off, at screen resolution.
QImage ScreenBand(FM &doc, int topTwips, int heightTwips);

// Where the top-left corner of screen lies on paper (a page rasterised at
// screen resolution), searched within 64 pixels of the page's corner.
QPoint PaperOffset(const QImage &paper, const QImage &screen);

// The elements that have ink on screen (in the band starting at bandTop
// twips) but not at the same place on paper, with what was found. A pixel
// or two of shift and the differences of anti-aliasing are allowed.
QStringList ElementsMissingOnPaper(const QImage &screen, const QImage &paper, QPoint offset,
                                   const QList<PageElement> &elements, int bandTopTwips);

// Ink on paper outside the place where the band of size bandPx lies
// (something painted beyond its page), as a share of those pixels.
double InkOutsideBand(const QImage &paper, QPoint offset, QSize bandPx);
