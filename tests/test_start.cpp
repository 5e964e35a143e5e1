#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/FStart.h"
#include "app/ui/StartIcons.h"
#include "ui/Fonts.h"
#include "app/ui/Main.h"
#include "ui/Navigation.h"
#include "settings/Doctors.h"
#include "storage/Database.h"
#include "storage/UserSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

const QString kNoDoctor = QStringLiteral("医師を選択してください");

QString storedDefault()
{
    return GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr"));
}

void choose(FStart &f, int id)
{
    f.ComboDr->setCurrentIndex(f.ComboDr->findData(id));
}

QStringList entries(const FStart &f)
{
    QStringList names;
    for (int i = 0; i < f.ComboDr->count(); ++i)
        names << f.ComboDr->itemText(i);
    return names;
}

} // namespace

class TestStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void init();
    void dataButtonsWithoutDoctorShowMessageAndStay();
    void tickedDoctorIsRememberedAndPreselected();
    void deletedDoctorsAndUnusableDefaultsAreIgnored();
    void settingsNeedsNoDoctorAndKeepsCurrentDoctor();
    void listIsReloadedOnlyAfterDoctorChanges();
    void exitButtonAndCloseBoxEndTheProgram();
    void mainOpensDatabaseMakesPatientOneCurrentAndShowsStart();
    void unreadableDatabaseStopsTheStart();
    void unreachableServerSaysSoAndTouchesNothing();
    void environmentChoosesTheStoreOverTheSettings();
    void captionsAreDrawnInAFaceWithJapanese();

private:
    QStringList m_hooks;
};

void TestStart::init()
{
    m_hooks.clear();
    nav().showSaveList = [this](bool finished) {
        m_hooks << (finished ? QStringLiteral("finished") : QStringLiteral("pending"));
    };
    nav().showPatientEntry = [this] { m_hooks << QStringLiteral("patient"); };
    nav().showSettings = [this] { m_hooks << QStringLiteral("settings"); };
    nav().showStart = [this] { m_hooks << QStringLiteral("start"); };
    nav().recoverDrafts = [this](const QString &id, auto &) {
        m_hooks << QStringLiteral("drafts of ") + id;
        return false;
    };
    CurrentDrID.clear();
    CurrentDrName.clear();
}

void TestStart::dataButtonsWithoutDoctorShowMessageAndStay()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田 太郎"));
    ScriptedPrompter prompter;
    FStart f;
    f.show();
    QCOMPARE(f.ComboDr->currentText(), QString());

    QTest::mouseClick(f.Cmd完了データ, Qt::LeftButton);
    QTest::mouseClick(f.Cmd保留データ, Qt::LeftButton);
    QTest::mouseClick(f.Cmd患者選択, Qt::LeftButton);
    QCOMPARE(prompter.messages, QStringList({kNoDoctor, kNoDoctor, kNoDoctor}));
    QVERIFY(m_hooks.isEmpty());
    QVERIFY(f.isVisible());
    QCOMPARE(CurrentDrID, QString());
    QCOMPARE(storedDefault(), QString());
}

void TestStart::tickedDoctorIsRememberedAndPreselected()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    const int sato = home.addDoctor(QStringLiteral("佐藤 次郎"));
    ScriptedPrompter prompter;
    {
        FStart f;
        f.show();
        choose(f, sato);
        emit f.ComboDr->activated(f.ComboDr->currentIndex());
        QCOMPARE(m_hooks, QStringList({QStringLiteral("drafts of %1").arg(sato)}));
        f.CheckDefaultDr->setChecked(true);
        QTest::mouseClick(f.Cmd保留データ, Qt::LeftButton);
        QVERIFY(prompter.messages.isEmpty());
        QCOMPARE(m_hooks, QStringList({QStringLiteral("drafts of %1").arg(sato), QStringLiteral("pending")}));
        QVERIFY(!f.isVisible());
        QCOMPARE(CurrentDrID, QString::number(sato));
        QCOMPARE(CurrentDrName, QStringLiteral("佐藤 次郎"));
        QCOMPARE(storedDefault(), QString::number(sato));
    }
    FStart next;
    QCOMPARE(next.ComboDr->currentText(), QStringLiteral("佐藤 次郎"));
    QVERIFY(!next.CheckDefaultDr->isChecked());

    // Another doctor, box not ticked: both doctor fields change, the default stays.
    next.show();
    choose(next, yamada);
    QTest::mouseClick(next.Cmd完了データ, Qt::LeftButton);
    QCOMPARE(m_hooks.last(), QStringLiteral("finished"));
    QCOMPARE(CurrentDrID, QString::number(yamada));
    QCOMPARE(CurrentDrName, QStringLiteral("山田 太郎"));
    QCOMPARE(storedDefault(), QString::number(sato));

    next.show();
    QTest::mouseClick(next.Cmd患者選択, Qt::LeftButton);
    QCOMPARE(m_hooks.last(), QStringLiteral("patient"));
    QVERIFY(!next.isVisible());
}

