#include "ui/IdleMessage.h"

#include "ui/Prompter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace {

class InputWatch : public QObject
{
public:
    explicit InputWatch(QObject *parent)
        : QObject(parent)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { showWaiting(); });
        parent->installEventFilter(this);
    }

    void add(const QString &text)
    {
        m_waiting << text;
        showWaiting();
    }

    int pause = 1500;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            m_lastInput.start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void showWaiting()
    {
        const qint64 idle = m_lastInput.isValid() ? m_lastInput.elapsed() : pause;
        if (idle < pause) {
            m_timer.start(int(pause - idle));
            return;
        }
        // Taken before each box: one shown meanwhile (the box runs events)
        // is not shown twice.
        while (!m_waiting.isEmpty())
            prompter().message(m_waiting.takeFirst());
    }

    QElapsedTimer m_lastInput;
    QStringList m_waiting;
    QTimer m_timer;
};

QPointer<InputWatch> g_watch;

InputWatch *watch()
{
    if (!g_watch && QCoreApplication::instance())
        g_watch = new InputWatch(QCoreApplication::instance());
    return g_watch;
}

} // namespace

void WatchUserInput()
{
    watch();
}

void MessageWhenIdle(const QString &text)
{
    if (InputWatch *w = watch())
        w->add(text);
    else
        prompter().message(text);
}

void SetIdlePause(int ms)
{
    if (InputWatch *w = watch())
        w->pause = ms;
}
