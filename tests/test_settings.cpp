#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "ui/Fonts.h"
#include "ui/Navigation.h"
#include "settings/ui/F設定.h"
#include "settings/ui/F操作履歴.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Ini.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kPrompt = QStringLiteral("医師名を入力して下さい。");
const QString kNotSaved = QStringLiteral("保存できませんでした。");
const QString kSaved = QStringLiteral("設定を保存しました。");

struct DoctorRow
{
    QString name;
    int del = -1;
};

DoctorRow doctorRow(int id)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT Name, Del FROM \"医師\" WHERE ID=?"));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return {};
    return {q.value(0).toString(), q.value(1).toInt()};
}

int doctorCount()
{
    QSqlQuery q(gDB());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM \"医師\""));
    return q.next() ? q.value(0).toInt() : -1;
}

QStringList listed(const F設定 &w)
{
    QStringList names;
    for (int i = 0; i < w.ListDr->count(); ++i)
        names << w.ListDr->item(i)->text();
    return names;
}

void select(F設定 &w, int row)
{
    w.ListDr->setCurrentRow(row);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void auditWindowListsNewestFirstAndFilters();
    void initTestCase() { InstallFontSubstitutes(); }
    void addingDoctorAppendsActiveRow();
    void renameKeepsIdAndNeedsSelection();
    void deleteAsksFirstAndOnlyMarksRow();
    void loadsAndAppliesFiveKeysInCp932();
    void closingBringsStartBackAndDropsUnappliedEdits();
    void refusedWritesAreReported();
};

void TestSettings::addingDoctorAppendsActiveRow()
{
    TestHome home;
    const int first = home.addDoctor(QStringLiteral("山田 太郎"));
    ScriptedPrompter prompter;
    F設定 w;
    w.show();

    prompter.inputs = {QStringLiteral("オブライエン' 医師")};
    QTest::mouseClick(w.CmdDr追加, Qt::LeftButton);
    QCOMPARE(prompter.prompts, QStringList({kPrompt}));
    QCOMPARE(listed(w), QStringList({QStringLiteral("山田 太郎"), QStringLiteral("オブライエン' 医師")}));
    const int added = w.ListDr->item(1)->data(Qt::UserRole).toInt();
    QVERIFY(added > first);
    QCOMPARE(doctorRow(added).name, QStringLiteral("オブライエン' 医師"));
    QCOMPARE(doctorRow(added).del, 0);

    // Cancelled or empty: nothing is added.
    prompter.inputs = {std::nullopt, QString()};
    QTest::mouseClick(w.CmdDr追加, Qt::LeftButton);
    QTest::mouseClick(w.CmdDr追加, Qt::LeftButton);
    QCOMPARE(doctorCount(), 2);
    QCOMPARE(w.ListDr->count(), 2);
    QVERIFY(prompter.messages.isEmpty());
}

void TestSettings::renameKeepsIdAndNeedsSelection()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田 太郎"));
    const int sato = home.addDoctor(QStringLiteral("佐藤 次郎"));
    ScriptedPrompter prompter;
    F設定 w;
    w.show();

    QTest::mouseClick(w.CmdDr変更, Qt::LeftButton);
    QVERIFY(prompter.asked.isEmpty());

    select(w, 1);
    prompter.inputs = {std::nullopt};
    QTest::mouseClick(w.CmdDr変更, Qt::LeftButton);
    QCOMPARE(doctorRow(sato).name, QStringLiteral("佐藤 次郎"));

    select(w, 1);
    prompter.inputs = {QStringLiteral("佐藤 二郎")};
    QTest::mouseClick(w.CmdDr変更, Qt::LeftButton);
    QCOMPARE(prompter.prompts, QStringList({kPrompt, kPrompt}));
    QCOMPARE(doctorRow(sato).name, QStringLiteral("佐藤 二郎"));
    QCOMPARE(doctorCount(), 2);
    QCOMPARE(w.ListDr->item(1)->text(), QStringLiteral("佐藤 二郎"));
    QCOMPARE(w.ListDr->item(1)->data(Qt::UserRole).toInt(), sato);
}

void TestSettings::deleteAsksFirstAndOnlyMarksRow()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    home.addDoctor(QStringLiteral("佐藤 次郎"));
    ScriptedPrompter prompter;
    F設定 w;
    w.show();

    select(w, 0);
    prompter.answers = {false};
    QTest::mouseClick(w.CmdDr削除, Qt::LeftButton);
    QCOMPARE(prompter.questions, QStringList({QStringLiteral("『山田 太郎』を削除してもいいですか？")}));
    QCOMPARE(doctorRow(yamada).del, 0);
    QCOMPARE(w.ListDr->count(), 2);

    select(w, 0);
    prompter.answers = {true};
    QTest::mouseClick(w.CmdDr削除, Qt::LeftButton);
    QCOMPARE(doctorRow(yamada).del, 1);
    QCOMPARE(doctorRow(yamada).name, QStringLiteral("山田 太郎"));
    QCOMPARE(listed(w), QStringList({QStringLiteral("佐藤 次郎")}));

    // Nothing selected: the question names nobody and Yes changes no row.
    prompter.clear();
    prompter.answers = {true};
    QTest::mouseClick(w.CmdDr削除, Qt::LeftButton);
    QCOMPARE(prompter.questions, QStringList({QStringLiteral("『』を削除してもいいですか？")}));
    QCOMPARE(listed(w), QStringList({QStringLiteral("佐藤 次郎")}));
    QVERIFY(prompter.messages.isEmpty());
}

