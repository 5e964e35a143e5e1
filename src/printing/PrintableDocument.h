#pragma once
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

// What printing and the PDF export need from the document window. Positions
// are twips; the document is printed at 1:1 (1440 twips to the inch).
class PrintableDocument
{
public:
    virtual ~PrintableDocument() = default;

    // Width and height of the page (the window's client area), twips.
    virtual QSize pageSizeTwips() const = 0;
    // True when the template has page lines (the tag of LinePage element 0 is "1").
    virtual bool hasPageLines() const = 0;
    // Start ordinate (Y1) of every LinePage element, twips, in element order.
    virtual QList<int> pageLineOrdinates() const = 0;
    // Shows or hides the field frames and the list markers, and the page
    // lines when the template has them.
    virtual void setEditingAidsVisible(bool visible) = 0;
    // Hides the in-place editor. Showing the aids again does not bring it back.
    virtual void hideEditor() = 0;
    // Paints the part sourceTwips of the page exactly as it shows on screen,
    // with sourceTwips.topLeft() at the painter's origin. The painter works in
    // screen pixels (15 twips each), usually scaled to a printer's resolution,
    // and is not clipped: what is painted beyond the source size is covered
    // with white afterwards.
    virtual void render(QPainter &painter, const QRect &sourceTwips) = 0;
    // Job and file title (the document kind).
    virtual QString printTitle() const { return QString(); }
    // The file name proposed for its PDF; empty: the title.
    virtual QString pdfFileName() const { return QString(); }
    // The saved document's number (0 when not saved), for the 操作履歴.
    virtual int documentNumber() const { return 0; }
    // The patient the document belongs to, for the 操作履歴.
    virtual QString patientId() const { return QString(); }
    // A line at the foot of every sheet (a kept earlier version says which
    // one it is and when it was printed); empty for none.
    virtual QString footerLine() const { return QString(); }
};

// Hides the editing aids and the editor for as long as it lives; the aids
// come back even when printing fails half-way.
class PrintAidsHidden
{
public:
    explicit PrintAidsHidden(PrintableDocument &doc) : m_doc(doc)
    {
        m_doc.setEditingAidsVisible(false);
        m_doc.hideEditor();
    }
    ~PrintAidsHidden() { m_doc.setEditingAidsVisible(true); }
    PrintAidsHidden(const PrintAidsHidden &) = delete;
    PrintAidsHidden &operator=(const PrintAidsHidden &) = delete;

private:
    PrintableDocument &m_doc;
};
