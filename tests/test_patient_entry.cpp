#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/Fonts.h"
#include "app/ui/Navigation.h"
#include "patients/Patient.h"
#include "patients/ui/F患者情報入力.h"
#include "storage/Database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTreeWidget>
#include <QtTest>

namespace {

struct Row
{
    QString name, kana, address;
    int sex = 0, birth = 0;
};

int countRows(const QString &id)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM Kanja_Data WHERE ID=?"));
    q.addBindValue(id);
    q.exec();
    q.next();
    return q.value(0).toInt();
}

Row readRow(const QString &id)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT Name, Kana, Sex, Birth, Address FROM Kanja_Data WHERE ID=?"));
    q.addBindValue(id);
    q.exec();
    Row r;
    if (q.next())
        r = Row{q.value(0).toString(), q.value(1).toString(), q.value(4).toString(),
                q.value(2).toInt(), q.value(3).toInt()};
    return r;
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
    int start = 0;
    NavSpy()
    {
        nav().showMainWindow = [this] { ++mainWindow; };
        nav().showStart = [this] { ++start; };
    }
    ~NavSpy()
    {
        nav().showMainWindow = nullptr;
        nav().showStart = nullptr;
    }
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
    void controlsAndCaptions();
    void checksComeInOrderWithTheirMessages();
    void registersANewPatientWithTheAutomaticNumber();
    void aTypedNumberUpdatesThatPatient();
    void failedWriteSaysSoAndStays();
    void numberLookupFillsTheBoxes();
    void kanaSearch();
    void clickingAResultLoadsThePatient();
    void enterMovesTheFocusOn();
    void backReturnsToTheStartWindow();
};

void TestPatientEntry::controlsAndCaptions()
{
    TestHome home;
    F患者情報入力 w;
    QCOMPARE(w.windowTitle(), QStringLiteral("患者情報"));
    QCOMPARE(w.Check自動->text(), QStringLiteral("自動作成"));
    QCOMPARE(w.CmdOK->text(), QStringLiteral("決定"));
    QCOMPARE(w.Cmd戻る->text(), QStringLiteral("戻る"));
    QCOMPARE(w.Cmdカナ検索->text(), QStringLiteral("検索"));
    QStringList eras;
    for (int i = 0; i < w.Combo年号->count(); ++i)
        eras << w.Combo年号->itemText(i);
    QCOMPARE(eras, QStringList({"令和", "平成", "昭和", "大正", "明治"}));
    QCOMPARE(w.Combo年号->currentText(), QString());
    QCOMPARE(w.Combo性別->count(), 2);
    QCOMPARE(w.Combo性別->itemText(0), QStringLiteral("男性"));
    QCOMPARE(w.Combo性別->itemText(1), QStringLiteral("女性"));
    QCOMPARE(w.Combo性別->currentText(), QString());
    QCOMPARE(w.LV患者リスト->headerItem()->text(0), QStringLiteral("ID"));
    QCOMPARE(w.LV患者リスト->headerItem()->text(1), QStringLiteral("名前"));
    QStringList labels;
    for (QLabel *l : w.findChildren<QLabel *>())
        labels << l->text();
    for (const char *caption : {"患者番号：", "氏名：", "ｶﾅ：", "生年月日：", "性別：", "住所：", "ｶﾅ名",
                                "『 * 』 の付いている項目は必須"})
        QVERIFY2(labels.contains(QString::fromUtf8(caption)), caption);
}

void TestPatientEntry::checksComeInOrderWithTheirMessages()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    F患者情報入力 w;
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
    QCOMPARE(countRows(QStringLiteral("1")), 0);
    QVERIFY(w.TxtID->text().isEmpty());
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
    const Row r = readRow(QStringLiteral("13"));
    QCOMPARE(r.name, QStringLiteral("鈴木一郎"));
    QCOMPARE(r.kana, QStringLiteral("スズキイチロウ"));
    QCOMPARE(r.birth, 19890108);
    QCOMPARE(r.sex, 2);
    QCOMPARE(r.address, QStringLiteral("東京都新宿区西新宿2-8-1"));
    QCOMPARE(PatientID, QStringLiteral("13"));
    QCOMPARE(PatientEra, QStringLiteral("平成"));
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
    QCOMPARE(w.TxtID->text(), QStringLiteral("14"));
    QCOMPARE(readRow(QStringLiteral("14")).birth, 20190501);
    QCOMPARE(readRow(QStringLiteral("14")).sex, 1);
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
    w.CmdOK_Click();
    QVERIFY(p.messages.isEmpty());
    QCOMPARE(countRows(QStringLiteral("5")), 1);
    QCOMPARE(readRow(QStringLiteral("5")).name, QStringLiteral("鈴木一郎"));
    QCOMPARE(readRow(QStringLiteral("6")).name, QStringLiteral("他人"));
    QCOMPARE(countRows(QStringLiteral("7")), 0);

    // A number with an apostrophe is stored and found as it is.
    w.TxtID->setText(QStringLiteral("O'1"));
    w.TxtName->setText(QStringLiteral("オブライエン'"));
    w.CmdOK_Click();
    QVERIFY(p.messages.isEmpty());
    QCOMPARE(readRow(QStringLiteral("O'1")).name, QStringLiteral("オブライエン'"));
    QCOMPARE(PatientName, QStringLiteral("オブライエン'"));
    QCOMPARE(spy.mainWindow, 2);
}

