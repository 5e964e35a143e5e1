#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/FStart.h"
#include "app/ui/IdleLock.h"
#include "settings/DoctorPasswords.h"
#include "settings/ui/F設定.h"
#include "settings/ui/Fパスワード.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "ui/Fonts.h"
#include "ui/Navigation.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>
#include <QtTest>

namespace {

const QString kWrong = QStringLiteral("パスワードが違います");

// Answers each password window that comes up with the next entry (new
// passwords: the text in both boxes); with none left it presses キャンセル.
struct PasswordTyping : QObject
{
    QStringList entries;
    QStringList seen; // the explanation of each window, once per window
    PasswordTyping()
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { answer(); });
        timer->start(10);
    }
    void answer()
    {
        auto *w = dynamic_cast<Fパスワード *>(QApplication::activeModalWidget());
        if (!w || !w->isVisible())
            return;
        if (!w->property("seen").toBool())
            seen << w->Lb説明->text();
        w->setProperty("seen", true);
        if (entries.isEmpty()) {
            w->Cmdキャンセル->click();
            return;
        }
        const QString text = entries.takeFirst();
        w->Txtパスワード->setText(text);
        if (w->Txt確認)
            w->Txt確認->setText(text);
        w->CmdOK->click();
    }
};

QStringList auditOperations()
{
    QStringList out;
    for (const AuditRow &r : ReadAudit(QString(), {}, {}, 100))
        out.prepend(r.doctorId + u' ' + r.operation);
    return out;
}

void choose(FStart &f, int id)
{
    f.ComboDr->setCurrentIndex(f.ComboDr->findData(id));
}

} // namespace

class TestSignIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InstallFontSubstitutes();
        UseFastPasswordHashing();
    }
    void startAsksPasswordAndLocksOutAfterFiveWrongOnes();
    void settingsSetChangeAndRemoveOwnPassword();
    void idleLockAsksAgainOverOpenWork();
};

void TestSignIn::startAsksPasswordAndLocksOutAfterFiveWrongOnes()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    const int sato = home.addDoctor(QStringLiteral("佐藤 次郎"));
    QVERIFY(SetDoctorPassword(yamada, QStringLiteral("正しい-pass")));
    // Kept only as a salted Argon2id hash.
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("SELECT \"ハッシュ\" FROM \"医師認証\"")) && q.next());
    QVERIFY(q.value(0).toString().startsWith(QStringLiteral("$argon2id$")));
    QVERIFY(!q.value(0).toString().contains(QStringLiteral("pass")));

    QStringList hooks;
    nav().showPatientEntry = [&] { hooks << CurrentDrID; };
    nav().recoverDrafts = [&](const QString &id, auto &) { hooks << QStringLiteral("drafts ") + id; return false; };
    ScriptedPrompter prompter;
    PasswordTyping typing;
    FStart f;
    f.show();
    // Without a password nothing is asked.
    choose(f, sato);
    f.Cmd患者選択->click();
    QCOMPARE(hooks, QStringList{QString::number(sato)});
    QVERIFY(typing.seen.isEmpty());

    // Cancelled, then four wrong ones and the fifth: locked out.
    hooks.clear();
    f.showAgain();
    choose(f, yamada);
    emit f.ComboDr->activated(f.ComboDr->currentIndex()); // drafts wait for the password
    f.Cmd患者選択->click();
    typing.entries = QStringList(5, QStringLiteral("違う"));
    f.Cmd患者選択->click();
    QCOMPARE(prompter.messages.mid(0, 4), QStringList(4, kWrong));
    QVERIFY(prompter.messages.value(4).startsWith(QStringLiteral("パスワードを5回間違えたため、")));
    QVERIFY(hooks.isEmpty());
    QCOMPARE(CurrentDrID, QString::number(sato));

    // The lock-out holds after a restart, even for the right password.
    CloseDB();
    QVERIFY(OpenDB());
    FStart again;
    again.show();
    choose(again, yamada);
    typing.entries = {QStringLiteral("正しい-pass")};
    again.Cmd患者選択->click();
    QCOMPARE(prompter.messages.size(), 6);
    QVERIFY(hooks.isEmpty());

    // Once it has run out, the right password signs in; drafts are offered then.
    QVERIFY(QSqlQuery(gDB()).exec(QStringLiteral("UPDATE \"医師認証\" SET \"ロック期限\"=1")));
    typing.entries = {QStringLiteral("正しい-pass")};
    again.Cmd患者選択->click();
    QCOMPARE(hooks, (QStringList{QStringLiteral("drafts %1").arg(yamada), QString::number(yamada)}));
    QCOMPARE(typing.seen.size(), 4);
    QCOMPARE(typing.seen[0], QStringLiteral("『山田 太郎』のパスワードを入力してください。"));
    const QString id = QString::number(yamada);
    QCOMPARE(auditOperations(), (QStringList{id + QStringLiteral(" パスワード設定"), id + QStringLiteral(" ロックアウト"),
                                             id + QStringLiteral(" サインイン")}));
    nav() = Navigation();
}

