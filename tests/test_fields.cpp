#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "templates/ui/BuildDocument.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QMenu>
#include <QtTest>

namespace {
struct FieldHome
{
    TestHome home;
    ScriptedPrompter prompts;
    FieldHome()
    {
        CurrentDrID = QStringLiteral("1");
        CurrentDrName = QStringLiteral("山田　太郎");
        PatientID = QStringLiteral("12");
        PatientName = QStringLiteral("佐藤　花子");
        for (const QString icon : {QStringLiteral("icon/check.gif"), QStringLiteral("icon/uncheck.gif")})
            QFile::copy(TestHome::sampleData() + QLatin1Char('/') + icon, home.data(icon));
        // Reading order (top, then left): 1 0 2 3 4 5 6 7 8.
        home.writeIni(QStringLiteral("検査票"), QStringLiteral("[DATA]\r\n") + QStringList{
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
        }.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        fheadInstance().MDIForm_Load();
        fheadInstance().show();
    }
    ~FieldHome()
    {
        docHooks() = DocumentHooks();
        if (FM *doc = fm())
            doc->更新チェック更新();
        UnloadFM();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    FM *build(const QString &kind = QStringLiteral("検査票"))
    {
        if (!BuildDocument(kind) || !fm())
            return nullptr;
        FM *doc = fm();
        doc->更新チェック更新();
        fhead()->activateWindow();
        return doc;
    }
};

// Key presses carrying text, as an input method hands over Japanese.
void Type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

QString Texts(const FM *doc)
{
    QStringList out;
    for (const DocLabel *item : doc->LbItem)
        out << item->text();
    return out.join(QLatin1Char('|'));
}
}

class TestFields : public QObject
{
    Q_OBJECT

private slots:
    void editorOpensOverFieldAndCommitsToItsTag();
    void focusLeavingCommitsButPopupsAndHidingDoNot();
    void tabWalksReadingOrderWithoutWrapping();
    void enterMakesLinesOnlyInMemoFields();
    void popupsWriteBareValuesAndCloseTheEditor();
    void checkImagesToggle();
    void badInputWritesNothingAstray();
};

void TestFields::editorOpensOverFieldAndCommitsToItsTag()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    QVERIFY(ed->Tag.isEmpty());
    // Never used: a click on the page commits nothing.
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値"));

    doc->LbItem_Click(0);
    QVERIFY(ed->isVisible());
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    QCOMPARE(ed->text(), QStringLiteral("初期値"));
    QCOMPARE(ed->twips(), doc->LbItem[0]->twips());
    QCOMPARE(ed->geometry(), doc->LbItem[0]->geometry());
    QCOMPARE(ed->font().family(), doc->LbItem[0]->pixelFont().family());
    QCOMPARE(ed->document()->defaultTextOption().alignment(), Qt::AlignRight);
    QCOMPARE(ed->textCursor().position(), 3);
    QVERIFY(ed->inputMethodQuery(Qt::ImEnabled).toBool());
    Type(ed, QStringLiteral("あり"));
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値"));

    // Another field: the first gets its text, the editor moves over the number field.
    doc->LbItem_Click(1);
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値あり"));
    QCOMPARE(ed->Tag, QStringLiteral("1"));
    QCOMPARE(ed->text(), QStringLiteral("36"));
    QCOMPARE(ed->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
    QVERIFY(!ed->inputMethodQuery(Qt::ImEnabled).toBool());
    QVERIFY(!ed->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClicks(ed, QStringLiteral(".5"));

    // A fixed text closes it with a commit, leaving the field as target.
    doc->Label_Click(0);
    QVERIFY(!ed->isVisible());
    QCOMPARE(ed->Tag, QStringLiteral("1"));
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("36.5"));
    // Closed, it still commits into the same field.
    ed->setText(QStringLiteral("37"));
    doc->LbKanja_Data_Click(0);
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("37"));
    ed->setText(QStringLiteral("38"));
    doc->Form_Click();
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("38"));

    // A date field clicked while editing: the edited field gets the text, the
    // pop-up opens for the date field, the editor stays.
    doc->LbItem_Click(2);
    Type(ed, QStringLiteral("経過良好"));
    doc->LbItem_Click(3);
    QCOMPARE(doc->LbItem[2]->text(), QStringLiteral("経過良好"));
    QCOMPARE(doc->LbItem[3]->text(), QString());
    QVERIFY(doc->MDate_Y_Head->isVisible());
    QCOMPARE(FM::MenuTag(doc->MDate_Y_Head), QStringLiteral("年"));
    QVERIFY(ed->isVisible());
    doc->MDate_Y_Head->hide();
    // Nothing chosen: still editing field 2.
    QCOMPARE(ed->Tag, QStringLiteral("2"));
}

