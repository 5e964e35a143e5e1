#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "app/ui/FStart.h"
#include "app/ui/Main.h"
#include "document/ui/FM.h"
#include "document/ui/FreeEdit.h"
#include "inserts/ui/FImg.h"
#include "inserts/ui/FSet.h"
#include "inserts/ui/FSet_Save.h"
#include "inserts/ui/F文字挿入.h"
#include "patients/ui/F患者情報入力.h"
#include "persistence/ui/FSaveList.h"
#include "settings/ui/F設定.h"
#include "ui/Fonts.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

// Where windows opened by other windows appear, and at what size, in the
// running program (the real message boxes included).
namespace {

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Opened over owner: centred on it (as far as the screen allows), inside the
// screen, and large enough for its content.
void checkOver(const QWidget *window, const QRect &owner, const char *what)
{
    QVERIFY2(window->isVisible(), what);
    const QRect at = window->frameGeometry();
    QVERIFY2(screenArea().contains(at), qPrintable(QStringLiteral("%1: %2,%3 %4x%5 min %6x%7").arg(QString::fromUtf8(what)).arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height()).arg(window->minimumSizeHint().width()).arg(window->minimumSizeHint().height())));
    const QSize hint = window->sizeHint().boundedTo(screenArea().size());
    QVERIFY2(window->width() >= hint.width() && window->height() >= hint.height(),
             qPrintable(QStringLiteral("%1: %2x%3 for %4x%5").arg(QString::fromUtf8(what)).arg(window->width())
                            .arg(window->height()).arg(hint.width()).arg(hint.height())));
    // Centred, except where that would leave the screen.
    QRect wanted(QPoint(0, 0), at.size());
    wanted.moveCenter(owner.center());
    wanted.moveLeft(std::clamp(wanted.left(), screenArea().left(), screenArea().right() + 1 - wanted.width()));
    wanted.moveTop(std::clamp(wanted.top(), screenArea().top(), screenArea().bottom() + 1 - wanted.height()));
    QVERIFY2((at.topLeft() - wanted.topLeft()).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1 at %2,%3, not %4,%5").arg(QString::fromUtf8(what)).arg(at.x()).arg(at.y())
                            .arg(wanted.x()).arg(wanted.y())));
}

// Answers the next message box of the real prompter with OK, noting its text and place.
struct BoxWatch
{
    QString text;
    QRect at;
    QTimer timer;
    BoxWatch()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box && box->isVisible()) {
                    text = box->text();
                    at = box->frameGeometry();
                    timer.stop();
                    box->accept();
                    return;
                }
            }
        });
        timer.start();
    }
};

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void theScreenIsALaptopScreen();
    void windowsOfTheStartWindowOpenOverIt();
    void dialogsOfTheMainWindowOpenOverIt();
};

void TestPlacement::theScreenIsALaptopScreen()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1366, 768));
}

void TestPlacement::windowsOfTheStartWindowOpenOverIt()
{
    AppHome h;
    h.admit(kPatientSato);
    const int doctor = h.home.addDoctor(QStringLiteral("山田 太郎"));
    setPrompter(nullptr); // the real message boxes
    Main();
    FStart &start = FStart::shared();
    checkOver(&start, screenArea(), "start window");

    // Moved by the user: what it opens comes up over it where it now is.
    start.move(30, 40);
    const QRect startAt = start.frameGeometry();
    QTest::mouseClick(start.Cmd設定, Qt::LeftButton);
    F設定 &settings = F設定::shared();
    checkOver(&settings, startAt, "settings");
    QVERIFY(!start.isVisible());

    // 適用 says so in a box over the settings window.
    {
        BoxWatch box;
        settings.Txt病院名->setText(QStringLiteral("ライドル総合病院"));
        QTest::mouseClick(settings.Cmd初期設定適用, Qt::LeftButton);
        QCOMPARE(box.text, QStringLiteral("設定を保存しました。"));
        QRect wanted(QPoint(0, 0), box.at.size());
        wanted.moveCenter(settings.frameGeometry().center());
        QVERIFY2((box.at.center() - wanted.center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(box.at.x()).arg(box.at.y())));
    }
    QTest::keyClick(&settings, Qt::Key_Escape);
    QVERIFY(!settings.isVisible());
    QVERIFY(start.isVisible());
    QCOMPARE(start.frameGeometry(), startAt);

    start.ComboDr->setCurrentIndex(start.ComboDr->findData(doctor));
    QTest::mouseClick(start.Cmd患者選択, Qt::LeftButton);
    F患者情報入力 &entry = F患者情報入力::shared();
    checkOver(&entry, startAt, "patient entry");
    entry.close();
    QTRY_VERIFY(start.isVisible());
    QTest::mouseClick(start.Cmd保留データ, Qt::LeftButton);
    QVERIFY(FSaveList::exists());
    checkOver(FSaveList::instance(), startAt, "saved documents");
    FSaveList::instance()->close();
    start.hide();
}

void TestPlacement::dialogsOfTheMainWindowOpenOverIt()
{
    AppHome h(true);
    AppHome::setDoctor(QString::number(h.home.addDoctor(QStringLiteral("山田 太郎"))), QStringLiteral("山田 太郎"));
    AppHome::setPatient(kPatientSato);
    InstallFreeEditHooks();
    FHead &head = h.loadMainWindow(true);
    head.setGeometry(60, 30, 700, 520);
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    const QRect headAt = head.frameGeometry();

    head.CmdImg_Click();
    FImg *pictures = FImg::loaded();
    QVERIFY(pictures);
    checkOver(pictures, headAt, "picture dialog");
    FImg::unload();

    head.Cmd文字の挿入_Click();
    checkOver(F文字挿入::loaded(), headAt, "text dialog");
    F文字挿入::unload();

    FSet *phrases = FSet::showShared();
    checkOver(phrases, headAt, "phrase picker");
    phrases->Cmd追加_Click();
    checkOver(FSet_Save::loaded(), headAt, "phrase editor");
    FSet_Save::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Without an owner a window opens in the middle of the screen.
    QWidget lone;
    lone.resize(200, 100);
    ShowOver(&lone, nullptr);
    checkOver(&lone, screenArea(), "lone window");
}

// The screen the windows are placed on is the 1366 x 768 laptop screen the
// program has to fit.
int main(int argc, char *argv[])
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QTemporaryDir dir;
    if (platform.isEmpty() || platform == "offscreen") {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    TestPlacement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_placement.moc"
