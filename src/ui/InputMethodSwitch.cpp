#include "ui/InputMethodSwitch.h"

#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
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

// The engines the user has set up, in the user's order: the desktop's input
// sources, then IBus's own list and order. Read once, at the first switch.
const QStringList &ConfiguredEngines()
{
    static const QStringList engines = [] {
        QStringList names;
        static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
        const QStringList keys[] = {
            {QStringLiteral("org.gnome.desktop.input-sources"), QStringLiteral("sources")},
            {QStringLiteral("org.freedesktop.ibus.general"), QStringLiteral("preload-engines")},
            {QStringLiteral("org.freedesktop.ibus.general"), QStringLiteral("engines-order")}};
        for (const QStringList &key : keys) {
            QProcess gsettings;
            gsettings.start(QStringLiteral("gsettings"), QStringList{QStringLiteral("get")} + key);
            if (!gsettings.waitForFinished(2000)) {
                gsettings.kill();
                gsettings.waitForFinished();
                continue;
            }
            const QString values = QString::fromUtf8(gsettings.readAllStandardOutput());
            for (auto it = quoted.globalMatch(values); it.hasNext();)
                names << it.next().captured(1);
        }
        return names;
    }();
    return engines;
}

bool IsJapaneseEngine(const QString &name)
{
    for (const char *engine : {"mozc", "anthy", "kkc", "skk", "m17n:ja:"})
        if (name.startsWith(QLatin1String(engine)))
            return true;
    return false;
}

// The engine that was active before the input method was switched on.
QString g_directEngine;
// Counts the switches asked for; only the latest is carried out.
quint64 g_ibusSwitches = 0;

QString EngineToSwitchTo(bool on)
{
    if (!on && !g_directEngine.isEmpty())
        return g_directEngine;
    for (const QString &name : ConfiguredEngines())
        if (on ? IsJapaneseEngine(name) : name.startsWith(QLatin1String("xkb:")))
            return name;
    return on ? QStringLiteral("mozc-jp") : QStringLiteral("xkb:jp::jpn");
}

// The name in IBus's description of an engine: (s a{sv} s ...), the type
// name, its attachments, then the engine's name.
QString EngineName(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    const QDBusArgument desc = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().value<QDBusArgument>();
    if (!desc.currentSignature().startsWith(QStringLiteral("(sa{sv}s")))
        return QString();
    QString type, name;
    QVariantMap attachments;
    desc.beginStructure();
    desc >> type >> attachments >> name;
    // Ending the structure lets go of what reading into it took.
    desc.endStructure();
    return name;
}

QDBusMessage IBusCall(const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.IBus"),
                                                       QStringLiteral("/org/freedesktop/IBus"),
                                                       QStringLiteral("org.freedesktop.IBus"), method);
    call.setAutoStartService(false);
    return call;
}

// Asks IBus for the engine in use first: one the user chose that already fits
// is left alone, and a direct one is remembered to return to.
void SendIBus(bool on)
{
    const QString address = IBusAddress();
    if (address.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("rydol-ibus"));
    if (!bus.isConnected())
        return;
    const quint64 request = ++g_ibusSwitches;
    auto *asked = new QDBusPendingCallWatcher(bus.asyncCall(IBusCall(QStringLiteral("GetGlobalEngine")), 1000));
    QObject::connect(asked, &QDBusPendingCallWatcher::finished, [bus, on, request](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QString current = EngineName(w->reply());
        const bool japanese = IsJapaneseEngine(current);
        if (!current.isEmpty() && !japanese)
            g_directEngine = current;
        if (request != g_ibusSwitches || (!current.isEmpty() && japanese == on))
            return;
        QDBusMessage call = IBusCall(QStringLiteral("SetGlobalEngine"));
        call << EngineToSwitchTo(on);
        bus.send(call);
    });
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