void TestFields::focusLeavingCommitsButPopupsAndHidingDoNot()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    QWidget *other = fhead()->CbSetName;
    other->setFocusPolicy(Qt::StrongFocus);

    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("メニュー前"));
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(ed, &popupOut);
    QFocusEvent windowOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(ed, &windowOut);
    QVERIFY(ed->isVisible());
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値"));

    // The "▼" hides it; that must not commit through the focus leaving.
    ed->setFocus();
    doc->LbList_Click(0);
    doc->Mメニュー_Head->hide();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値"));
    QCOMPARE(ed->Tag, QStringLiteral("0"));

    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("移動"));
    QFocusEvent mouseOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(ed, &mouseOut);
    QVERIFY(!ed->isVisible());
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("移動"));
}

void TestFields::tabWalksReadingOrderWithoutWrapping()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    QCOMPARE(doc->LVTabIndex.first().text, QStringLiteral("1"));

    // First in reading order is field 1: Shift+Tab stays there.
    doc->LbItem_Click(1);
    QTest::keyClicks(ed, QStringLiteral("5"));
    QTest::keyClick(ed, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(ed->Tag, QStringLiteral("1"));
    QCOMPARE(ed->text(), QStringLiteral("365"));
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("365"));

    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    QCOMPARE(ed->text(), QStringLiteral("初期値"));
    QVERIFY(ed->inputMethodQuery(Qt::ImEnabled).toBool());
    // Ctrl+Shift moves forward, and Tab reaches pop-up fields as text input.
    QTest::keyClick(ed, Qt::Key_Backtab, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(ed->Tag, QStringLiteral("2"));
    QTest::keyClick(ed, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(ed->Tag, QStringLiteral("3"));
    QVERIFY(ed->isVisible());
    QTest::keyClicks(ed, QStringLiteral("2025"));
    QTest::keyClick(ed, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(doc->LbItem[3]->text(), QStringLiteral("2025"));
    QCOMPARE(ed->Tag, QStringLiteral("2"));
    QVERIFY(!ed->text().contains(QLatin1Char('\t')));

    doc->LbItem_Click(8);
    Type(ed, QStringLiteral("終"));
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(ed->Tag, QStringLiteral("8"));
    QCOMPARE(ed->text(), QStringLiteral("終"));
    QCOMPARE(doc->LbItem[8]->text(), QStringLiteral("終"));

    // A field outside the reading order leads to the first one.
    doc->NextTab(99, 1);
    QCOMPARE(ed->Tag, QStringLiteral("1"));
}

void TestFields::enterMakesLinesOnlyInMemoFields()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    doc->LbItem_Click(1);
    QTest::keyClick(ed, Qt::Key_Return);
    QTest::keyClick(ed, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(ed->text(), QStringLiteral("36"));
    doc->LbItem_Click(0);
    QTest::keyClick(ed, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(ed->text(), QStringLiteral("初期値"));
    doc->LbItem_Click(2);
    Type(ed, QStringLiteral("一行目"));
    QTest::keyClick(ed, Qt::Key_Return);
    Type(ed, QStringLiteral("二行目"));
    doc->Form_Click();
    QCOMPARE(doc->LbItem[2]->text(), QStringLiteral("一行目\n二行目"));
}

void TestFields::popupsWriteBareValuesAndCloseTheEditor()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    const int year = QDate::currentDate().year();

    doc->LbItem_Click(3);
    int pick = -1;
    for (int i = 1; i < doc->MDate_Y.count(); ++i)
        if (doc->MDate_Y[i]->data().toString() == QString::number(year))
            pick = i;
    QVERIFY(pick > 0);
    QVERIFY(doc->MDate_Y[pick]->text() != QString::number(year));
    doc->MDate_Y[pick]->trigger();
    doc->LbItem_Click(4);
    doc->MDate_M[1]->trigger();
    doc->LbItem_Click(5);
    doc->MDate_D[5]->trigger();
    QCOMPARE(doc->LbItem[3]->text(), QString::number(year));
    QCOMPARE(doc->LbItem[4]->text(), QStringLiteral("1"));
    QCOMPARE(doc->LbItem[5]->text(), QStringLiteral("5"));
    doc->LbItem_Click(4);
    doc->MDate_M[0]->trigger();
    QCOMPARE(doc->LbItem[4]->text(), QString());

    // ± goes to the highest field with the tag 判定 (8, not 6).
    doc->LbItem_Click(6);
    QCOMPARE(FM::MenuTag(doc->Mプラマイ), QStringLiteral("判定"));
    doc->Mプラス->trigger();
    QCOMPARE(doc->LbItem[8]->text(), QStringLiteral("＋"));
    QCOMPARE(doc->LbItem[6]->text(), QString());
    doc->Mマイナス->trigger();
    QCOMPARE(doc->LbItem[8]->text(), QStringLiteral("－"));

    // Editor over the year field by Tab, then a year chosen for it: the
    // editor closes, so no later commit writes its old text back.
    doc->LbItem_Click(2);
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(ed->Tag, QStringLiteral("3"));
    ed->setText(QStringLiteral("古い"));
    doc->LbItem_Click(3);
    QCOMPARE(doc->LbItem[3]->text(), QStringLiteral("古い"));
    doc->MDate_Y[pick]->trigger();
    QVERIFY(ed->Tag.isEmpty());
    QVERIFY(!ed->isVisible());
    doc->Form_Click();
    QCOMPARE(doc->LbItem[3]->text(), QString::number(year));
    doc->MDate_Y[0]->trigger();
    QCOMPARE(doc->LbItem[3]->text(), QString());
    for (QMenu *m : {doc->MDate_Y_Head, doc->MDate_M_Head, doc->MDate_D_Head, doc->Mプラマイ})
        m->hide();
}

void TestFields::checkImagesToggle()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocLabel *check = doc->ImgCheck[0];
    doc->LbItem_Click(0);
    doc->TxtInput->setText(QStringLiteral("未確定"));
    const QImage unchecked = check->picture().toImage();
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("1"));
    QVERIFY(check->picture().toImage() != unchecked);
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("0"));
    QCOMPARE(check->picture().toImage(), unchecked);
    check->DataField = QStringLiteral("はい");
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("0"));
    // The editor is left alone.
    QVERIFY(doc->TxtInput->isVisible());
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("初期値"));

    // Without the pictures the state still toggles.
    QFile::remove(h.home.data(QStringLiteral("icon/check.gif")));
    doc->ImgCheck_Click(0);
    QCOMPARE(check->DataField, QStringLiteral("1"));
    QCOMPARE(check->picture().toImage(), unchecked);
}

