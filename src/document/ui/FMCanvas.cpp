#include "document/ui/FMCanvas.h"

#include "app/Units.h"
#include "document/ui/FM.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <optional>

namespace {
// A page is mostly ruled with solid horizontal and vertical lines. On the
// screen (raster, no scaling) those are filled as the pixel rectangles the
// pen would cover, which is the same picture for a fraction of the work:
// a one-pixel pen covers the pixels from the lower end up to, not including,
// the upper end (one pixel for a line of no length); a wider one is centred
// on the line, its upper half first, and covers nothing for no length.
bool FillsExactly(const QPainter &p, const QColor &color, int style)
{
    return style == LineSolid && color.alpha() == 255 && PaintsScreenPixels(p);
}

std::optional<QRect> AxisLineRect(QPoint a, QPoint b, int widthPx)
{
    const bool horizontal = a.y() == b.y();
    if (!horizontal && a.x() != b.x())
        return std::nullopt;
    const int from = horizontal ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
    const int length = horizontal ? std::abs(a.x() - b.x()) : std::abs(a.y() - b.y());
    const int width = std::max(1, widthPx);
    const int along = width == 1 ? std::max(1, length) : length;
    const int across = (horizontal ? a.y() : a.x()) - width / 2;
    return horizontal ? QRect(from, across, along, width) : QRect(across, from, width, along);
}

void PaintLine(QPainter &p, const DocLine &line, const QRect &dirty)
{
    if (!line.visible || line.style == LineTransparent)
        return;
    const QPoint a(TwipsToPx(line.x1), TwipsToPx(line.y1));
    const QPoint b(TwipsToPx(line.x2), TwipsToPx(line.y2));
    const int margin = line.width + 1;
    if (!QRect(a, b).normalized().adjusted(-margin, -margin, margin, margin).intersects(dirty))
        return;
    if (FillsExactly(p, line.color, line.style))
        if (const std::optional<QRect> r = AxisLineRect(a, b, line.width)) {
            p.fillRect(*r, line.color);
            return;
        }
    p.setPen(PenFor(line.color, line.style, line.width));
    p.drawLine(QPointF(a), QPointF(b));
}

void PaintShape(QPainter &p, const DocShape &shape, const QRect &dirty)
{
    if (!shape.visible)
        return;
    QRect r = TwipsToPx(shape.twips);
    if (shape.kind == DocShape::Circle) {
        const int d = std::min(r.width(), r.height());
        r = QRect(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
    }
    if (!r.adjusted(-2, -2, 2, 2).intersects(dirty))
        return;
    // A field frame: a one-pixel solid outline, filled edge by edge.
    if (shape.kind == DocShape::Rectangle && shape.fillStyle == FillTransparent && shape.borderWidth <= 1
        && r.width() >= 2 && r.height() >= 2 && FillsExactly(p, shape.borderColor, shape.borderStyle)) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), shape.borderColor);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shape.borderColor);
        p.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), shape.borderColor);
        p.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), shape.borderColor);
        return;
    }
    p.setPen(PenFor(shape.borderColor, shape.borderStyle, shape.borderWidth));
    switch (shape.fillStyle) {
    case FillSolid:
        p.setBrush(shape.fillColor);
        break;
    case FillDownwardDiagonal:
        p.setBrush(QBrush(shape.fillColor, Qt::FDiagPattern));
        break;
    default:
        p.setBrush(Qt::NoBrush);
        break;
    }
    const QRect inner = r.adjusted(0, 0, -1, -1);
    if (shape.kind == DocShape::Rectangle)
        p.drawRect(inner);
    else
        p.drawEllipse(inner);
}
}

FMCanvas::FMCanvas(FM *owner)
    : QWidget(owner), m_fm(owner)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FMCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect dirty = event->rect();
    if (m_surfacePainted) {
        const QImage &surface = m_fm->drawnSurface();
        if (surface.isNull())
            p.fillRect(dirty, Qt::white);
        else
            p.drawImage(dirty, surface, dirty);
    }
    for (const DocLine &line : m_fm->LineG)
        PaintLine(p, line, dirty);
    for (const DocLine &line : m_fm->LinePage)
        PaintLine(p, line, dirty);
    for (const DocShape &frame : m_fm->Shape枠)
        PaintShape(p, frame, dirty);
    PaintLine(p, m_fm->Line線, dirty);
    PaintShape(p, m_fm->Shape円, dirty);
    PaintShape(p, m_fm->ShapePoint, dirty);
}

void FMCanvas::showEvent(QShowEvent *event)
{
    m_fm->connectFreeEditing();
    QWidget::showEvent(event);
}

void FMCanvas::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    const QPointF t = PxToTwips(event->position());
    m_fm->Form_MouseDown(event->button(), event->modifiers(), t.x(), t.y());
}

void FMCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF t = PxToTwips(event->position());
    m_fm->Form_MouseMove(event->buttons(), event->modifiers(), t.x(), t.y());
}

void FMCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF t = PxToTwips(event->position());
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    m_fm->Form_MouseUp(event->button(), event->modifiers(), t.x(), t.y());
    if (click)
        m_fm->Form_Click();
}
