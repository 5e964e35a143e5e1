#pragma once
#include <QObject>

class QWidget;

class QMdiArea;

// Turns every wheel event that reaches the MDI area into exactly one line
// step of its vertical scroll bar (up for a positive distance, down
// otherwise, 0 included), and only while that scroll bar is shown.
class WheelScroll : public QObject
{
    Q_OBJECT
public:
    explicit WheelScroll(QMdiArea *area);

    // Installs the filter on the area's viewport; false when it was already there.
    bool hook();
    // Removes it; true also when it was not installed.
    bool unhook();
    bool isHooked() const { return m_hooked; }
    // Wheel events that stop inside the document window (its frame does not
    // pass them on) are caught there as well.
    void hookDocument(QWidget *document);

    // One line step for a wheel distance; false when there is no scroll bar to move.
    bool step(int delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMdiArea *m_area;
    bool m_hooked = false;
};
