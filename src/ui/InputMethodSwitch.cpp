#include "ui/InputMethodSwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace {

bool UsesIBus()
{
    const QByteArray module = qgetenv("QT_IM_MODULE");
    if (!module.isEmpty())
        return module == "ibus";
    return qgetenv("XMODIFIERS").contains("@im=ibus");
}

// IBus runs a bus of its own; its address is in the environment or in the
// newest file of ~/.config/ibus/bus/.
QString IBusAddress()
{
    const QString fromEnvironment = qEnvironmentVariable("IBUS_ADDRESS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QDir busDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                      + QStringLiteral("/ibus/bus"));
    const QFileInfoList files = busDir.entryInfoList(QDir::Files, QDir::Time);
    if (files.isEmpty())
        return QString();
    QFile file(files.first().filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("IBUS_ADDRESS="))
            return QString::fromUtf8(line.mid(int(qstrlen("IBUS_ADDRESS="))));
    }
    return QString();
}

void SendFcitx(const QString &method)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.fcitx.Fcitx5"),
                                                       QStringLiteral("/controller"),
                                                       QStringLiteral("org.fcitx.Fcitx.Controller1"), method);
    // An input method that is not running must not be started for us.
    call.setAutoStartService(false);
    bus.send(call);
}

void SendIBus(bool on)
{
    const QString address = IBusAddress();
    if (address.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("rydol-ibus"));
    if (!bus.isConnected())
        return;
    const QString engine = on ? QStringLiteral("mozc-jp") : QStringLiteral("xkb:jp::jpn");
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.IBus"),
                                                       QStringLiteral("/org/freedesktop/IBus"),
                                                       QStringLiteral("org.freedesktop.IBus"),
                                                       QStringLiteral("SetGlobalEngine"));
    call << engine;
    call.setAutoStartService(false);
    bus.send(call);
}

void Switch(bool on)
{
    if (UsesIBus())
        SendIBus(on);
    else
        SendFcitx(on ? QStringLiteral("Activate") : QStringLiteral("Deactivate"));
}

class FocusFollower : public QObject
{
public:
    FocusFollower(QWidget *widget, bool on)
        : QObject(widget)
        , m_on(on)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn)
            Switch(m_on);
        return false;
    }

private:
    bool m_on;
};

} // namespace

void InputMethodSwitch::switchOn()
{
    Switch(true);
}

void InputMethodSwitch::switchOff()
{
    Switch(false);
}

void InputMethodSwitch::followFocus(QWidget *widget, bool on)
{
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_InputMethodEnabled, on);
    widget->installEventFilter(new FocusFollower(widget, on));
}
