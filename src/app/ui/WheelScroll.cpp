#include "app/ui/WheelScroll.h"

#include "app/Words.h"

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
    m_area->viewport()->installEventFilter(this);
    m_hooked = true;
    return true;
}

bool WheelScroll::unhook()
{
    if (m_hooked)
        m_area->viewport()->removeEventFilter(this);
    m_hooked = false;
    return true;
}

void WheelScroll::hookDocument(QWidget *document)
{
    if (!document)
        return;
    document->installEventFilter(this);
    for (QWidget *page : document->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        page->installEventFilter(this);
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

    if (event->type() == QEvent::Wheel && (m_hooked || watched != m_area->viewport())) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        // Pack the distance the way the wheel message carries it and read it
        // back as its high word, so a distance of any size is one step.
        const std::int32_t wParam = std::int32_t(std::uint32_t(wheel->angleDelta().y()) << 16);
        step(HiWord(wParam));
        // The area's own wheel scrolling would add further lines.
        return true;
    }
    return QObject::eventFilter(watched, event);
}