void TestSignIn::settingsSetChangeAndRemoveOwnPassword()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    ScriptedPrompter prompter;
    PasswordTyping typing;
    F設定 w;
    w.ListDr->setCurrentRow(0);

    // A new password needs no old one.
    typing.entries = {QStringLiteral("一")};
    w.CmdDrパスワード->click();
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("パスワードを設定しました。")});
    QVERIFY(DoctorHasPassword(yamada));

    // Changing asks the current one first: a wrong one changes nothing.
    typing.entries = {QStringLiteral("違う")};
    w.CmdDrパスワード->click();
    w.CmdDrパスワード削除->click();
    QCOMPARE(prompter.messages.mid(1), (QStringList{kWrong}));
    QCOMPARE(CheckDoctorPassword(yamada, QStringLiteral("一")).outcome, PasswordCheck::Accepted);

    typing.entries = {QStringLiteral("一"), QStringLiteral("二")};
    w.CmdDrパスワード->click();
    QCOMPARE(CheckDoctorPassword(yamada, QStringLiteral("二")).outcome, PasswordCheck::Accepted);

    // Removing: the current one, then Yes.
    typing.entries = {QStringLiteral("二")};
    prompter.answers = {true};
    w.CmdDrパスワード削除->click();
    QCOMPARE(prompter.questions, QStringList{QStringLiteral("『山田 太郎』のパスワードを削除してもいいですか？")});
    QVERIFY(!DoctorHasPassword(yamada));
    QCOMPARE(prompter.messages.last(), QStringLiteral("パスワードを削除しました。"));
}

void TestSignIn::idleLockAsksAgainOverOpenWork()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    QVERIFY(SetDoctorPassword(yamada, QStringLiteral("pw")));
    CurrentDrID = QString::number(yamada);
    CurrentDrName = QStringLiteral("山田 太郎");
    FStart::shared().hide();
    ScriptedPrompter prompter;
    QLineEdit work;
    work.setText(QStringLiteral("書きかけ"));
    work.show();

    IdleLock lock;
    // Typing keeps it from locking.
    PasswordTyping typing;
    typing.entries = {QStringLiteral("pw")};
    lock.setIdleMs(600);
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(&work, Qt::Key_Shift);
        QTest::qWait(100);
    }
    QCOMPARE(ReadAudit(QString(), {}, {}, 10).size(), 1);

    // Left alone, it locks; only the right password ends the window.
    typing.entries = {QStringLiteral("x"), QString(), QStringLiteral("pw")};
    lock.setIdleMs(50);
    QTRY_VERIFY(!typing.seen.isEmpty()); // back only once unlocked
    lock.setIdleMs(0);
    QVERIFY(typing.entries.isEmpty() && !lock.isLocked());
    QCOMPARE(prompter.messages, (QStringList{kWrong, kWrong}));
    QVERIFY(typing.seen[0].startsWith(QStringLiteral("しばらく操作がなかったため、ロックしました。")));
    QVERIFY(work.isVisible());
    QCOMPARE(work.text(), QStringLiteral("書きかけ"));
    const QStringList rows = auditOperations();
    QCOMPARE(rows.mid(1), (QStringList{CurrentDrID + QStringLiteral(" 自動ロック"),
                                       CurrentDrID + QStringLiteral(" ロック解除")}));
}

QTEST_MAIN(TestSignIn)
#include "test_sign_in.moc"
