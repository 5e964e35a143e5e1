#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "ui/Fonts.h"
#include "ui/Navigation.h"
#include "patients/Patient.h"
#include "patients/PatientStore.h"
#include "patients/ui/F患者情報入力.h"
#include "app/ui/InstallNavigation.h"
#include "storage/Database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Every row stored under id, as "name,kana,sex,birth,address".
QStringList stored(const QString &id)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT Name, Kana, Sex, Birth, Address FROM Kanja_Data WHERE ID=?"));
    q.addBindValue(id);
    q.exec();
    QStringList rows;
    while (q.next())
        rows << QStringList({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString(), q.value(4).toString()})
                    .join(u',');
    return rows;
}

QStringList listTexts(QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

// Counts the windows the entry window hands over to.
struct NavSpy
{
    int mainWindow = 0;
    NavSpy() { nav().showMainWindow = [this] { ++mainWindow; }; }
    ~NavSpy() { nav().showMainWindow = nullptr; }
};

void fillNewPatient(F患者情報入力 &w)
{
    w.TxtName->setText(QStringLiteral("鈴木一郎"));
    w.TxtKana->setText(QStringLiteral("スズキイチロウ"));
    w.Combo年号->setCurrentText(QStringLiteral("平成"));
    w.TxtSY->setText(QStringLiteral("1"));
    w.TxtSM->setText(QStringLiteral("1"));
    w.TxtSD->setText(QStringLiteral("8"));
    w.Combo性別->setCurrentText(QStringLiteral("女性"));
    w.TxtAddress->setText(QStringLiteral("東京都新宿区西新宿2-8-1"));
}

} // namespace

class TestPatientEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void checksComeInOrderWithTheirMessages();
    void registersANewPatientWithTheAutomaticNumber();
    void aTypedNumberUpdatesThatPatient();
    void failedWriteSaysSoAndStays();
    void kanaSearch();
    void searchFoldsKanaWidthCaseAndSpaces();
    void lookupByClickEnterAndFocusFillsTheBoxes();
    void everyOpeningStartsEmptySoANewPatientGetsANewNumber();
    void changingAStoredPatientAsksFirst();
    void impossibleBirthDatesAreRefused();
};

void TestPatientEntry::checksComeInOrderWithTheirMessages()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    F患者情報入力 w;
    QStringList eras;
    for (int i = 0; i < w.Combo年号->count(); ++i)
        eras << w.Combo年号->itemText(i);
    QCOMPARE(eras, QStringList({"令和", "平成", "昭和", "大正", "明治"}));

    const QStringList expected = {
        QStringLiteral("患者番号を入力するか、自動作成にチェックをしてください"),
        QStringLiteral("ｶﾅ名を入力してください"),
        QStringLiteral("患者名を入力してください"),
        QStringLiteral("正しい生年月日を入力してください"),
        QStringLiteral("正しい生年月日を入力してください"),
        QStringLiteral("正しい生年月日を入力してください"),
        QStringLiteral("性別を選択してください"),
    };
    // Each step fixes what the previous message asked for; every press shows
    // exactly the first message still due.
    const QList<std::function<void()>> fixes = {
        [&] { w.Check自動->setChecked(true); },
        [&] { w.TxtKana->setText(QStringLiteral("ヤマダ")); },
        [&] { w.TxtName->setText(QStringLiteral("山田")); },
        [&] { w.Combo年号->setCurrentText(QStringLiteral("昭和")); },
        [&] { w.TxtSY->setText(QStringLiteral("50")); w.TxtSM->setText(QStringLiteral("3")); },
        [&] { w.TxtSD->setText(QStringLiteral("3")); },
        [] {},
    };
    for (int i = 0; i < expected.size(); ++i) {
        w.CmdOK_Click();
        QCOMPARE(p.messages.size(), i + 1);
        QCOMPARE(p.messages.last(), expected[i]);
        fixes[i]();
    }
    QCOMPARE(spy.mainWindow, 0);
    QVERIFY(stored(QStringLiteral("1")).isEmpty());
}