void TestPatientEntry::failedWriteSaysSoAndStays()
{
    TestHome home;
    NavSpy spy;
    ScriptedPrompter p;
    home.addPatient(QStringLiteral("1"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101);
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON Kanja_Data BEGIN SELECT RAISE(FAIL, 'disk full'); END")));
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

    // No database at all: the same message, nothing else.
    CloseDB();
    w.TxtID->setText(QStringLiteral("2"));
    w.CmdOK_Click();
    QCOMPARE(p.messages.size(), 2);
    QCOMPARE(p.messages.last(), QStringLiteral("保存できませんでした"));
    QCOMPARE(spy.mainWindow, 0);
    QVERIFY(w.isVisible());
}

void TestPatientEntry::numberLookupFillsTheBoxes()
{
    TestHome home;
    home.addPatient(QStringLiteral("3"), QStringLiteral("佐藤花子"), QStringLiteral("サトウハナコ"), 0,
                    19890107, QStringLiteral("札幌市"));
    F患者情報入力 w;
    w.TxtID->setText(QStringLiteral("3"));
    w.患者情報取得();
    QCOMPARE(w.TxtName->text(), QStringLiteral("佐藤花子"));
    QCOMPARE(w.TxtKana->text(), QStringLiteral("サトウハナコ"));
    QCOMPARE(w.Combo年号->currentText(), QStringLiteral("昭和"));
    QCOMPARE(w.TxtSY->text(), QStringLiteral("64"));
    QCOMPARE(w.TxtSM->text(), QStringLiteral("01"));
    QCOMPARE(w.TxtSD->text(), QStringLiteral("07"));
    // Any stored sex but 1 shows as 女性.
    QCOMPARE(w.Combo性別->currentText(), QStringLiteral("女性"));
    QCOMPARE(w.TxtAddress->text(), QStringLiteral("札幌市"));
    QCOMPARE(w.TxtID->text(), QStringLiteral("3"));

    // An unknown number leaves the boxes alone but empties the current patient.
    w.TxtID->setText(QStringLiteral("99"));
    w.患者情報取得();
    QCOMPARE(w.TxtName->text(), QStringLiteral("佐藤花子"));
    QVERIFY(PatientID.isEmpty());
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

    w.Txtカナ名->setText(QStringLiteral("ヤマダ"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList({"10", "2"}));
    QCOMPARE(w.LV患者リスト->topLevelItem(0)->text(1), QStringLiteral("山田花子"));

    w.Txtカナ名->setText(QStringLiteral("スズキ"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList{QStringLiteral("該当無し")});

    w.Txtカナ名->setText(QStringLiteral("%"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList{QStringLiteral("1")});
    w.Txtカナ名->setText(QStringLiteral("カ_セ"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList{QStringLiteral("4")});
    w.Txtカナ名->setText(QStringLiteral("'"));
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList{QStringLiteral("該当無し")});

    // An empty search text lists everybody, in the text order of the numbers.
    w.Txtカナ名->clear();
    w.Cmdカナ検索_Click();
    QCOMPARE(listTexts(w.LV患者リスト), QStringList({"1", "10", "2", "4", "5"}));
}

void TestPatientEntry::clickingAResultLoadsThePatient()
{
    TestHome home;
    home.addPatient(QStringLiteral("8"), QStringLiteral("田中一郎"), QStringLiteral("タナカイチロウ"), 1,
                    20190501, QStringLiteral("福岡市"));
    F患者情報入力 w;
    w.resize(900, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    w.Txtカナ名->setText(QStringLiteral("タナカ"));
    w.Cmdカナ検索_Click();
    QTreeWidgetItem *item = w.LV患者リスト->topLevelItem(0);
    const QRect rect = w.LV患者リスト->visualItemRect(item);
    QTest::mouseClick(w.LV患者リスト->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(w.TxtID->text(), QStringLiteral("8"));
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
    QCOMPARE(w.Combo年号->currentText(), QStringLiteral("令和"));
    QCOMPARE(w.TxtSY->text(), QStringLiteral("01"));
    QCOMPARE(w.Combo性別->currentText(), QStringLiteral("男性"));
    QCOMPARE(PatientID, QStringLiteral("8"));

    // "該当無し" is not a patient number.
    w.Txtカナ名->setText(QStringLiteral("ン゛"));
    w.Cmdカナ検索_Click();
    item = w.LV患者リスト->topLevelItem(0);
    QTest::mouseClick(w.LV患者リスト->viewport(), Qt::LeftButton, {},
                      w.LV患者リスト->visualItemRect(item).center());
    QCOMPARE(w.TxtID->text(), QStringLiteral("8"));
    QCOMPARE(w.TxtName->text(), QStringLiteral("田中一郎"));
}

void TestPatientEntry::enterMovesTheFocusOn()
{
    TestHome home;
    home.addPatient(QStringLiteral("8"), QStringLiteral("田中一郎"), QStringLiteral("タナカイチロウ"), 1, 19700101);
    F患者情報入力 w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Enter in TxtID looks the number up, then moves on.
    w.TxtID->setFocus();
    QTest::keyClicks(w.TxtID, QStringLiteral("8"));
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

void TestPatientEntry::backReturnsToTheStartWindow()
{
    TestHome home;
    NavSpy spy;
    F患者情報入力 w;
    w.show();
    w.Cmd戻る_Click();
    QVERIFY(!w.isVisible());
    QCOMPARE(spy.start, 1);
    QCOMPARE(spy.mainWindow, 0);

    // The close box does the same.
    w.show();
    w.close();
    QCOMPARE(spy.start, 2);
}

QTEST_MAIN(TestPatientEntry)
#include "test_patient_entry.moc"