void TestStart::deletedDoctorsAndUnusableDefaultsAreIgnored()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田 太郎"));
    const int gone = home.addDoctor(QStringLiteral("退職 医師"), 1);
    home.addDoctor(QStringLiteral("佐藤 次郎"));

    SaveSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr"), QString::number(gone));
    FStart f;
    QCOMPARE(entries(f), QStringList({QStringLiteral("山田 太郎"), QStringLiteral("佐藤 次郎")}));
    QCOMPARE(f.ComboDr->currentIndex(), -1);

    SaveSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr"), QStringLiteral("abc"));
    f.Form_Load();
    QCOMPARE(f.ComboDr->currentIndex(), -1);
    QCOMPARE(f.ComboDr->count(), 2);
}

void TestStart::settingsNeedsNoDoctorAndKeepsCurrentDoctor()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田 太郎"));
    ScriptedPrompter prompter;
    CurrentDrID = QStringLiteral("7");
    CurrentDrName = QStringLiteral("前の 医師");
    FStart f;
    f.show();
    QTest::mouseClick(f.Cmd設定, Qt::LeftButton);
    QCOMPARE(m_hooks, QStringList({QStringLiteral("settings")}));
    QVERIFY(!f.isVisible());
    QVERIFY(prompter.asked.isEmpty());
    QCOMPARE(CurrentDrID, QStringLiteral("7"));
    QCOMPARE(CurrentDrName, QStringLiteral("前の 医師"));
}

void TestStart::listIsReloadedOnlyAfterDoctorChanges()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田 太郎"));
    const int sato = home.addDoctor(QStringLiteral("佐藤 次郎"));
    FStart f;
    choose(f, sato);
    f.CheckDefaultDr->setChecked(true);
    f.hide();

    // Nothing changed through the settings: the window comes back as it was left.
    home.addDoctor(QStringLiteral("外から 追加"));
    f.showAgain();
    QVERIFY(f.isVisible());
    QCOMPARE(f.ComboDr->count(), 2);
    QVERIFY(f.CheckDefaultDr->isChecked());

    QVERIFY(AddDoctor(QStringLiteral("新人 医師")));
    QVERIFY(RenameDoctor(sato, QStringLiteral("佐藤 二郎")));
    f.showAgain();
    QCOMPARE(f.ComboDr->count(), 4);
    QVERIFY(entries(f).contains(QStringLiteral("新人 医師")));
    QCOMPARE(f.ComboDr->currentText(), QStringLiteral("佐藤 二郎"));
    QCOMPARE(f.ComboDr->currentData().toInt(), sato);
    QVERIFY(f.CheckDefaultDr->isChecked());

    QVERIFY(MarkDoctorDeleted(sato));
    f.showAgain();
    QCOMPARE(f.ComboDr->count(), 3);
    QCOMPARE(f.ComboDr->currentIndex(), -1);
}

void TestStart::exitButtonAndCloseBoxEndTheProgram()
{
    TestHome home;
    FStart f;
    int ended = 0;
    f.endProgram = [&ended] { ++ended; };
    f.show();
    QTest::mouseClick(f.Cmd終了, Qt::LeftButton);
    f.close();
    QCOMPARE(ended, 2);
}

