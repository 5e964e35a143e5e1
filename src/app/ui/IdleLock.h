#pragma once
#include <QObject>
#include <QTimer>

// After a stretch without keyboard or mouse input the program asks the
// current doctor's password again before anything else can be done, over
// every window, leaving what is open and unsaved as it is. Only a doctor who
// has a password is asked, and only while someone works past the start
// window. The stretch is [DATA] 自動ロック分 of setting.ini, in minutes;
// absent or 0: never.
class IdleLock : public QObject
{
public:
    // A lock that is deleted stops watching by itself.
    explicit IdleLock(QObject *parent = nullptr);

    // The one lock of the run, watching the input of the whole application.
    static IdleLock &shared();
    // 自動ロック分 in milliseconds, 0 when off.
    static int configuredIdleMs();

    // 0 stops the lock.
    void setIdleMs(int ms);
    int idleMs() const { return m_idleMs; }
    // Locks at once (when the stretch has passed); returns once unlocked.
    void lockNow();
    // Whether the password window is up.
    bool isLocked() const { return m_locked; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTimer m_timer;
    int m_idleMs = 0;
    bool m_locked = false;
};

// Reads 自動ロック分 and starts the shared lock.
void InstallIdleLock();