void TestPatientEntry::registersANewPatientWithTheAutomaticNumber()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    for (int i = 1; i <= 12; ++i)
        home.addPatient(QString::number(i), QStringLiteral("患者") + QString::number(i),
                        QStringLiteral("カンジャ"), 1, 19700101);
    F患者情報入力 w;
    w.show();
    w.Check自動->setChecked(true);
    fillNewPatient(w);
    w.CmdOK_Click();

    QVERIFY(p.messages.isEmpty());
    QCOMPARE(w.TxtID->text(), QStringLiteral("13"));
    QCOMPARE(stored(QStringLiteral("13")),
             QStringList{QStringLiteral("鈴木一郎,スズキイチロウ,2,19890108,東京都新宿区西新宿2-8-1")});
    QCOMPARE(PatientID, QStringLiteral("13"));
    QCOMPARE(spy.mainWindow, 1);
    QVERIFY(!w.isVisible());

    // 令和 and a male patient; three-digit entries keep their last two digits.
    w.TxtID->clear();
    w.Combo年号->setCurrentText(QStringLiteral("令和"));
    w.TxtSY->setText(QStringLiteral("1"));
    w.TxtSM->setText(QStringLiteral("105"));
    w.TxtSD->setText(QStringLiteral("1"));
    w.Combo性別->setCurrentText(QStringLiteral("男性"));
    w.CmdOK_Click();
    QCOMPARE(stored(QStringLiteral("14")),
             QStringList{QStringLiteral("鈴木一郎,スズキイチロウ,1,20190501,東京都新宿区西新宿2-8-1")});
}

void TestPatientEntry::aTypedNumberUpdatesThatPatient()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    home.addPatient(QStringLiteral("5"), QStringLiteral("旧姓"), QStringLiteral("キュウセイ"), 1, 19500101);
    home.addPatient(QStringLiteral("6"), QStringLiteral("他人"), QStringLiteral("タニン"), 1, 19500101);
    F患者情報入力 w;
    // A typed number is used even with 自動作成 ticked.
    w.Check自動->setChecked(true);
    w.TxtID->setText(QStringLiteral("5"));
    fillNewPatient(w);
    p.answers << true;
    w.CmdOK_Click();
    QVERIFY(p.messages.isEmpty());
    QCOMPARE(p.questions.size(), 1);
    QCOMPARE(stored(QStringLiteral("5")),
             QStringList{QStringLiteral("鈴木一郎,スズキイチロウ,2,19890108,東京都新宿区西新宿2-8-1")});
    QCOMPARE(stored(QStringLiteral("6")).size(), 1);
    QCOMPARE(stored(QStringLiteral("7")).size(), 0);
    QCOMPARE(spy.mainWindow, 1);
}

void TestPatientEntry::failedWriteSaysSoAndStays()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    home.addPatient(QStringLiteral("1"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101);
    QSqlQuery q(gDB());
    if (TestOnServer()) {
        QVERIFY(q.exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql "
                                      "AS $$BEGIN RAISE EXCEPTION 'disk full'; END$$")));
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON Kanja_Data FOR EACH ROW EXECUTE FUNCTION refuse()")));
    } else {
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON Kanja_Data BEGIN SELECT RAISE(FAIL, 'disk full'); END")));
    }
    QVERIFY(LookupPatient(QStringLiteral("1")));

    F患者情報入力 w;
    w.show();
    w.Check自動->setChecked(true);
    fillNewPatient(w);
    w.CmdOK_Click();
    QCOMPARE(p.messages, QStringList{QStringLiteral("保存できませんでした")});
    QCOMPARE(spy.mainWindow, 0);
    QVERIFY(w.isVisible());
    QCOMPARE(PatientID, QStringLiteral("1"));
}