void TestStart::mainOpensDatabaseMakesPatientOneCurrentAndShowsStart()
{
    TestHome home;
    home.addPatient(QStringLiteral("1"), QStringLiteral("鈴木 一郎"), QStringLiteral("スズキ イチロウ"), 1, 19520314);
    home.addDoctor(QStringLiteral("山田 太郎"));
    CloseDB();
    QVERIFY(QDir(home.data(QStringLiteral("pic_save"))).removeRecursively());

    Main();
    QVERIFY(DatabaseIsOpen());
    QCOMPARE(PatientID, QStringLiteral("1"));
    QCOMPARE(PatientName, QStringLiteral("鈴木 一郎"));
    QVERIFY(QFileInfo(home.data(QStringLiteral("pic_save"))).isDir());
    FStart &start = FStart::shared();
    QVERIFY(start.isVisible());
    QCOMPARE(start.ComboDr->count(), 1);

    // A second start leaves existing page images alone.
    QDir().mkpath(home.data(QStringLiteral("pic_save/紹介状")));
    QFile image(home.data(QStringLiteral("pic_save/紹介状/1.png")));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write("png");
    image.close();
    Main();
    QVERIFY(QFile::exists(home.data(QStringLiteral("pic_save/紹介状/1.png"))));

    // The hooks are the real ones now: the start window comes back as it was left.
    start.hide();
    nav().showStart();
    QVERIFY(start.isVisible());
    start.hide();
}

