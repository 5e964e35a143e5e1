#pragma once
#include "printing/PrintableDocument.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

// A stand-in for the document window: a page of labels (Japanese text),
// ruled lines and a free drawing, with field frames, a "▼" marker and page
// lines as editing aids, all aids in pure red, plus a visible editor.
// It counts what printing asks of it.
class SampleDocument : public QWidget, public PrintableDocument
{
public:
    // Two pages: 10800 x 32400 twips with a page line at 16200.
    explicit SampleDocument(const QList<int> &pageLines = {16200}, int heightTwips = 32400);

    QSize pageSizeTwips() const override;
    bool hasPageLines() const override { return !m_pageLines.isEmpty(); }
    QList<int> pageLineOrdinates() const override { return m_pageLines; }
    void setEditingAidsVisible(bool visible) override;
    void hideEditor() override;
    void render(QPainter &painter, const QRect &sourceTwips) override;
    QString printTitle() const override { return title; }

    QString title = QStringLiteral("紹介状");
    bool aidsVisible = true;
    int aidsHidden = 0, aidsShown = 0, editorHidden = 0;
    QList<QRect> rendered;           // sources, in order
    QList<bool> aidsVisibleAtRender; // whether aids were on at each render
    QList<bool> editorVisibleAtRender;

    QPlainTextEdit *editor;
    QLabel *marker;
    // Every child's geometry, to see that nothing moved.
    QList<QRect> childGeometries() const;
    // What the screen shows of the band [top, top + height) with the aids
    // switched off, at screen resolution.
    QImage screenBand(int topTwips, int heightTwips);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QList<int> m_pageLines;
    QImage m_drawing;
    QList<QRect> m_frames; // twips
};
