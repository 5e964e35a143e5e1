#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "templates/ui/BuildDocument.h"

#include <QApplication>
#include <QDate>
#include <QMenu>
#include <QtTest>

namespace {
// Reading order (top, then left) of the fields: 1 0 2 3 4 5 6 7 8.
const QStringList kTemplate{
    QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
    QStringLiteral("label_0=100|100|2000|300|0|検査票|ＭＳ 明朝|12|0|1|"),
    QStringLiteral("lbItem_0=3000|500|2000|300|1|初期値|ＭＳ 明朝|10.5|0|2|所見|1|"),
    QStringLiteral("lbItem_1=500|500|1500|300|2|36|ＭＳ 明朝|10.5|0|3|体温|0|"),
    QStringLiteral("lbItem_2=500|1000|5000|600|0||ＭＳ 明朝|10.5|0|4|経過|2|"),
    QStringLiteral("lbItem_3=500|1800|900|300|0||ＭＳ 明朝|10.5|0|5|年|0|Date_Y"),
    QStringLiteral("lbItem_4=1500|1800|600|300|0||ＭＳ 明朝|10.5|0|6|月|0|Date_M"),
    QStringLiteral("lbItem_5=2200|1800|600|300|0||ＭＳ 明朝|10.5|0|7|日|0|Date_D"),
    QStringLiteral("lbItem_6=500|2300|600|300|0||ＭＳ 明朝|10.5|0|8|判定|1|プラマイ"),
    QStringLiteral("lbItem_7=500|2800|2000|300|0||ＭＳ 明朝|10.5|0|9|備考|7|date_y"),
    QStringLiteral("lbItem_8=500|3300|2000|300|0||ＭＳ 明朝|10.5|0|10|判定|1|"),
    QStringLiteral("lbKanja_Data_0=5000|100|2000|300|0||ＭＳ 明朝|10.5|0|11|患者名"),
    QStringLiteral("ImgCheck_0=500|4000|240|240|同意|0"),
};

struct FieldHome : AppHome
{
    FM *doc = nullptr;
    DocEditor *ed = nullptr;
    FieldHome()
    {
        CurrentDrID = QStringLiteral("1");
        home.copyCheckIcons();
        writeTemplate(QStringLiteral("検査票"), kTemplate);
        loadMainWindow(true);
        if ((doc = build(QStringLiteral("検査票"))))
            ed = doc->TxtInput;
    }
    QString text(int i) const { return doc->LbItem[i]->text(); }
};

// Key presses carrying text, as an input method hands over Japanese.
void Type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}
}

class TestFields : public QObject
{
    Q_OBJECT

private slots:
    void editorStatesAndCommitTargets();
    void tabOrderAndEnter();
    void popupsWriteBareValuesAndCloseTheEditor();
    void checksAndBadInput();
    void textFieldsStopAtTheirColumnSize();
};

// Typing or pasting into a text field stops at 255 characters; a memo does
// not stop, and a longer text stored earlier opens whole.
void TestFields::textFieldsStopAtTheirColumnSize()
{
    FieldHome h;
    QVERIFY(h.doc);
    h.doc->LbItem_Click(0);
    h.ed->insertPlainText(QString(300, u'長'));
    Type(h.ed, QStringLiteral("字"));
    QCOMPARE(h.ed->text(), QStringLiteral("初期値") + QString(252, u'長'));
    h.doc->LbItem_Click(2);
    h.ed->insertPlainText(QString(300, u'長'));
    QCOMPARE(h.ed->text().size(), 300);
    h.doc->LbItem[8]->setText(QString(300, u'長'));
    h.doc->LbItem_Click(8);
    QCOMPARE(h.ed->text().size(), 300);
}