void TestStart::unreadableDatabaseStopsTheStart()
{
    TestHome home;
    for (int i = 0; i < 300; ++i)
        home.addPatient(QString::number(i), QStringLiteral("患者 %1").arg(i), QStringLiteral("カンジャ"), 1, 19520314,
                        QStringLiteral("東京都千代田区千代田一丁目一番一号"));
    CloseDB();
    const QString path = home.data(QStringLiteral("Rydol.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    QVERIFY(whole.size() > 8 * 4096);
    QVERIFY(QDir(home.data(QStringLiteral("pic_save"))).removeRecursively());

    ScriptedPrompter prompts;
    const QList<QByteArray> damaged = {whole.left(whole.size() / 2), whole.left(100),
                                       QByteArray("Microsoft Jet DB").repeated(400)};
    for (const QByteArray &content : damaged) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        prompts.clear();
        QVERIFY(!Main());
        QCOMPARE(prompts.messages, QStringList{QStringLiteral("データベースを開けませんでした。\n") + path});
        QVERIFY(!DatabaseIsOpen());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        file.close();
        QCOMPARE(QDir(home.data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
                 QStringList({"Picture", "Rydol.db", "icon", "ini"}));
    }
    // A folder where the file should be.
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    prompts.clear();
    QVERIFY(!Main());
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("データベースを開けませんでした。\n") + path});
    QVERIFY(QDir(path).isEmpty());

    // The whole file opens again.
    QVERIFY(QDir().rmdir(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(whole);
    file.close();
    prompts.clear();
    QVERIFY(Main());
    QVERIFY(prompts.messages.isEmpty());
    FStart::shared().hide();
}

void TestStart::unreachableServerSaysSoAndTouchesNothing()
{
    TestHome home(false, false);
    QVERIFY(QDir(home.data(QStringLiteral("pic_save"))).removeRecursively());
    const QString nowhere = home.folder() + QStringLiteral("/no-server");
    QDir().mkpath(nowhere);
    const QString url = QStringLiteral("postgresql://rydol@/カルテ?host=") + nowhere;
    struct Case
    {
        QString setting;  // DB= in setting.ini
        QByteArray env;   // RYDOL_DB
        QString shown;
    };
    const QString unreachable = QStringLiteral("\nサーバーに届きません（止まっているか、アドレスが違います）。");
    const QList<Case> cases = {
        {url, QByteArray(), url + unreachable},
        {QStringLiteral("sqlite"), url.toUtf8(), url + unreachable},
        {QStringLiteral("postgresql://rydol@db.example:5433/"), QByteArray(),
         QStringLiteral("postgresql://rydol@db.example:5433/")},
        {QStringLiteral("mysql://rydol@db/rydol"), QByteArray(), QStringLiteral("mysql://rydol@db/rydol")},
    };
    for (const Case &c : cases) {
        home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\nDB=") + c.setting + QStringLiteral("\r\n"));
        if (c.env.isEmpty())
            qunsetenv("RYDOL_DB");
        else
            qputenv("RYDOL_DB", c.env);
        ScriptedPrompter prompter;
        QVERIFY(!Main());
        QCOMPARE(prompter.messages, QStringList{QStringLiteral("データベースに接続できませんでした: ") + c.shown});
        QVERIFY(!DatabaseIsOpen());
        QVERIFY(!FStart::shared().isVisible());
        QVERIFY(!QFileInfo::exists(home.data(QStringLiteral("pic_save"))));
        QVERIFY(!QFileInfo::exists(home.data(QStringLiteral("Rydol.db"))));
    }
    qunsetenv("RYDOL_DB");

    // A password in the setting is refused and never shown.
    home.writeIni(QStringLiteral("setting"),
                  QStringLiteral("[DATA]\r\nDB=postgresql://rydol:himitsu@/rydol?host=") + nowhere + QStringLiteral("\r\n"));
    ScriptedPrompter prompter;
    QVERIFY(!Main());
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.messages[0].startsWith(QStringLiteral("データベースに接続できませんでした: postgresql://rydol@/rydol?host=")));
    QVERIFY(!prompter.messages[0].contains(QStringLiteral("himitsu")));
}

void TestStart::environmentChoosesTheStoreOverTheSettings()
{
    TestHome home(false, false);
    home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\nDB=postgresql://rydol@/rydol?host=/nonexistent\r\n"));
    for (const QByteArray env : {QByteArray("sqlite"), QByteArray("SQLite ")}) {
        qputenv("RYDOL_DB", env);
        ScriptedPrompter prompter;
        QVERIFY(Main());
        QVERIFY(prompter.messages.isEmpty());
        QVERIFY(QFileInfo::exists(home.data(QStringLiteral("Rydol.db"))));
        FStart::shared().hide();
    }
    qunsetenv("RYDOL_DB");
    // An empty DB= is the embedded file too.
    home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\nDB=\r\n"));
    QVERIFY(Main());
    QVERIFY(DatabaseIsOpen());
    FStart::shared().hide();
}

// A desktop face without Japanese gives way to the stand-in for MS UI Gothic
// at the desktop's size; one with Japanese is kept. The data buttons'
// pictures are drawn when asked for, greyed when disabled.
void TestStart::captionsAreDrawnInAFaceWithJapanese()
{
    const QFont saved = QGuiApplication::font();
    for (const char *desktop : {"DejaVu Sans", "Sans Serif", "IPAGothic"}) {
        QFont font = saved;
        font.setFamily(QString::fromUtf8(desktop));
        font.setPointSizeF(10.5);
        QGuiApplication::setFont(font);
        InstallUiFont();
        const QFont ui = QGuiApplication::font();
        QVERIFY2(QFontDatabase::writingSystems(ui.family()).contains(QFontDatabase::Japanese), desktop);
        QCOMPARE(ui.pointSizeF(), 10.5);
        if (qstrcmp(desktop, "IPAGothic") == 0)
            QCOMPARE(ui.family(), QStringLiteral("IPAGothic"));
    }
    QGuiApplication::setFont(saved);

    const QIcon icon = FinishedDocumentsIcon();
    const QImage normal = icon.pixmap(48, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(48, QIcon::Disabled).toImage();
    QCOMPARE(normal.size(), QSize(48, 48));
    QVERIFY(normal != disabled);
    int drawn = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            drawn += qAlpha(normal.pixel(x, y)) > 0;
    QVERIFY(drawn > 200);
}

QTEST_MAIN(TestStart)
#include "test_start.moc"
