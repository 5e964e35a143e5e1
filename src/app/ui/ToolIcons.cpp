#include "app/ui/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSize = 24;
}

QPixmap ToolPicture(int tool)
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    switch (tool) {
    case 0: { // pointer
        QPainterPath arrow;
        arrow.moveTo(6, 3);
        arrow.lineTo(6, 19);
        arrow.lineTo(10, 15);
        arrow.lineTo(13, 21);
        arrow.lineTo(15.5, 20);
        arrow.lineTo(12.5, 14);
        arrow.lineTo(18, 14);
        arrow.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(arrow);
        break;
    }
    case 1: { // pen: a pencil lying from the top right to its tip at the bottom left
        p.translate(12, 12);
        p.rotate(-45);
        p.setBrush(QColor(250, 200, 60));
        p.drawRect(QRectF(-5, -3, 14, 6));
        p.setBrush(QColor(240, 150, 150));
        p.drawRect(QRectF(9, -3, 3, 6));
        QPainterPath tip;
        tip.moveTo(-5, -3);
        tip.lineTo(-11, 0);
        tip.lineTo(-5, 3);
        tip.closeSubpath();
        p.setBrush(QColor(240, 220, 180));
        p.drawPath(tip);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(-10, 0), 1, 1);
        break;
    }
    case 3: { // eraser
        p.translate(12, 12);
        p.rotate(-30);
        p.setBrush(QColor(120, 160, 230));
        p.drawRect(QRectF(-2, -4, 10, 8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(-9, -4, 7, 8));
        break;
    }
    case 4:
    case 5: { // ellipse, hatched ellipse
        if (tool == 5)
            p.setBrush(QBrush(Qt::black, Qt::FDiagPattern));
        p.drawEllipse(QRectF(3, 6, 18, 12));
        break;
    }
    default:
        break;
    }
    return pm;
}

QCursor ToolCursor(int tool)
{
    // The pen writes with its tip, the eraser rubs with its middle.
    if (tool == 1)
        return QCursor(ToolPicture(1), 4, 19);
    return QCursor(ToolPicture(tool), kSize / 2, kSize / 2);
}