void TestSettings::loadsAndAppliesFiveKeysInCp932()
{
    TestHome home;
    home.writeIni(QStringLiteral("setting"),
                  QStringLiteral("[DATA]\r\nFhead_Width=12000\r\n〒=101-0061\r\nFAX=03-0000-0000\r\n"));
    ScriptedPrompter prompter;
    F設定 w;
    QCOMPARE(w.Txt郵便番号->text(), QStringLiteral("101-0061"));
    QCOMPARE(w.TxtFAX->text(), QStringLiteral("03-0000-0000"));
    QCOMPARE(w.Txt病院名->text(), QString());

    w.Txt病院名->setText(QStringLiteral("ライドル総合病院"));
    w.Txt郵便番号->setText(QStringLiteral("231-0023"));
    w.Txt住所->setText(QStringLiteral("東京都千代田区神田三崎町１－２－３"));
    w.TxtTEL->setText(QStringLiteral("03-1234-5678"));
    w.TxtFAX->clear();
    w.show();
    QTest::mouseClick(w.Cmd初期設定適用, Qt::LeftButton);
    QCOMPARE(prompter.asked, QStringList{kSaved});

    QFile f(home.data(QStringLiteral("ini/setting.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), EncodeCp932(QStringLiteral(
        "[DATA]\r\nFhead_Width=12000\r\n〒=231-0023\r\nFAX=\r\n病院名=ライドル総合病院\r\n"
        "住所=東京都千代田区神田三崎町１－２－３\r\nTEL=03-1234-5678\r\n")));
}

void TestSettings::closingBringsStartBackAndDropsUnappliedEdits()
{
    TestHome home;
    home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\n病院名=元の病院\r\n"));
    int startShown = 0;
    nav().showStart = [&startShown] { ++startShown; };
    F設定 w;
    w.openFresh();
    w.Txt病院名->setText(QStringLiteral("書きかけ"));
    w.close();
    QCOMPARE(startShown, 1);
    QVERIFY(!w.isVisible());
    w.openFresh();
    QCOMPARE(w.Txt病院名->text(), QStringLiteral("元の病院"));

    // Esc closes it the same way, also from a box being typed in; nothing is applied.
    w.Txt病院名->setText(QStringLiteral("書きかけ"));
    w.Txt病院名->setFocus();
    QTest::keyClick(w.Txt病院名, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(startShown, 2);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")), QStringLiteral("元の病院"));
    w.openFresh();
    w.SSTab->setCurrentIndex(1);
    QTest::keyClick(w.ListDr, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(startShown, 3);
    nav().showStart = nullptr;
}

void TestSettings::refusedWritesAreReported()
{
    TestHome home;
    const int yamada = home.addDoctor(QStringLiteral("山田 太郎"));
    {
        // A database that refuses every change to 医師.
        QSqlQuery q(gDB());
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER no_insert BEFORE INSERT ON \"医師\" "
                                      "BEGIN SELECT RAISE(ABORT, 'read-only'); END")));
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER no_update BEFORE UPDATE ON \"医師\" "
                                      "BEGIN SELECT RAISE(ABORT, 'read-only'); END")));
    }
    ScriptedPrompter prompter;
    F設定 w;
    w.show();

    prompter.inputs = {QStringLiteral("新人 医師")};
    QTest::mouseClick(w.CmdDr追加, Qt::LeftButton);
    select(w, 0);
    prompter.inputs = {QStringLiteral("別名")};
    QTest::mouseClick(w.CmdDr変更, Qt::LeftButton);
    select(w, 0);
    prompter.answers = {true};
    QTest::mouseClick(w.CmdDr削除, Qt::LeftButton);
    QCOMPARE(prompter.messages, QStringList({kNotSaved, kNotSaved, kNotSaved}));
    QCOMPARE(doctorCount(), 1);
    QCOMPARE(doctorRow(yamada).name, QStringLiteral("山田 太郎"));
    QCOMPARE(doctorRow(yamada).del, 0);
    QCOMPARE(listed(w), QStringList({QStringLiteral("山田 太郎")}));

    // No database at all.
    CloseDB();
    prompter.clear();
    prompter.inputs = {QStringLiteral("新人 医師")};
    QTest::mouseClick(w.CmdDr追加, Qt::LeftButton);
    QCOMPARE(prompter.messages, QStringList({kNotSaved}));

    // setting.ini that cannot be replaced: the file stays as it was.
    QVERIFY(QDir().mkpath(home.data(QStringLiteral("ini/setting.ini"))));
    prompter.clear();
    w.Txt病院名->setText(QStringLiteral("ライドル総合病院"));
    QTest::mouseClick(w.Cmd初期設定適用, Qt::LeftButton);
    QCOMPARE(prompter.messages, QStringList({kNotSaved}));
    QVERIFY(QFileInfo(home.data(QStringLiteral("ini/setting.ini"))).isDir());
}

