#include "document/ui/FMCanvas.h"

#include "app/Units.h"
#include "document/ui/FM.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace {
QPointF PxPoint(double xTwips, double yTwips)
{
    return QPointF(TwipsToPx(xTwips), TwipsToPx(yTwips));
}

void PaintLine(QPainter &p, const DocLine &line, const QRect &dirty)
{
    if (!line.visible || line.style == LineTransparent)
        return;
    const QPointF a = PxPoint(line.x1, line.y1);
    const QPointF b = PxPoint(line.x2, line.y2);
    const int margin = line.width + 1;
    if (!QRectF(a, b).normalized().adjusted(-margin, -margin, margin, margin).intersects(dirty))
        return;
    p.setPen(PenFor(line.color, line.style, line.width));
    p.drawLine(a, b);
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
    if (m_surfacePainted)
        p.drawImage(dirty, m_fm->surface(), dirty);
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