void TestPatientEntry::kanaSearch()
{
    TestHome home;
    home.addPatient(QStringLiteral("2"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101);
    home.addPatient(QStringLiteral("10"), QStringLiteral("山田花子"), QStringLiteral("ヤマダハナコ"), 2, 19520101);
    home.addPatient(QStringLiteral("1"), QStringLiteral("百%"), QStringLiteral("ヒャク%"), 2, 19800101);
    home.addPatient(QStringLiteral("4"), QStringLiteral("下線"), QStringLiteral("カ_セン"), 2, 19800101);
    home.addPatient(QStringLiteral("5"), QStringLiteral("他"), QStringLiteral("ヒャクカXセン"), 2, 19800101);
    F患者情報入力 w;

    const QString none = QStringLiteral("該当無し");
    // An empty text lists everybody; the numbers come in text order.
    const QList<std::pair<QString, QStringList>> searches = {
        {QStringLiteral("ヤマダ"), {"10", "2"}},
        {QStringLiteral("スズキ"), {none}},
        {QStringLiteral("%"), {"1"}},
        {QStringLiteral("カ_セ"), {"4"}},
        {QStringLiteral("'"), {none}},
        {QString(), {"1", "10", "2", "4", "5"}},
    };
    for (const auto &[text, ids] : searches) {
        w.Txtカナ名->setText(text);
        w.Cmdカナ検索_Click();
        QCOMPARE(listTexts(w.LV患者リスト), ids);
    }
    QCOMPARE(w.LV患者リスト->topLevelItem(1)->text(1), QStringLiteral("山田花子"));
}

void TestPatientEntry::searchFoldsKanaWidthCaseAndSpaces()
{
    TestHome home;
    home.addPatient(QStringLiteral("3"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダ タロウ"), 1, 19520314);
    home.addPatient(QStringLiteral("7"), QStringLiteral("佐藤花子"), QStringLiteral("サトウ ハナコ"), 2, 19890108);
    home.addPatient(QStringLiteral("8"), QStringLiteral("佐藤花子"), QStringLiteral("サトウ ハナコ"), 2, 0);
    home.addPatient(QStringLiteral("12"), QStringLiteral("Ｓｍｉｔｈ"), QStringLiteral("スミス"), 1, 20190501);
    F患者情報入力 w;
    const QString none = QStringLiteral("該当無し");
    const QList<std::pair<QString, QStringList>> searches = {
        {QStringLiteral("やまだ たろう"), {"3"}},
        {QStringLiteral("ﾔﾏﾀﾞﾀﾛｳ"), {"3"}},
        {QStringLiteral("ヤマダ　タロウ"), {"3"}},
        {QStringLiteral("ダタ"), {"3"}},
        {QStringLiteral("山田"), {"3"}},        // by kanji name
        {QStringLiteral("12"), {"12"}},         // by number
        {QStringLiteral("ｓｍｉｔｈ"), {"12"}}, // width and case
        {QStringLiteral("SMITH"), {"12"}},
        {QStringLiteral("さとう"), {"7", "8"}},
        {QStringLiteral("%"), {none}},
        {QStringLiteral("タロウ3"), {none}},    // never across kana, name and number
    };
    for (const auto &[text, ids] : searches) {
        w.Txtカナ名->setText(text);
        w.Cmdカナ検索_Click();
        QCOMPARE(listTexts(w.LV患者リスト), ids);
    }
    // Two patients of one name are told apart by birth date and sex.
    w.Txtカナ名->setText(QStringLiteral("サトウ"));
    w.Cmdカナ検索_Click();
    QTreeWidgetItem *first = w.LV患者リスト->topLevelItem(0);
    QCOMPARE(QStringList({first->text(0), first->text(1), first->text(2), first->text(3)}),
             QStringList({"7", "佐藤花子", "平成01年01月08日", "女性"}));
    QCOMPARE(w.LV患者リスト->topLevelItem(1)->text(2), QString());
    w.Txtカナ名->setText(QStringLiteral("やまだ"));
    w.Cmdカナ検索_Click();
    QCOMPARE(w.LV患者リスト->topLevelItem(0)->text(2), QStringLiteral("昭和27年03月14日"));
    QCOMPARE(w.LV患者リスト->topLevelItem(0)->text(3), QStringLiteral("男性"));

    // Registered through the window: the kana stays as typed, the search folds it.
    PatientRecord typed{QStringLiteral("20"), QStringLiteral("鈴木一郎"), QStringLiteral("ｽｽﾞｷ ｲﾁﾛｳ"), 19600101, 1, {}};
    QVERIFY(StorePatient(typed));
    QCOMPARE(stored(QStringLiteral("20")).value(0).section(u',', 1, 1), QStringLiteral("ｽｽﾞｷ ｲﾁﾛｳ"));
    w.Txtカナ名->setText(QStringLiteral("すずき"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList({"20"}));

    // A kana changed behind the program's back is found under its new form
    // once the keys are brought in step (as every start does).
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("UPDATE Kanja_Data SET Kana='タナカ イチロウ' WHERE ID='20'")));
    QVERIFY(SyncPatientSearchKeys());
    w.Txtカナ名->setText(QStringLiteral("たなか"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList({"20"}));
}

void TestPatientEntry::lookupByClickEnterAndFocusFillsTheBoxes()
{
    TestHome home;
    home.addPatient(QStringLiteral("8"), QStringLiteral("田中一郎"), QStringLiteral("タナカイチロウ"), 0,
                    20190501, QStringLiteral("福岡市"));
    F患者情報入力 w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    w.Txtカナ名->setText(QStringLiteral("タナカ"));
    w.Cmdカナ検索_Click();
    QTreeWidgetItem *item = w.LV患者リスト->topLevelItem(0);
    const QRect rect = w.LV患者リスト->visualItemRect(item);
    QTest::mouseClick(w.LV患者リスト->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(w.TxtID->text(), QStringLiteral("8"));
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
    QCOMPARE(w.TxtKana->text(), QStringLiteral("タナカイチロウ"));
    QCOMPARE(w.Combo年号->currentText() + w.TxtSY->text() + w.TxtSM->text() + w.TxtSD->text(),
             QStringLiteral("令和010501"));
    // Any stored sex but 1 shows as 女性.
    QCOMPARE(w.Combo性別->currentText(), QStringLiteral("女性"));
    QCOMPARE(w.TxtAddress->text(), QStringLiteral("福岡市"));
    QCOMPARE(PatientID, QStringLiteral("8"));

    // An unknown number leaves the boxes alone but empties the current patient.
    w.TxtID->setText(QStringLiteral("99"));
    w.患者情報取得();
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
    QVERIFY(PatientID.isEmpty());
    w.TxtID->setText(QStringLiteral("8"));

    // "該当無し" is not a patient number.
    w.Txtカナ名->setText(QStringLiteral("ン゛"));
    w.Cmdカナ検索_Click();
    item = w.LV患者リスト->topLevelItem(0);
    QTest::mouseClick(w.LV患者リスト->viewport(), Qt::LeftButton, {},
                      w.LV患者リスト->visualItemRect(item).center());
    QCOMPARE(w.TxtID->text(), QStringLiteral("8"));
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));

    // Enter in TxtID looks the number up, then moves on.
    w.TxtName->clear();
    w.TxtID->setFocus();
    QTest::keyClick(w.TxtID, Qt::Key_Return);
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.Check自動));
    QTest::keyClick(w.Check自動, Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.TxtName));
    QTest::keyClick(w.TxtName, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.TxtKana));

    // Enter in the search text searches.
    w.Txtカナ名->setFocus();
    w.Txtカナ名->setText(QStringLiteral("タナカ"));
    QTest::keyClick(w.Txtカナ名, Qt::Key_Return);
    QCOMPARE(listTexts(w.LV患者リスト), QStringList{QStringLiteral("8")});
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.Cmdカナ検索));

    // Leaving TxtID looks the number up as well.
    w.TxtName->clear();
    w.TxtID->setFocus();
    w.TxtAddress->setFocus();
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
}

