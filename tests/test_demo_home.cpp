#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FStart.h"
#include "document/ui/FM.h"
#include "document/ui/MenuArray.h"
#include "inserts/Phrases.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/UserSettings.h"
#include "templates/TemplateReader.h"
#include "templates/ui/BuildDocument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

// The demo home that ./run.sh prepares on first use, as a newcomer meets it.
namespace {

// Runs the real preparation script into folder; its output, or why it failed.
QString prepareDemoHome(const QString &folder)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), {QStringLiteral(RYDOL_SOURCE_DIR "/tools/make-demo-home.sh"), folder,
                                          QStringLiteral(RYDOL_DEMO_SEED_DIR)});
    if (!script.waitForFinished(60000))
        return QStringLiteral("did not finish");
    const QString output = QString::fromLocal8Bit(script.readAll());
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        return QStringLiteral("failed: ") + output;
    return output;
}

int runSeedAgain(const QString &folder)
{
    QProcess seed;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), folder);
    seed.setProcessEnvironment(env);
    seed.start(QStringLiteral(RYDOL_DEMO_SEED_DIR "/rydol-demo-seed"), {});
    return seed.waitForFinished(60000) ? seed.exitCode() : -1;
}

int count(const QString &table)
{
    QSqlQuery q(gDB());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(table)) && q.next() ? q.value(0).toInt() : -1;
}

QString onlyDoctorId()
{
    QSqlQuery q(gDB());
    return q.exec(QStringLiteral("SELECT ID FROM \"医師\" WHERE Del=0")) && q.next() ? q.value(0).toString() : QString();
}

} // namespace

class TestDemoHome : public QObject
{
    Q_OBJECT

private slots:
    void valueMenusAndPhrasesAreReadyToTry();
    void aDefaultDoctorAlreadyChosenIsKept();
};

void TestDemoHome::valueMenusAndPhrasesAreReadyToTry()
{
    AppHome h(false);
    CloseDB();
    const QString demo = h.home.folder() + QStringLiteral("/demo");
    const QString output = prepareDemoHome(demo);
    QVERIFY2(output.contains(QStringLiteral("Demo home prepared")), qPrintable(output));
    SetAppFolder(demo);
    QVERIFY(OpenDB());
    const QString doctor = onlyDoctorId();
    QVERIFY(!doctor.isEmpty());

    // The start window opens with the demo doctor chosen: one click on 患者選択 goes on.
    QCOMPARE(GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr")), doctor);
    FStart &start = FStart::shared();
    QCOMPARE(start.ComboDr->currentIndex(), 0);
    QCOMPARE(start.ComboDr->currentData().toString(), doctor);
    QVERIFY(start.Set_Dr());
    QCOMPARE(CurrentDrID, doctor);
    QVERIFY(h.prompts.asked.isEmpty());

    // Every ▼ button of every sample document offers a few values of its own.
    AppHome::setPatient(kPatientSato);
    h.loadMainWindow();
    const QStringList kinds = TemplateKinds();
    QVERIFY(kinds.size() >= 3);
    int buttons = 0;
    for (const QString &kind : kinds) {
        FM *doc = h.build(kind);
        QVERIFY2(doc, qPrintable(kind));
        for (int b = 0; b < doc->LbList.size(); ++b) {
            if (doc->LbList[b]->Tag.isEmpty())
                continue;
            doc->LbList_Click(b);
            doc->Mメニュー_Head->hide();
            QStringList shown;
            for (int i = 1; i < doc->Mメニュー.count(); ++i)
                if (doc->Mメニュー[i]->isVisible())
                    shown << doc->Mメニュー[i]->text();
            const QString item = doc->LbList[b]->toolTip();
            QVERIFY2(shown.size() >= 3, qPrintable(kind + u' ' + item + u' ' + shown.join(u',')));
            QCOMPARE(shown.removeDuplicates(), qsizetype(0));
            // A number field is offered numbers only: words would not save.
            const DocLabel *target = doc->LI(doc->LbList[b]->Tag);
            for (const QString &value : shown)
                QVERIFY2(!target || target->LinkItem != u"0" || value.toUInt(), qPrintable(item + u' ' + value));
            ++buttons;
        }
    }
    QVERIFY(buttons >= 7);
    QVERIFY(!PhraseClassesOf(doctor).isEmpty());

    // Seeding once more adds nothing twice.
    const int menus = count(QStringLiteral("メニュー"));
    const int phrases = count(QStringLiteral("定型文"));
    const int doctors = count(QStringLiteral("医師"));
    QCOMPARE(runSeedAgain(demo), 0);
    QCOMPARE(count(QStringLiteral("メニュー")), menus);
    QCOMPARE(count(QStringLiteral("定型文")), phrases);
    QCOMPARE(count(QStringLiteral("医師")), doctors);
    // And the script leaves an existing home alone.
    QCOMPARE(prepareDemoHome(demo), QString());
}

void TestDemoHome::aDefaultDoctorAlreadyChosenIsKept()
{
    TestHome home(false, false);
    SaveSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr"), QStringLiteral("7"));
    const QString output = prepareDemoHome(home.folder() + QStringLiteral("/demo"));
    QVERIFY2(output.contains(QStringLiteral("Demo home prepared")), qPrintable(output));
    QCOMPARE(GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr")), QStringLiteral("7"));
}

QTEST_MAIN(TestDemoHome)
#include "test_demo_home.moc"