void TestFields::editorStatesAndCommitTargets()
{
    FieldHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    DocEditor *ed = h.ed;
    doc->Form_Click(); // never used: commits nothing
    QCOMPARE(h.text(0), QStringLiteral("初期値"));

    doc->LbItem_Click(0);
    QVERIFY(ed->isVisible());
    QCOMPARE(ed->geometry(), doc->LbItem[0]->geometry());
    QCOMPARE(ed->document()->defaultTextOption().alignment(), Qt::AlignRight);
    QCOMPARE(ed->textCursor().position(), 3);
    QVERIFY(ed->inputMethodQuery(Qt::ImEnabled).toBool());
    Type(ed, QStringLiteral("あり"));
    doc->LbItem_Click(1); // the edited field gets its text first
    QCOMPARE(h.text(0), QStringLiteral("初期値あり"));
    QCOMPARE(ed->text(), QStringLiteral("36"));
    QVERIFY(!ed->inputMethodQuery(Qt::ImEnabled).toBool());
    QTest::keyClicks(ed, QStringLiteral(".5"));

    // Closed by a fixed text, it keeps committing into the same field.
    doc->Label_Click(0);
    QVERIFY(!ed->isVisible());
    QCOMPARE(h.text(1), QStringLiteral("36.5"));
    ed->setText(QStringLiteral("37"));
    doc->LbKanja_Data_Click(0);
    QCOMPARE(h.text(1), QStringLiteral("37"));

    // Focus lost to a pop-up or another window: no commit; to another control: commit.
    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("移動"));
    for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason, Qt::MouseFocusReason}) {
        QCOMPARE(h.text(0), QStringLiteral("初期値あり"));
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(ed, &out);
    }
    QVERIFY(!ed->isVisible());
    QCOMPARE(h.text(0), QStringLiteral("移動"));

    // "▼" hides the editor holding the focus: neither that nor anything later
    // commits the text typed before it.
    doc->LbItem_Click(0);
    ed->setFocus();
    ed->setText(QStringLiteral("捨てる"));
    doc->LbList_Click(0);
    doc->Mメニュー_Head->hide();
    QCOMPARE(h.text(0), QStringLiteral("移動"));
    QCOMPARE(ed->Tag, QStringLiteral("0"));
}

