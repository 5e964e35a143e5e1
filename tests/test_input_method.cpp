#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "patients/ui/F患者情報入力.h"
#include "templates/ui/BuildDocument.h"
#include "ui/InputMethodSwitch.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The input method's controller as fcitx5 offers it on the session bus; this
// stand-in only writes down what it is asked.
class ControllerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")
public:
    QStringList calls;
public slots:
    void Activate() { calls << QStringLiteral("on"); }
    void Deactivate() { calls << QStringLiteral("off"); }
    int State() { return calls.isEmpty() || calls.last() == QStringLiteral("off") ? 1 : 2; }
};

// IBus's daemon as far as switching engines goes.
class IBusStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.IBus")
public:
    QString engine = QStringLiteral("xkb:us::eng");
    QStringList set;
public slots:
    QDBusVariant GetGlobalEngine()
    {
        QDBusArgument desc; // type name, attachments, engine name, ...
        desc.beginStructure();
        desc << QStringLiteral("IBusEngineDesc") << QVariantMap() << engine;
        desc.endStructure();
        return QDBusVariant(QVariant::fromValue(desc));
    }
    void SetGlobalEngine(const QString &name) { set << (engine = name); }
};

namespace {

QString g_busAddress;

// Text (所見), number (体温) and memo (経過) fields; reading order 体温, 所見, 経過.
const QStringList kTemplate{
    QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
    QStringLiteral("lbItem_0=3000|500|2000|300|1||ＭＳ 明朝|10.5|0|2|所見|1|"),
    QStringLiteral("lbItem_1=500|500|1500|300|2||ＭＳ 明朝|10.5|0|3|体温|0|"),
    QStringLiteral("lbItem_2=500|1000|5000|600|0||ＭＳ 明朝|10.5|0|4|経過|2|"),
};

struct StandInService
{
    QDBusConnection bus;
    ControllerStandIn controller;
    StandInService()
        : bus(QDBusConnection::connectToBus(g_busAddress, QStringLiteral("stand-in")))
    {
        bus.registerObject(QStringLiteral("/controller"), &controller, QDBusConnection::ExportAllSlots);
        bus.registerService(QStringLiteral("org.fcitx.Fcitx5"));
    }
    ~StandInService()
    {
        bus.unregisterService(QStringLiteral("org.fcitx.Fcitx5"));
        bus.unregisterObject(QStringLiteral("/controller"));
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
    }
    // Waits until the n-th call has arrived and returns it.
    QString call(int n)
    {
        // A call that never came reads "(no call)" in the comparison that follows.
        if (!QTest::qWaitFor([&] { return controller.calls.size() >= n; }, 3000))
            return QStringLiteral("(no call)");
        return controller.calls.value(n - 1);
    }
};

// Key presses carrying text, as an input method hands over what it composed.
void Type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void Focus(QWidget *w)
{
    w->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

} // namespace

class TestInputMethod : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!g_busAddress.isEmpty(), "no private session bus (dbus-daemon)"); }
    void editorSwitchesByFieldKindOnClickAndTab();
    void patientWindowSwitchesPerBox();
    void fullWidthDigitsAreTakenAsAscii();
    void withoutAnInputMethodNothingIsSaid();
    void ibusTakesTheUsersJapaneseEngineAndReturnsToTheOneBefore();
    void ibusIsReachedThroughItsNewestBusFile();
};

void TestInputMethod::editorSwitchesByFieldKindOnClickAndTab()
{
    StandInService service;
    AppHome h;
    CurrentDrID = QStringLiteral("1");
    h.writeTemplate(QStringLiteral("検査票"), kTemplate);
    h.loadMainWindow(true);
    FM *doc = h.build(QStringLiteral("検査票"));
    QVERIFY(doc);
    doc->LbItem_Click(0); // text, by click
    QCOMPARE(service.call(1), QStringLiteral("on"));
    doc->TxtInput_KeyDown(9, 0); // Tab: 経過, a memo
    QCOMPARE(service.call(2), QStringLiteral("on"));
    doc->TxtInput_KeyDown(9, 1); // Shift+Tab back to 所見, then to 体温, a number
    doc->TxtInput_KeyDown(9, 1);
    QCOMPARE(service.call(4), QStringLiteral("off"));
    doc->LbItem_Click(2); // memo by click
    QCOMPARE(service.call(5), QStringLiteral("on"));
}

void TestInputMethod::patientWindowSwitchesPerBox()
{
    StandInService service;
    TestHome home;
    F患者情報入力 &w = F患者情報入力::shared();
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QList<QPair<QLineEdit *, QString>> boxes{
        {w.TxtID, QStringLiteral("off")},   {w.TxtName, QStringLiteral("on")},
        {w.TxtKana, QStringLiteral("on")},  {w.TxtSY, QStringLiteral("off")},
        {w.TxtAddress, QStringLiteral("on")}, {w.TxtSM, QStringLiteral("off")},
        {w.TxtSD, QStringLiteral("off")},   {w.Txtカナ名, QStringLiteral("on")},
        {w.TxtID, QStringLiteral("off")},   {w.TxtName, QStringLiteral("on")},
    };
    int n = 0;
    for (const auto &[box, expected] : boxes) {
        Focus(box);
        QVERIFY(box->hasFocus());
        QCOMPARE(service.call(++n), expected);
        QCOMPARE(box->testAttribute(Qt::WA_InputMethodEnabled), expected == QStringLiteral("on"));
    }
    w.hide();
}

