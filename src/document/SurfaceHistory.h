#pragma once
#include <QImage>
#include <QList>
#include <QRect>

// Undo and redo of the drawing surface. A step is whatever changed between
// begin() and end(): a pen or eraser stroke, a line, an ellipse, a pasted
// picture or text, a clearing. Only the changed rectangle is kept, as the
// pixels it held before; undo swaps them with what the surface holds now, so
// the same entry serves redo.
//
// The history starts empty when a document is opened, so undo never reaches
// behind the drawing the document came with.
class SurfaceHistory
{
public:
    // Steps kept; the oldest go first. Beyond kMinimum steps, also when the
    // kept pixels pass kBudget bytes (a page cleared again and again).
    static constexpr int kLimit = 100;
    static constexpr int kMinimum = 50;
    static constexpr qsizetype kBudget = qsizetype(256) * 1024 * 1024;

    void reset();
    // Opens a step unless one is open. The surface is kept as it stands (an
    // implicitly shared copy: it costs nothing until the surface is drawn on).
    void begin(const QImage &surface);
    bool isOpen() const { return m_open; }
    // Adds a rectangle of the surface (pixels) that the open step changed.
    void touch(const QRect &px);
    // Closes the open step. A step that touched nothing leaves no entry. A new
    // step drops whatever could have been redone.
    void end();

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    int undoCount() const { return int(m_undo.size()); }
    // Each returns the rectangle it changed, empty when there was nothing to
    // do. An open step is closed first.
    QRect undo(QImage &surface);
    QRect redo(QImage &surface);

private:
    struct Entry
    {
        QRect rect;
        QImage pixels;
    };
    static QRect swap(QImage &surface, Entry &entry);
    // Swaps the last entry of from into the surface and moves it to to.
    QRect step(QImage &surface, QList<Entry> &from, QList<Entry> &to);
    void trim();

    QList<Entry> m_undo;
    QList<Entry> m_redo;
    bool m_open = false;
    QImage m_before;
    QRect m_touched;
};
