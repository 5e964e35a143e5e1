#pragma once
#include <QObject>

class QMdiArea;

// Turns every wheel event over the MDI area (its empty background, the
// document window and everything on it) into exactly one line step of the
// area's vertical scroll bar: up for a positive distance, down otherwise (0
// included), and only while that scroll bar is shown. Sideways wheel turns
// and swipes do not move it. A widget inside the document that scrolls by
// itself (the in-place editor) still gets the event.
class WheelScroll : public QObject
{
    Q_OBJECT
public:
    explicit WheelScroll(QMdiArea *area);

    // Starts watching; false when it was already watching.
    bool hook();
    // Stops watching; true also when it was not watching.
    bool unhook();
    bool isHooked() const { return m_hooked; }

    // One line step for a wheel distance; false when there is no scroll bar to move.
    bool step(int delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMdiArea *m_area;
    bool m_hooked = false;
};