void TestInputMethod::fullWidthDigitsAreTakenAsAscii()
{
    AppHome h;
    F患者情報入力 &w = F患者情報入力::shared();
    w.show();
    for (QLineEdit *box : {w.TxtSY, w.TxtSM, w.TxtSD}) {
        box->clear();
        Type(box, QStringLiteral("１２"));
        QCOMPARE(box->text(), QStringLiteral("12"));
        Type(box, QStringLiteral("あ"));
        QCOMPARE(box->text(), QStringLiteral("12")); // still digits only
    }
    w.TxtID->clear();
    Type(w.TxtID, QStringLiteral("０１２３"));
    QCOMPARE(w.TxtID->text(), QStringLiteral("0123"));
    w.hide();

    CurrentDrID = QStringLiteral("1");
    h.writeTemplate(QStringLiteral("検査票"), kTemplate);
    h.loadMainWindow(true);
    FM *doc = h.build(QStringLiteral("検査票"));
    QVERIFY(doc);
    doc->LbItem_Click(1); // 体温, a number
    doc->TxtInput->setText(QStringLiteral("３６．５"));
    doc->TxtInput_KeyDown(9, 0); // Tab commits
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("36.5"));
    doc->TxtInput->setText(QStringLiteral("３６度")); // a text field keeps what was typed
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("３６度"));
}

namespace {
QStringList g_messages;
void Collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages << message;
}
} // namespace

void TestInputMethod::withoutAnInputMethodNothingIsSaid()
{
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.fcitx.Fcitx5")));
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    for (int i = 0; i < 20; ++i) {
        InputMethodSwitch::switchOn();
        InputMethodSwitch::switchOff();
    }
    QTest::qWait(100);
    qInstallMessageHandler(previous);
    QCOMPARE(g_messages, QStringList());
}

void TestInputMethod::ibusTakesTheUsersJapaneseEngineAndReturnsToTheOneBefore()
{
    QTemporaryDir bin; // IBus set up with anthy before mozc, as gsettings tells
    QFile gsettings(bin.filePath(QStringLiteral("gsettings")));
    QVERIFY(gsettings.open(QIODevice::WriteOnly)
            && gsettings.write("#!/bin/sh\n[ \"$3\" = preload-engines ] && "
                               "echo \"['xkb:us::eng', 'anthy', 'mozc-jp']\"\n"));
    gsettings.close();
    gsettings.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", bin.path().toUtf8() + ':' + qgetenv("PATH"));
    qputenv("QT_IM_MODULE", "ibus");
    qputenv("IBUS_ADDRESS", g_busAddress.toUtf8());
    QDBusConnection bus = QDBusConnection::connectToBus(g_busAddress, QStringLiteral("ibus-stand-in"));
    IBusStandIn ibus;
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/IBus"), &ibus, QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.IBus")));
    auto step = [&](bool on) {
        on ? InputMethodSwitch::switchOn() : InputMethodSwitch::switchOff();
        return QTest::qWaitFor([&, n = ibus.set.size()] { return ibus.set.size() > n; }, 3000);
    };
    QVERIFY(step(true));
    InputMethodSwitch::switchOn(); // already on: left as it is
    QVERIFY(step(false));
    ibus.engine = QStringLiteral("xkb:de::ger"); // chosen by the user meanwhile
    QVERIFY(step(true) && step(false));
    QCOMPARE(ibus.set, QStringList({"anthy", "xkb:us::eng", "anthy", "xkb:de::ger"}));
    bus.unregisterService(QStringLiteral("org.freedesktop.IBus"));
    qunsetenv("QT_IM_MODULE");
}

// IBus leaves one file per display it ran on; the newest names the bus of
// the IBus that runs now.
void TestInputMethod::ibusIsReachedThroughItsNewestBusFile()
{
    QTemporaryDir config;
    QVERIFY(QDir().mkpath(config.filePath(QStringLiteral("ibus/bus"))));
    const QDateTime now = QDateTime::currentDateTime();
    const QList<QPair<QString, QDateTime>> files{{QStringLiteral("unix:path=/nonexistent/ibus"), now.addDays(-3)},
                                                 {g_busAddress, now},
                                                 {QStringLiteral("unix:path=/nonexistent/ibus-2"), now.addDays(-1)}};
    for (int i = 0; i < files.size(); ++i) {
        QFile f(config.filePath(QStringLiteral("ibus/bus/machine-unix-%1").arg(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# written by ibus\nIBUS_ADDRESS=" + files[i].first.toUtf8() + "\nIBUS_DAEMON_PID=1\n");
        QVERIFY(f.flush());
        QVERIFY(f.setFileTime(files[i].second, QFileDevice::FileModificationTime));
    }
    QDBusConnection bus = QDBusConnection::connectToBus(g_busAddress, QStringLiteral("ibus-stand-in"));
    IBusStandIn ibus;
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/IBus"), &ibus, QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.IBus")));
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("QT_IM_MODULE", "ibus");
    qunsetenv("IBUS_ADDRESS");
    InputMethodSwitch::switchOn();
    const bool reached = QTest::qWaitFor([&] { return !ibus.set.isEmpty(); }, 3000);
    qunsetenv("QT_IM_MODULE");
    qunsetenv("XDG_CONFIG_HOME");
    bus.unregisterService(QStringLiteral("org.freedesktop.IBus"));
    QDBusConnection::disconnectFromBus(QStringLiteral("ibus-stand-in"));
    QVERIFY(reached);
}

// The tests talk to a session bus of their own, never to the desktop's.
int main(int argc, char **argv)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
        g_busAddress = QString::fromUtf8(daemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", g_busAddress.toUtf8());
    qunsetenv("QT_IM_MODULE");
    qunsetenv("XMODIFIERS");
    int result = 0;
    {
        QApplication app(argc, argv);
        TestInputMethod test;
        result = QTest::qExec(&test, argc, argv);
    }
    daemon.kill();
    daemon.waitForFinished(3000);
    return result;
}

#include "test_input_method.moc"
