#include "app/ui/WheelScroll.h"

#include "app/Words.h"

#include <QApplication>
#include <QMdiArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

WheelScroll::WheelScroll(QMdiArea *area)
    : QObject(area), m_area(area)
{
}

bool WheelScroll::hook()
{
    if (m_hooked)
        return false;
    // Watched application-wide: a wheel event is delivered to the widget under
    // the pointer first and does not always travel up to the area.
    qApp->installEventFilter(this);
    m_hooked = true;
    return true;
}

bool WheelScroll::unhook()
{
    if (m_hooked)
        qApp->removeEventFilter(this);
    m_hooked = false;
    return true;
}

bool WheelScroll::step(int delta)
{
    QScrollBar *bar = m_area->verticalScrollBar();
    if (!bar || !bar->isVisible() || bar->maximum() <= bar->minimum())
        return false;
    bar->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                 : QAbstractSlider::SliderSingleStepAdd);
    return true;
}

bool WheelScroll::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    QWidget *viewport = m_area->viewport();
    if (widget != viewport && !viewport->isAncestorOf(widget))
        return QObject::eventFilter(watched, event);

    auto *wheel = static_cast<QWheelEvent *>(event);
    // Only a vertical wheel step moves the page: a sideways wheel or swipe,
    // and the start and end markers of a touchpad gesture, carry no vertical
    // distance and are no wheel step at all.
    const QPoint angle = wheel->angleDelta();
    const bool vertical = angle.y() != 0
        || (angle.x() == 0 && wheel->pixelDelta().isNull() && wheel->phase() == Qt::NoScrollPhase);
    if (vertical) {
        // Pack the distance the way the wheel message carries it and read it
        // back as its high word: a distance of any size is one step.
        const std::int32_t wParam = std::int32_t(std::uint32_t(angle.y()) << 16);
        step(HiWord(wParam));
    }

    // A scrolling widget inside the document keeps its own handling (and
    // accepts the event, so it goes no further). Anything else would hand the
    // event up to the area, which would add lines of its own.
    for (QWidget *w = widget; w && w != viewport; w = w->parentWidget())
        if (qobject_cast<QAbstractScrollArea *>(w))
            return false;
    return true;
}