void TestSettings::auditWindowListsNewestFirstAndFilters()
{
    TestHome home;
    // Doctor 1 left since; doctor 3 is the one writing now.
    QCOMPARE(home.addDoctor(QStringLiteral("山田 太郎"), 1), 1);
    home.addDoctor(QStringLiteral("佐藤 次郎"));
    QCOMPARE(home.addDoctor(QStringLiteral("鈴木 花子")), 3);
    QSqlQuery q(gDB());
    const QString insert = QStringLiteral("INSERT INTO 操作履歴 (日時, 端末, DrID, 操作, 書類, 書類番号, 患者番号) "
                                          "VALUES (?, 'ws1', '1', ?, ?, ?, ?)");
    const QList<QVariantList> rows = {
        {QStringLiteral("2026-11-30 23:59:59"), QStringLiteral("新規保存"), QStringLiteral("紹介状"), 1, QStringLiteral("1001")},
        {QStringLiteral("2026-12-01 00:00:00"), QStringLiteral("印刷"), QStringLiteral("紹介状"), 1, QStringLiteral("1001")},
        {QStringLiteral("2026-12-02 09:00:00"), QStringLiteral("患者登録"), QString(), QVariant(), QStringLiteral("1002")},
        {QStringLiteral("2026-12-03 10:00:00"), QStringLiteral("削除"), QStringLiteral("紹介状"), 1, QStringLiteral("1001")},
    };
    for (const QVariantList &r : rows) {
        QVERIFY(q.prepare(insert));
        for (const QVariant &v : r)
            q.addBindValue(v);
        QVERIFY(q.exec());
    }
    // A real one, stamped now on this workstation.
    QVERIFY(WriteAudit(QStringLiteral("PDF出力"), QStringLiteral("3"), QStringLiteral("診断書"), 7, QStringLiteral("1001")));

    ScriptedPrompter prompts;
    F設定 &settings = F設定::shared();
    settings.Cmd操作履歴->click();
    F操作履歴 &trail = F操作履歴::shared();
    QVERIFY(trail.isVisible());
    auto column = [&](int c) {
        QStringList out;
        for (int i = 0; i < trail.LV操作履歴->topLevelItemCount(); ++i)
            out << trail.LV操作履歴->topLevelItem(i)->text(c);
        return out;
    };
    QCOMPARE(column(F操作履歴::Col操作),
             (QStringList{QStringLiteral("PDF出力"), QStringLiteral("削除"), QStringLiteral("患者登録"),
                          QStringLiteral("印刷"), QStringLiteral("新規保存")}));
    QCOMPARE(column(F操作履歴::Col医師名),
             (QStringList{QStringLiteral("鈴木 花子"), QStringLiteral("山田 太郎"), QStringLiteral("山田 太郎"),
                          QStringLiteral("山田 太郎"), QStringLiteral("山田 太郎")}));
    QCOMPARE(trail.LV操作履歴->topLevelItem(0)->text(F操作履歴::Col医師), QStringLiteral("3"));
    QCOMPARE(trail.LV操作履歴->topLevelItem(0)->text(F操作履歴::Col端末), QSysInfo::machineHostName());
    QCOMPARE(trail.LV操作履歴->topLevelItem(0)->text(F操作履歴::Col書類番号), QStringLiteral("7"));
    QCOMPARE(trail.LV操作履歴->topLevelItem(2)->text(F操作履歴::Col書類番号), QString());

    trail.Txt患者番号->setText(QStringLiteral("1001"));
    trail.Check期間->setChecked(true);
    trail.Date開始->setDate(QDate(2026, 12, 1));
    trail.Date終了->setDate(QDate(2026, 12, 3));
    trail.Cmd検索->click();
    QCOMPARE(column(F操作履歴::Col日時),
             (QStringList{QStringLiteral("2026-12-03 10:00:00"), QStringLiteral("2026-12-01 00:00:00")}));
    trail.Check期間->setChecked(false);
    trail.Txt患者番号->setText(QStringLiteral("1002"));
    trail.Cmd検索->click();
    QCOMPARE(column(F操作履歴::Col操作), QStringList{QStringLiteral("患者登録")});
    // Nothing in it can be edited.
    QCOMPARE(trail.LV操作履歴->editTriggers(), QAbstractItemView::NoEditTriggers);
    trail.close();
    settings.hide();
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
