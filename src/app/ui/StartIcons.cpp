#include "app/ui/StartIcons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <functional>

namespace {

// Draws on a 48×48 canvas at the size a button asks for, when it first asks:
// the start window shows one size, and nothing is drawn before it shows.
class DrawnIconEngine : public QIconEngine
{
public:
    explicit DrawnIconEngine(std::function<void(QPainter &)> paint) : m_paint(std::move(paint)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatio(), mode, state));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const QString key = QStringLiteral("%1x%2/%3").arg(size.width()).arg(size.height()).arg(int(mode));
        if (const auto kept = m_drawn.constFind(key); kept != m_drawn.cend())
            return *kept;
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size.width() / 48.0, size.height() / 48.0);
        m_paint(p);
        p.end();
        // A disabled button greys its picture as the style greys any icon.
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        m_drawn.insert(key, pixmap);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_paint); }

private:
    std::function<void(QPainter &)> m_paint;
    QHash<QString, QPixmap> m_drawn;
};

QIcon drawIcon(std::function<void(QPainter &)> paint)
{
    return QIcon(new DrawnIconEngine(std::move(paint)));
}

void drawPage(QPainter &p)
{
    QPainterPath page;
    page.moveTo(8, 4);
    page.lineTo(30, 4);
    page.lineTo(40, 14);
    page.lineTo(40, 44);
    page.lineTo(8, 44);
    page.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(30, 4), QPointF(30, 14));
    p.drawLine(QPointF(30, 14), QPointF(40, 14));
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (int y = 20; y <= 28; y += 4)
        p.drawLine(QPointF(13, y), QPointF(34, y));
}

} // namespace

QIcon FinishedDocumentsIcon()
{
    return drawIcon([](QPainter &p) {
        drawPage(p);
        p.setPen(QPen(QColor(0, 120, 60), 4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(31, 35), 10, 10);
    });
}

QIcon PendingDocumentsIcon()
{
    return drawIcon([](QPainter &p) {
        drawPage(p);
        QPolygonF triangle;
        triangle << QPointF(31, 24) << QPointF(42, 44) << QPointF(20, 44);
        p.setPen(QPen(QColor(200, 120, 0), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(triangle);
    });
}

QIcon PatientSelectIcon()
{
    return drawIcon([](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 110, 180));
        p.drawEllipse(QPointF(18, 13), 8, 8);
        QPainterPath body;
        body.moveTo(3, 42);
        body.cubicTo(3, 26, 33, 26, 33, 42);
        body.closeSubpath();
        p.drawPath(body);
        p.setPen(QPen(QColor(70, 70, 70), 3.5));
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(33, 28), 7, 7);
        p.setPen(QPen(QColor(70, 70, 70), 4.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(38, 33), QPointF(45, 40));
    });
}