void TestFields::tabOrderAndEnter()
{
    FieldHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    DocEditor *ed = h.ed;
    doc->LbItem_Click(1); // first in reading order
    QTest::keyClicks(ed, QStringLiteral("5"));
    QTest::keyClick(ed, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(ed->Tag, QStringLiteral("1"));
    QCOMPARE(h.text(1), QStringLiteral("365"));
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    // Ctrl with Shift moves forward; Tab opens the editor on pop-up fields too.
    QTest::keyClick(ed, Qt::Key_Backtab, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(ed->Tag, QStringLiteral("2"));
    QTest::keyClick(ed, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(ed->Tag, QStringLiteral("3"));
    QVERIFY(!ed->text().contains(QLatin1Char('\t')));

    doc->LbItem_Click(8); // last
    Type(ed, QStringLiteral("終"));
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(ed->Tag, QStringLiteral("8"));
    QCOMPARE(ed->text(), QStringLiteral("終"));
    doc->NextTab(99, 1); // not in the order: the first field
    QCOMPARE(ed->Tag, QStringLiteral("1"));

    // Enter: nothing in number and text fields, a line break in memo fields.
    QTest::keyClick(ed, Qt::Key_Return);
    doc->LbItem_Click(0);
    QTest::keyClick(ed, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(ed, Qt::Key_Return, Qt::ShiftModifier);
    doc->LbItem_Click(2);
    Type(ed, QStringLiteral("一行目"));
    QTest::keyClick(ed, Qt::Key_Return);
    Type(ed, QStringLiteral("二行目"));
    doc->Form_Click();
    QCOMPARE(h.text(1), QStringLiteral("365"));
    QCOMPARE(h.text(0), QStringLiteral("初期値"));
    QCOMPARE(h.text(2), QStringLiteral("一行目\n二行目"));

    // A new document from 新規作成 takes typing in its first field at once.
    QVERIFY(QTest::qWaitForWindowActive(&fheadInstance()));
    h.doc->MDoc[0]->trigger();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(fm()->TxtInput));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    fm()->テキスト変更();
    QCOMPARE(fm()->LbItem[1]->text(), QStringLiteral("365"));
}

void TestFields::popupsWriteBareValuesAndCloseTheEditor()
{
    FieldHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    DocEditor *ed = h.ed;
    const QString year = QString::number(QDate::currentDate().year());
    int pick = 1;
    while (pick < doc->MDate_Y.count() && doc->MDate_Y[pick]->data().toString() != year)
        ++pick;
    QVERIFY(pick < doc->MDate_Y.count());

    doc->LbItem_Click(2);
    ed->setText(QStringLiteral("経過良好"));
    doc->LbItem_Click(3);
    QVERIFY(doc->MDate_Y_Head->isVisible());
    QVERIFY(ed->isVisible()); // stays until a choice is made
    doc->MDate_Y[pick]->trigger();
    doc->LbItem_Click(4);
    doc->MDate_M[1]->trigger();
    doc->LbItem_Click(5);
    doc->MDate_D[5]->trigger();
    QCOMPARE(h.text(2), QStringLiteral("経過良好"));
    QCOMPARE(h.text(3) + h.text(4) + h.text(5), year + QStringLiteral("15"));
    doc->MDate_M[0]->trigger();
    QCOMPARE(h.text(4), QString());

    // Two fields tagged 判定: the higher index gets the sign.
    doc->LbItem_Click(6);
    doc->Mプラス->trigger();
    QCOMPARE(h.text(8), QStringLiteral("＋"));
    doc->Mマイナス->trigger();
    QCOMPARE(h.text(8) + h.text(6), QStringLiteral("－"));

    // Editor over the year field (by Tab), then a year chosen: the editor's
    // older text is never written over the choice.
    doc->LbItem_Click(2);
    QTest::keyClick(ed, Qt::Key_Tab);
    ed->setText(QStringLiteral("古い"));
    doc->LbItem_Click(3);
    doc->MDate_Y[pick]->trigger();
    QVERIFY(ed->Tag.isEmpty() && !ed->isVisible());
    doc->Form_Click();
    QCOMPARE(h.text(3), year);
    doc->MDate_Y[0]->trigger();
    QCOMPARE(h.text(3), QString());
    for (QMenu *m : {doc->MDate_Y_Head, doc->MDate_M_Head, doc->MDate_D_Head, doc->Mプラマイ})
        m->hide();
}

void TestFields::checksAndBadInput()
{
    FieldHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    DocEditor *ed = h.ed;
    DocLabel *check = doc->ImgCheck[0];
    const QImage unchecked = check->picture().toImage();
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("1"));
    QVERIFY(check->picture().toImage() != unchecked);
    check->DataField = QStringLiteral("はい");
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("0"));
    QCOMPARE(check->picture().toImage(), unchecked);
    QFile::remove(h.home.data(QStringLiteral("icon/check.gif")));
    doc->ImgCheck_Click(0); // no picture: the state still toggles
    QCOMPARE(check->DataField, QStringLiteral("1"));

    // "date_y" is no click action: the editor opens; kind 7 keeps the input
    // method of the number field before it.
    doc->LbItem_Click(1);
    doc->LbItem_Click(7);
    QCOMPARE(ed->Tag, QStringLiteral("7"));
    QVERIFY(!doc->MDate_Y_Head->isVisible());
    QVERIFY(!ed->inputMethodQuery(Qt::ImEnabled).toBool());

    QStringList before;
    for (int i = 0; i < doc->LbItem.size(); ++i)
        before << h.text(i);
    for (int index : {-1, 9, 1000}) {
        doc->LbItem_Click(index);
        doc->ImgCheck_Click(index);
        doc->MDate_D_Click(index);
    }
    ed->Tag = QStringLiteral("42"); // a field that does not exist
    ed->setText(QStringLiteral("迷子"));
    QTest::keyClick(ed, Qt::Key_Tab);
    doc->Form_Click();
    QStringList after;
    for (int i = 0; i < doc->LbItem.size(); ++i)
        after << h.text(i);
    QCOMPARE(after, before);

    const QString longText(10000, QChar(u'あ'));
    doc->LbItem_Click(2);
    ed->setText(longText);
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(h.text(2), longText);
}

QTEST_MAIN(TestFields)
#include "test_fields.moc"