// The start window's 患者選択 after a registration: the window comes back
// empty, so the next patient typed in cannot land on the previous number.
void TestPatientEntry::everyOpeningStartsEmptySoANewPatientGetsANewNumber()
{
    TestHome home;
    ScriptedPrompter p;
    home.addPatient(QStringLiteral("5"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101,
                    QStringLiteral("札幌市"));
    InstallNavigation();
    NavSpy spy;

    nav().showPatientEntry();
    F患者情報入力 &w = F患者情報入力::shared();
    QVERIFY(w.isVisible());
    w.Txtカナ名->setText(QStringLiteral("ヤマダ"));
    w.Cmdカナ検索_Click();
    w.TxtID->setText(QStringLiteral("5"));
    w.患者情報取得();
    w.Check自動->setChecked(true);
    w.CmdOK_Click();
    QCOMPARE(spy.mainWindow, 1);
    QVERIFY(!w.isVisible());

    nav().showPatientEntry();
    QVERIFY(w.isVisible());
    for (QLineEdit *box : {w.TxtID, w.TxtName, w.TxtKana, w.TxtSY, w.TxtSM, w.TxtSD, w.TxtAddress, w.Txtカナ名})
        QVERIFY2(box->text().isEmpty(), qPrintable(box->text()));
    QVERIFY(!w.Check自動->isChecked());
    QCOMPARE(w.Combo年号->currentIndex(), -1);
    QCOMPARE(w.Combo性別->currentIndex(), -1);
    QCOMPARE(w.LV患者リスト->topLevelItemCount(), 0);

    w.Check自動->setChecked(true);
    fillNewPatient(w);
    w.CmdOK_Click();
    QVERIFY(p.asked.isEmpty());
    QCOMPARE(stored(QStringLiteral("5")), QStringList{QStringLiteral("山田太郎,ヤマダタロウ,1,19500101,札幌市")});
    QCOMPARE(stored(QStringLiteral("6")),
             QStringList{QStringLiteral("鈴木一郎,スズキイチロウ,2,19890108,東京都新宿区西新宿2-8-1")});
    w.hide();
    nav() = Navigation();
}

void TestPatientEntry::changingAStoredPatientAsksFirst()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    home.addPatient(QStringLiteral("5"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19890108,
                    QStringLiteral("札幌市"));
    F患者情報入力 w;
    w.show();
    w.TxtID->setText(QStringLiteral("5"));
    fillNewPatient(w);

    // No: nothing is stored, the window stays with what was typed.
    w.CmdOK_Click();
    QCOMPARE(p.questions, QStringList{QStringLiteral("患者番号 5（山田太郎）の登録内容を変更します。よろしいですか？")});
    QCOMPARE(p.titles, QStringList{AppTitle()});
    QCOMPARE(stored(QStringLiteral("5")), QStringList{QStringLiteral("山田太郎,ヤマダタロウ,1,19890108,札幌市")});
    QCOMPARE(spy.mainWindow, 0);
    QVERIFY(w.isVisible());
    QCOMPARE(w.TxtName->text(), QStringLiteral("鈴木一郎"));

    // A new kana alone, or a new birth date alone, asks as well.
    w.TxtName->setText(QStringLiteral("山田太郎"));
    w.CmdOK_Click();
    w.TxtKana->setText(QStringLiteral("ヤマダタロウ"));
    w.TxtSD->setText(QStringLiteral("9"));
    w.CmdOK_Click();
    QCOMPARE(p.questions.size(), 3);
    QCOMPARE(spy.mainWindow, 0);

    // Same name, kana and birth date: a new address and sex are stored without asking.
    w.TxtSD->setText(QStringLiteral("8"));
    w.CmdOK_Click();
    QCOMPARE(p.questions.size(), 3);
    QCOMPARE(stored(QStringLiteral("5")),
             QStringList{QStringLiteral("山田太郎,ヤマダタロウ,2,19890108,東京都新宿区西新宿2-8-1")});
    QCOMPARE(spy.mainWindow, 1);
}

void TestPatientEntry::impossibleBirthDatesAreRefused()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    F患者情報入力 w;
    w.Check自動->setChecked(true);
    fillNewPatient(w);
    auto enter = [&w](const char *era, const char *y, const char *m, const char *d) {
        w.Combo年号->setCurrentText(QString::fromUtf8(era));
        w.TxtSY->setText(QString::fromUtf8(y));
        w.TxtSM->setText(QString::fromUtf8(m));
        w.TxtSD->setText(QString::fromUtf8(d));
        w.TxtID->clear();
        w.CmdOK_Click();
    };
    const char *impossible[][4] = {
        {"令和", "5", "2", "30"}, {"平成", "32", "1", "1"}, {"昭和", "65", "1", "1"},
        {"令和", "0", "5", "1"},  {"大正", "16", "1", "1"}, {"明治", "46", "1", "1"},
        {"平成", "3", "13", "1"}, {"平成", "3", "0", "1"},  {"平成", "3", "1", "0"},
        {"平成", "5", "2", "29"}, {"昭和", "50", "4", "31"},
    };
    for (const auto &d : impossible) {
        p.clear();
        enter(d[0], d[1], d[2], d[3]);
        QCOMPARE(p.messages, QStringList{QStringLiteral("正しい生年月日を入力してください")});
    }
    QCOMPARE(spy.mainWindow, 0);
    QVERIFY(stored(QStringLiteral("1")).isEmpty());

    // The last day of each era and a leap day go through.
    const char *possible[][4] = {
        {"平成", "31", "4", "30"}, {"昭和", "64", "1", "7"}, {"大正", "15", "12", "24"},
        {"明治", "45", "7", "29"}, {"令和", "1", "5", "1"},  {"平成", "4", "2", "29"},
    };
    const int births[] = {20190430, 19890107, 19261224, 19120729, 20190501, 19920229};
    for (int i = 0; i < 6; ++i) {
        p.clear();
        enter(possible[i][0], possible[i][1], possible[i][2], possible[i][3]);
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join(u' ')));
        QCOMPARE(stored(QString::number(i + 1)).value(0).section(u',', 3, 3), QString::number(births[i]));
    }
}

QTEST_MAIN(TestPatientEntry)
#include "test_patient_entry.moc"
