#include "app/ui/IdleLock.h"

#include "app/AppState.h"
#include "app/ui/FStart.h"
#include "settings/DoctorPasswords.h"
#include "settings/ui/Fパスワード.h"
#include "storage/AuditTrail.h"
#include "storage/Ini.h"

#include <QApplication>
#include <QEvent>

IdleLock::IdleLock(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { lockNow(); });
    qApp->installEventFilter(this);
}

IdleLock &IdleLock::shared()
{
    static IdleLock *instance = new IdleLock(qApp);
    return *instance;
}

int IdleLock::configuredIdleMs()
{
    bool number = false;
    const int minutes = ReadIni(QStringLiteral("setting"), QStringLiteral("自動ロック分")).trimmed().toInt(&number);
    // More than a day is taken as a day rather than overflowing the timer.
    return number && minutes > 0 ? qMin(minutes, 24 * 60) * 60 * 1000 : 0;
}

void IdleLock::setIdleMs(int ms)
{
    m_idleMs = qMax(ms, 0);
    if (m_idleMs > 0)
        m_timer.start(m_idleMs);
    else
        m_timer.stop();
}

void IdleLock::lockNow()
{
    if (m_locked || m_idleMs <= 0)
        return;
    const int doctorId = CurrentDrID.toInt();
    // At the start window nobody works: choosing a doctor signs in anyway.
    const bool working = doctorId > 0 && !FStart::shared().isVisible();
    if (working && DoctorHasPassword(doctorId)) {
        m_locked = true;
        WriteAudit(audit::IdleLock(), CurrentDrID, QString(), 0, QString());
        Fパスワード::ask(Fパスワード::Mode::Unlock, doctorId, CurrentDrName);
        m_locked = false;
    }
    m_timer.start(m_idleMs);
}

bool IdleLock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        if (!m_locked && m_idleMs > 0)
            m_timer.start(m_idleMs);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void InstallIdleLock()
{
    IdleLock::shared().setIdleMs(IdleLock::configuredIdleMs());
}