void TestFields::badInputWritesNothingAstray()
{
    FieldHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    const QString before = Texts(doc);

    // "date_y" is not "Date_Y": a click opens the editor; data kind 7 leaves
    // the input method as the last field had it.
    doc->LbItem_Click(1);
    doc->LbItem_Click(7);
    QCOMPARE(ed->Tag, QStringLiteral("7"));
    QVERIFY(!doc->MDate_Y_Head->isVisible());
    QVERIFY(!ed->inputMethodQuery(Qt::ImEnabled).toBool());
    QTest::keyClick(ed, Qt::Key_Return);
    QCOMPARE(ed->text(), QString());

    for (int index : {-1, 9, 1000}) {
        doc->LbItem_Click(index);
        doc->ImgCheck_Click(index);
        doc->MDate_Y_Click(index < 0 ? index : index + 100);
        doc->OpenEditor(index);
    }
    QCOMPARE(ed->Tag, QStringLiteral("7"));

    // An editor pointing at a field that does not exist writes nowhere.
    ed->Tag = QStringLiteral("42");
    ed->setText(QStringLiteral("迷子"));
    QTest::keyClick(ed, Qt::Key_Tab);
    doc->LbItem_Click(0);
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    doc->Form_Click();
    QCOMPARE(Texts(doc), before);

    // A very long text goes through the editor whole.
    const QString longText(10000, QChar(u'あ'));
    doc->LbItem_Click(2);
    ed->setText(longText);
    QTest::keyClick(ed, Qt::Key_Tab);
    QCOMPARE(doc->LbItem[2]->text(), longText);
    QCOMPARE(ed->Tag, QStringLiteral("3"));
}

QTEST_MAIN(TestFields)
#include "test_fields.moc"
