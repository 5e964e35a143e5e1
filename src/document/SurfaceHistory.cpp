#include "document/SurfaceHistory.h"

#include <QPainter>

void SurfaceHistory::reset()
{
    m_undo.clear();
    m_redo.clear();
    m_open = false;
    m_before = QImage();
    m_touched = QRect();
}

void SurfaceHistory::begin(const QImage &surface)
{
    if (m_open)
        return;
    m_open = true;
    m_before = surface;
    m_touched = QRect();
}

void SurfaceHistory::touch(const QRect &px)
{
    if (m_open)
        m_touched |= px;
}

void SurfaceHistory::end()
{
    if (!m_open)
        return;
    m_open = false;
    const QRect rect = m_touched & m_before.rect();
    if (!rect.isEmpty()) {
        m_undo.append({rect, m_before.copy(rect)});
        m_redo.clear();
        trim();
    }
    m_before = QImage();
    m_touched = QRect();
}

void SurfaceHistory::trim()
{
    qsizetype bytes = 0;
    for (const Entry &e : m_undo)
        bytes += e.pixels.sizeInBytes();
    while (m_undo.size() > kLimit || (m_undo.size() > kMinimum && bytes > kBudget)) {
        bytes -= m_undo.first().pixels.sizeInBytes();
        m_undo.removeFirst();
    }
}

QRect SurfaceHistory::swap(QImage &surface, Entry &entry)
{
    const QRect rect = entry.rect & surface.rect();
    if (rect.isEmpty())
        return QRect();
    QImage current = surface.copy(rect);
    {
        QPainter p(&surface);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(rect.topLeft(), entry.pixels, QRect(QPoint(0, 0), rect.size()));
    }
    entry.rect = rect;
    entry.pixels = current;
    return rect;
}

QRect SurfaceHistory::undo(QImage &surface)
{
    return step(surface, m_undo, m_redo);
}

QRect SurfaceHistory::redo(QImage &surface)
{
    return step(surface, m_redo, m_undo);
}

QRect SurfaceHistory::step(QImage &surface, QList<Entry> &from, QList<Entry> &to)
{
    end();
    if (from.isEmpty())
        return QRect();
    Entry entry = from.takeLast();
    const QRect changed = swap(surface, entry);
    to.append(entry);
    return changed;
}
