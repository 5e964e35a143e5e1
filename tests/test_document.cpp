#include "AppHome.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "app/ui/FHead.h"
#include "document/YearMenuCaption.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "storage/Database.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"

#include <QDate>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QMenu>
#include <QPainter>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QAccessible>
#include <QStyleOptionTitleBar>
#include <QtTest>

namespace {
// A home with a doctor, a patient and the main window loaded for them.
struct DocHome : AppHome
{
    DocHome()
    {
        setDoctor(QStringLiteral("1"), QStringLiteral("山田　太郎"));
        setPatient(kPatientSato);
        home.copyCheckIcons();
    }
};

QStringList Columns(const QString &table)
{
    QStringList out;
    const QSqlRecord rec = gDB().record(table);
    for (int i = 0; i < rec.count(); ++i)
        out << rec.fieldName(i);
    return out;
}
}

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void builtElementsTakeTemplateValues();
    void designValuesShowThrough();
    void fixedSourceFieldsAndPatientFields();
    void pageLineFlag();
    void readingOrderAndLI();
    void kindTableAndImageFolderMadeOnce();
    void badTemplatesStillBuild();
    void changeCheckComparesEachFieldAndCheckBoxes();
    void closeQuestionYesNoAndFailedSave();
    void menuSaveReportsAndResetsSnapshot();
    void rebuildingAsksFirstAndStartsUnchanged();
    void yearMenuLabelsEachYearWithItsEra();
    void menuTreeCaptionsAndKinds();
    void viewSwitchLooksAndRestoresLineColours();
    void pastingBurnsPictureWithAndAndPrintsText();
    void ruledLinesAndFramesOnScreenAsThePenDrawsThem();
    void labelTextsOnScreenAsDrawnText();
    void closeBoxAsksAndGivesTheMainWindowBack();
};

void TestDocument::builtElementsTakeTemplateValues()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("紹介状"), {
        QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
        QStringLiteral("label_0=300|400|3000|300|2|紹介状|ＭＳ 明朝|16|255|1|title"),
        QStringLiteral("lbItem_0=1440|2160|4320|300|1||ＭＳ Ｐ明朝|10.5|0|4|Referral|1|"),
        QStringLiteral("lbItem_1=1440|2700|900|300|0|x|ＭＳ 明朝|10.5|0|5|年|0|Date_Y"),
        QStringLiteral("lbList_0=5800|2160|255|300|Referral|紹介先"),
        QStringLiteral("LineG_0=100|200|8000|200|16711680|2|3"),
        QStringLiteral("ImgCheck_0=300|3000|240|240|同意|0"),
        QStringLiteral("ImgCheck_1=300|3300|240|240|説明|1"),
    });
    h.loadMainWindow();
    QVERIFY(h.build(QStringLiteral("紹介状")));
    FM *doc = fm();
    QVERIFY(doc);
    QCOMPARE(doc->Tag, QStringLiteral("紹介状"));
    QCOMPARE(doc->canvas()->size(), QSize(600, 400));
    QVERIFY(doc->subWindow()->isVisible() || !doc->subWindow()->isHidden());

    DocLabel *title = doc->Label[0];
    QCOMPARE(title->twips(), QRect(300, 400, 3000, 300));
    QCOMPARE(title->geometry(), QRect(20, 27, 200, 20));
    QCOMPARE(title->text(), QStringLiteral("紹介状"));
    QCOMPARE(title->alignment(), 2);
    QCOMPARE(title->fontSize(), 16.0);
    QCOMPARE(title->foreColor(), QColor(255, 0, 0));
    QCOMPARE(title->Tag, QStringLiteral("title"));
    QVERIFY(!title->isHidden());

    QCOMPARE(doc->LbItem.size(), 2);
    DocLabel *referral = doc->LbItem[0];
    QCOMPARE(referral->Tag, QStringLiteral("Referral"));
    QCOMPARE(referral->LinkItem, QStringLiteral("1"));
    QCOMPARE(referral->DataField, QString());
    QCOMPARE(referral->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(referral->fontName(), QStringLiteral("ＭＳ Ｐ明朝"));
    QCOMPARE(doc->LbItem[1]->DataField, QStringLiteral("Date_Y"));
    QCOMPARE(doc->LbItem[1]->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("x"));
    QCOMPARE(doc->Shape枠.size(), 2);
    QCOMPARE(doc->Shape枠[0].twips, QRect(1430, 2150, 4345, 325));
    QVERIFY(doc->Shape枠[1].visible);

    QCOMPARE(doc->LbList[0]->Tag, QStringLiteral("Referral"));
    QCOMPARE(doc->LbList[0]->toolTip(), QStringLiteral("紹介先"));

    const DocLine &line = doc->LineG[0];
    QCOMPARE(QList<int>({line.x1, line.y1, line.x2, line.y2}), QList<int>({100, 200, 8000, 200}));
    QCOMPARE(line.color, QColor(0, 0, 255));
    QCOMPARE(line.style, int(LineDash));
    QCOMPARE(line.width, 3);
    QVERIFY(line.visible);

    QCOMPARE(doc->ImgCheck[0]->DataField, QStringLiteral("0"));
    QCOMPARE(doc->ImgCheck[1]->DataField, QStringLiteral("1"));
    QVERIFY(!doc->ImgCheck[1]->picture().isNull());
    QCOMPARE(doc->ImgCheck[1]->Tag, QStringLiteral("説明"));

    // The in-place editor is made when a field is first edited, on top of
    // the page's elements.
    QVERIFY(!doc->TxtInput.ifMade());
    QTest::mouseClick(referral, Qt::LeftButton);
    QVERIFY(doc->TxtInput.ifMade());
    QVERIFY(!doc->TxtInput->isHidden());
    QCOMPARE(doc->TxtInput->Tag, QStringLiteral("0"));
    QCOMPARE(doc->canvas()->childAt(referral->geometry().center()), static_cast<QWidget *>(doc->TxtInput));
}

void TestDocument::designValuesShowThrough()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {
        QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
        // No text field: element 0 keeps its design text.
        QStringLiteral("label_0=100|100|1000|255"),
        QStringLiteral("label_1=100|400|1000|255|0|自分の文"),
        QStringLiteral("label_2=100|700|1000|255|0"),
        QStringLiteral("lbKanja_Data_0=100|1000|1000|255|0|無視|ＭＳ 明朝|10|0|1|登録外"),
        QStringLiteral("lbList_0=100|1300|255|255|A|一覧"),
        QStringLiteral("lbList_1=400|1300|255|255|B|一覧"),
    });
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FM *doc = fm();
    QCOMPARE(doc->Label[0]->text(), QStringLiteral("ラベル"));
    QCOMPARE(doc->Label[1]->text(), QStringLiteral("自分の文"));
    // Screen readers read a label as text.
    QAccessibleInterface *read = QAccessible::queryAccessibleInterface(doc->Label[1]);
    QVERIFY(read);
    QCOMPARE(read->role(), QAccessible::StaticText);
    QCOMPARE(read->text(QAccessible::Name), QStringLiteral("自分の文"));
    QCOMPARE(doc->Label[2]->text(), QStringLiteral("ラベル"));
    QCOMPARE(doc->LbKanja_Data[0]->text(), QStringLiteral("ＸＸ　ＸＸ"));
    QCOMPARE(doc->LbList[0]->text(), QStringLiteral("▼"));
    QCOMPARE(doc->LbList[1]->text(), QStringLiteral("▼"));
    // A later element copies element 0 as it stands when it is created.
    doc->Label[0]->setFontSize(20);
    DocLabel *copy = doc->LoadLabel(3);
    QCOMPARE(copy->fontSize(), 20.0);
    QCOMPARE(copy->twips(), doc->Label[0]->twips());
    QVERIFY(copy->isHidden());
}

void TestDocument::fixedSourceFieldsAndPatientFields()
{
    DocHome h;
    WriteIni(QStringLiteral("setting"), QStringLiteral("病院名"), QStringLiteral("ライドル病院"));
    WriteIni(QStringLiteral("setting"), QStringLiteral("〒"), QStringLiteral("100-0001"));
    h.writeTemplate(QStringLiteral("k"), {
        QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
        QStringLiteral("lbItem_0=100|100|1000|255|0|前の名|ＭＳ 明朝|10|0|1|My医師名|1|"),
        QStringLiteral("lbItem_1=100|400|1000|255|0||ＭＳ 明朝|10|0|1|My病院名|1|"),
        QStringLiteral("lbItem_2=100|700|1000|255|0||ＭＳ 明朝|10|0|1|My郵便番号|1|"),
        QStringLiteral("lbItem_3=100|1000|1000|255|0|消える|ＭＳ 明朝|10|0|1|MyFAX|1|"),
        QStringLiteral("lbItem_4=100|1300|1000|255|0||ＭＳ 明朝|10|0|1|日付Y|0|Date_Y"),
        QStringLiteral("lbItem_5=100|1600|1000|255|0||ＭＳ 明朝|10|0|1|日付M|0|Date_M"),
        QStringLiteral("lbItem_6=100|1900|1000|255|0||ＭＳ 明朝|10|0|1|日付D|0|Date_D"),
        QStringLiteral("lbItem_7=100|2200|1000|255|0||ＭＳ 明朝|10|0|1|記載者|1|"),
        QStringLiteral("lbKanja_Data_0=3000|100|2000|255|0||ＭＳ 明朝|10|0|1|患者名"),
        QStringLiteral("lbKanja_Data_1=3000|400|2000|255|0||ＭＳ 明朝|10|0|1|性別"),
        QStringLiteral("lbKanja_Data_2=3000|700|2000|255|0||ＭＳ 明朝|10|0|1|生月"),
    });
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FM *doc = fm();
    const QDate today = QDate::currentDate();
    QCOMPARE(doc->LI(QStringLiteral("My医師名"))->text(), QStringLiteral("山田　太郎"));
    QCOMPARE(doc->LI(QStringLiteral("記載者"))->text(), QStringLiteral("山田　太郎"));
    QCOMPARE(doc->LI(QStringLiteral("My病院名"))->text(), QStringLiteral("ライドル病院"));
    QCOMPARE(doc->LI(QStringLiteral("My郵便番号"))->text(), QStringLiteral("100-0001"));
    QCOMPARE(doc->LI(QStringLiteral("MyFAX"))->text(), QString());
    QCOMPARE(doc->LI(QStringLiteral("日付Y"))->text(), QString::number(today.year()));
    QCOMPARE(doc->LI(QStringLiteral("日付M"))->text(), today.toString(QStringLiteral("MM")));
    QCOMPARE(doc->LI(QStringLiteral("日付D"))->text(), today.toString(QStringLiteral("dd")));
    QCOMPARE(doc->LbKanja_Data[0]->text(), QStringLiteral("佐藤　花子"));
    QCOMPARE(doc->LbKanja_Data[1]->text(), QStringLiteral("女"));
    QCOMPARE(doc->LbKanja_Data[2]->text(), QStringLiteral("01"));
}

void TestDocument::pageLineFlag()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("one"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                  QStringLiteral("LineG_0=0|100|6000|100|0|1|1")});
    h.writeTemplate(QStringLiteral("two"), {QStringLiteral("Width=6000"), QStringLiteral("Height=20000"),
                                  QStringLiteral("LinePage_0=0|16000|6000|16000|255|3|1")});
    h.loadMainWindow();
    h.build(QStringLiteral("two"));
    QCOMPARE(fm()->LinePage[0].Tag, QStringLiteral("1"));
    QCOMPARE(fm()->LinePage[0].y1, 16000);
    h.build(QStringLiteral("one"));
    QCOMPARE(fm()->LinePage[0].Tag, QString());
    QVERIFY(!fm()->LinePage[0].visible);
}

void TestDocument::readingOrderAndLI()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {
        QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
        QStringLiteral("lbItem_0=3000|2160|900|255|0||ＭＳ 明朝|10|0|1|A|1|"),
        QStringLiteral("lbItem_1=1440|2160|900|255|0||ＭＳ 明朝|10|0|1|B|1|"),
        QStringLiteral("lbItem_2=8000|2060|900|255|0||ＭＳ 明朝|10|0|1|A|1|"),
        QStringLiteral("lbItem_3=9999999|-500|900|255|0||ＭＳ 明朝|10|0|1|D|1|"),
    });
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FM *doc = fm();
    QStringList order, keys;
    for (const FM::TabRow &row : doc->LVTabIndex) {
        order << row.text;
        keys << row.key;
    }
    // Keys are the last eight characters of each number with zeros in front.
    QCOMPARE(order, QStringList({"3", "2", "1", "0"}));
    QCOMPARE(keys[0], QStringLiteral("0000-500:09999999"));
    QCOMPARE(keys[2], QStringLiteral("00002160:00001440"));
    QCOMPARE(doc->LI(QStringLiteral("A")), doc->LbItem[2]);
    QCOMPARE(doc->LI(QStringLiteral("B")), doc->LbItem[1]);
    QCOMPARE(doc->LI(QStringLiteral("C")), nullptr);
}

void TestDocument::kindTableAndImageFolderMadeOnce()
{
    DocHome h;
    const QString kind = QStringLiteral("O'Brien \"select\" 書類");
    h.writeTemplate(kind, {
        QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
        QStringLiteral("lbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|A|0|"),
        QStringLiteral("lbItem_1=100|400|900|255|0||ＭＳ 明朝|10|0|1|B|1|"),
        QStringLiteral("lbItem_2=100|700|900|255|0||ＭＳ 明朝|10|0|1|C|2|"),
        QStringLiteral("lbItem_3=100|1000|900|255|0||ＭＳ 明朝|10|0|1|D||"),
        QStringLiteral("ImgCheck_0=100|1300|240|240|E|0"),
    });
    h.loadMainWindow();
    h.build(kind);
    QCOMPARE(Columns(kind), QStringList({"ID", "DrID", "患者番号", "A", "B", "C", "E", "編集日", "終了判定"}));
    QVERIFY(QFileInfo(h.home.data(QStringLiteral("pic_save/")) + kind).isDir());

    // The second document of the kind keeps table and folder, and only adds
    // the columns the table lacks.
    QSqlQuery(gDB()).exec(QStringLiteral("DROP TABLE %1").arg(QuoteIdent(kind)));
    QSqlQuery(gDB()).exec(QStringLiteral("CREATE TABLE %1 (ID INTEGER)").arg(QuoteIdent(kind)));
    QFile marker(h.home.data(QStringLiteral("pic_save/")) + kind + QStringLiteral("/1.png"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    h.build(kind);
    QCOMPARE(Columns(kind), QStringList({"ID", "DrID", "患者番号", "A", "B", "C", "E", "編集日", "終了判定"}));
    QVERIFY(marker.exists());
}

void TestDocument::badTemplatesStillBuild()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("bad"), {
        QStringLiteral("Width=abc"), QStringLiteral("Height=4000"),
        QStringLiteral("label_0=x|100|1000|255|0|壊れた位置|NoSuchFont|big|red|z|"),
        QStringLiteral("lbItem_0=100|100"),
        QStringLiteral("lbItem_1=100|400|900|255|0||ＭＳ 明朝|10|0|1|F|1|"),
        QStringLiteral("lbItem_3=100|900|900|255|0||ＭＳ 明朝|10|0|1|G|1|"),
        QStringLiteral("LineG_0=10|y|5000|100|color|9|-4"),
        QStringLiteral("ImgCheck_0=100|1300|240|240|H|"),
    });
    QFile::remove(h.home.data(QStringLiteral("icon/check.gif")));
    h.loadMainWindow();
    QVERIFY(h.build(QStringLiteral("bad")));
    FM *doc = fm();
    QCOMPARE(doc->LbItem.size(), 2);
    QCOMPARE(doc->Label[0]->text(), QStringLiteral("壊れた位置"));
    QCOMPARE(doc->Label[0]->twips(), QRect(0, 0, 1215, 255));
    QCOMPARE(doc->LineG[0].x1, 10);
    QCOMPARE(doc->LineG[0].y1, 0);
    QCOMPARE(doc->ImgCheck[0]->DataField, QStringLiteral("0"));
    QVERIFY(h.build(QStringLiteral("missing")));
    QCOMPARE(fm()->LbItem.size(), 1);
}

void TestDocument::changeCheckComparesEachFieldAndCheckBoxes()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {
        QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
        QStringLiteral("lbItem_0=100|100|900|255|0|ab|ＭＳ 明朝|10|0|1|A|1|"),
        QStringLiteral("lbItem_1=100|400|900|255|0|c|ＭＳ 明朝|10|0|1|B|1|"),
        QStringLiteral("ImgCheck_0=100|1300|240|240|E|0"),
    });
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FM *doc = fm();
    doc->更新チェック更新();
    QVERIFY(!doc->更新チェック());

    doc->LbItem[0]->setText(QStringLiteral("abc"));
    QVERIFY(doc->更新チェック());
    doc->LbItem[0]->setText(QStringLiteral("ab"));
    QVERIFY(!doc->更新チェック());

    // Text moved across the border of two fields is a change.
    doc->LbItem[0]->setText(QStringLiteral("a"));
    doc->LbItem[1]->setText(QStringLiteral("bc"));
    QVERIFY(doc->更新チェック());
    doc->更新チェック更新();

    // So is a ticked check box, and ticking it back is none.
    doc->ImgCheck_Click(0);
    QCOMPARE(doc->ImgCheck[0]->DataField, QStringLiteral("1"));
    QVERIFY(doc->更新チェック());
    doc->ImgCheck_Click(0);
    QVERIFY(!doc->更新チェック());

    doc->DocumentChanged = true;
    QVERIFY(doc->更新チェック());
    doc->更新チェック更新();
    QVERIFY(!doc->DocumentChanged);

    // An edit still open in the editor is committed before the check on close.
    doc->OpenEditor(1);
    doc->TxtInput->setText(QStringLiteral("typed"));
    ScriptedPrompter &prompts = h.prompts;
    QVERIFY(UnloadFM());
    QCOMPARE(prompts.questions, QStringList({QStringLiteral("変更されています。保存しますか？")}));
}

void TestDocument::closeQuestionYesNoAndFailedSave()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("紹介状"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                    QStringLiteral("lbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|A|1|")});
    h.loadMainWindow();
    QList<std::pair<int, QString>> saves;
    bool saveResult = true;
    docHooks().saveDocument = [&](int number, const QString &state) {
        saves.append({number, state});
        return saveResult;
    };
    ScriptedPrompter &prompts = h.prompts;

    // Untouched: nothing is asked.
    h.build(QStringLiteral("紹介状"));
    fm()->更新チェック更新();
    QVERIFY(UnloadFM());
    QVERIFY(prompts.asked.isEmpty());

    // No: closed without saving.
    h.build(QStringLiteral("紹介状"));
    fm()->更新チェック更新();
    fm()->LbItem[0]->setText(QStringLiteral("x"));
    prompts.answers = {false};
    QVERIFY(UnloadFM());
    QCOMPARE(prompts.questions, QStringList({QStringLiteral("変更されています。保存しますか？")}));
    QCOMPARE(prompts.titles, QStringList({QStringLiteral("紹介状")}));
    QVERIFY(saves.isEmpty());
    QCOMPARE(fm(), nullptr);

    // Yes: saved with the shown number and the state kept.
    h.build(QStringLiteral("紹介状"));
    fm()->更新チェック更新();
    fm()->Lb登録番号->setText(QStringLiteral("7"));
    fm()->LbItem[0]->setText(QStringLiteral("x"));
    prompts.clear();
    prompts.answers = {true};
    QVERIFY(UnloadFM());
    QCOMPARE(saves, (QList<std::pair<int, QString>>{{7, QString()}}));
    QVERIFY(prompts.messages.isEmpty());

    // Yes but the save fails: the doctor is told and the document stays open.
    h.build(QStringLiteral("紹介状"));
    fm()->更新チェック更新();
    fm()->LbItem[0]->setText(QStringLiteral("x"));
    saveResult = false;
    prompts.clear();
    prompts.answers = {true};
    FM *before = fm();
    QVERIFY(!UnloadFM());
    QCOMPARE(prompts.messages, QStringList({QStringLiteral("保存できませんでした")}));
    QCOMPARE(fm(), before);
    // Closing the window from its frame asks the same way.
    prompts.answers = {false};
    QVERIFY(before->subWindow()->close());
    QCOMPARE(fm(), nullptr);
}

void TestDocument::menuSaveReportsAndResetsSnapshot()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                QStringLiteral("lbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|A|1|")});
    h.loadMainWindow();
    bool ok = true;
    QStringList states;
    docHooks().saveDocument = [&](int, const QString &state) {
        states << state;
        return ok;
    };
    ScriptedPrompter &prompts = h.prompts;
    h.build(QStringLiteral("k"));
    fm()->LbItem[0]->setText(QStringLiteral("x"));
    fm()->M保存[1]->trigger();
    QCOMPARE(states, QStringList({"1"}));
    QCOMPARE(prompts.messages, QStringList({QStringLiteral("保存しました")}));
    QVERIFY(!fm()->更新チェック());

    fm()->LbItem[0]->setText(QStringLiteral("y"));
    ok = false;
    fm()->M保存[0]->trigger();
    QCOMPARE(states, QStringList({"1", "0"}));
    QCOMPARE(prompts.messages.last(), QStringLiteral("保存できませんでした"));
    QVERIFY(fm()->更新チェック());
}

void TestDocument::rebuildingAsksFirstAndStartsUnchanged()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("a"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                QStringLiteral("lbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|A|1|"),
                                QStringLiteral("lbItem_1=100|400|900|255|0||ＭＳ 明朝|10|0|1|日付Y|0|")});
    h.writeTemplate(QStringLiteral("b"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                QStringLiteral("lbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|日付Y|0|")});
    h.loadMainWindow();
    ScriptedPrompter &prompts = h.prompts;
    fheadInstance().MDoc_Click(0);
    QCOMPARE(fm()->Tag, QStringLiteral("a"));
    QVERIFY(!fm()->更新チェック());
    fm()->LbItem[0]->setText(QStringLiteral("x"));
    prompts.answers = {false};
    fm()->MDoc[1]->trigger();
    QCOMPARE(prompts.questions, QStringList({QStringLiteral("変更されています。保存しますか？")}));
    QCOMPARE(fm()->Tag, QStringLiteral("b"));
    QCOMPARE(fm()->LbItem.size(), 1);
    QVERIFY(!fm()->更新チェック());
    QCOMPARE(fheadInstance().mdiArea()->subWindowList().size(), 1);
}

void TestDocument::yearMenuLabelsEachYearWithItsEra()
{
    QCOMPARE(YearMenuCaption(2026), QStringLiteral("2026 (R8)"));
    QCOMPARE(YearMenuCaption(2019), QStringLiteral("2019 (R1)"));
    QCOMPARE(YearMenuCaption(2018), QStringLiteral("2018 (H30)"));
    QCOMPARE(YearMenuCaption(1989), QStringLiteral("1989 (H1)"));
    QCOMPARE(YearMenuCaption(1988), QStringLiteral("1988 (S63)"));
    QCOMPARE(YearMenuCaption(1926), QStringLiteral("1926 (S1)"));

    DocHome h;
    h.loadMainWindow();
    FM &doc = fmInstance();
    const int year = QDate::currentDate().year();
    QCOMPARE(doc.MDate_Y.count(), 13);
    QCOMPARE(doc.MDate_Y[0]->text(), QString());
    QCOMPARE(doc.MDate_Y[1]->data().toString(), QString::number(year + 1));
    QCOMPARE(doc.MDate_Y[12]->data().toString(), QString::number(year - 10));
    QCOMPARE(doc.MDate_Y[1]->text(), YearMenuCaption(year + 1));
    QCOMPARE(doc.MDate_Y_Head->actions().size(), 13);
    QCOMPARE(doc.MDate_M_Head->actions().size(), 13);
    QCOMPARE(doc.MDate_D.count(), 32);
    QCOMPARE(doc.MDate_D[31]->text(), QStringLiteral("31"));
}

void TestDocument::menuTreeCaptionsAndKinds()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("setting"), {QStringLiteral("病院名=x")});
    h.writeTemplate(QStringLiteral("紹介状"), {QStringLiteral("Width=6000")});
    h.writeTemplate(QStringLiteral("診断書"), {QStringLiteral("Width=6000")});
    h.loadMainWindow();
    FM &doc = fmInstance();
    auto texts = [](QMenu *m) {
        QStringList out;
        for (QAction *a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('|') + a->shortcut().toString());
        return out;
    };
    // Other commands may join the menu; these stay in this order.
    QStringList action = texts(doc.MAction);
    const QStringList expected{"印刷|Ctrl+P", "保留データに保存|Ctrl+H", "終了データに保存|Ctrl+S", "-", "終了|Ctrl+Q"};
    action.removeIf([&expected](const QString &t) { return !expected.contains(t); });
    QCOMPARE(action, expected);
    QCOMPARE(texts(doc.M表示切替_Head), QStringList({"通常入力|F1", "フリー編集|F2"}));
    QVERIFY(doc.M通常入力->isChecked());
    QVERIFY(!doc.Mフリー編集->isChecked());
    QCOMPARE(doc.MDoc.captions(), QStringList({"紹介状", "診断書"}));
    QCOMPARE(texts(doc.Mメニュー_Head), QStringList({"新規登録|", "削除|", "-", "|", "定型文|"}));
    QCOMPARE(texts(doc.Mプラマイ), QStringList({"＋|", "－|"}));
    QStringList bar;
    for (QMenu *m : doc.menuBarMenus())
        bar << m->title();
    QCOMPARE(bar, QStringList({"メニュー", "新規作成", "履歴", "表示切替"}));
}

void TestDocument::viewSwitchLooksAndRestoresLineColours()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {
        QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
        QStringLiteral("label_0=100|100|900|255|0|固定"),
        QStringLiteral("lbItem_0=100|400|900|255|0||ＭＳ 明朝|10|0|1|A|1|"),
        QStringLiteral("lbList_0=1000|400|255|255|A|一覧"),
        QStringLiteral("LineG_0=0|900|6000|900|255|1|1"),
        QStringLiteral("LinePage_0=0|3000|6000|3000|16711680|1|1"),
    });
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FHead &head = fheadInstance();
    FM *doc = fm();
    doc->Mフリー編集_Click();
    QVERIFY(doc->Mフリー編集->isChecked() && !doc->M通常入力->isChecked());
    QVERIFY(!head.PicLeft->isHidden());
    QVERIFY(head.PicRight->isHidden());
    QVERIFY(!doc->Label[0]->isEnabled() && !doc->LbItem[0]->isEnabled());
    QVERIFY(doc->LbMoji->isEnabled());
    QVERIFY(!doc->Shape枠[0].visible);
    QVERIFY(doc->LbList[0]->isHidden());
    QCOMPARE(doc->LineG[0].color, QColor(192, 192, 192));
    QVERIFY(!doc->MAction->isEnabled() && !doc->MDoc_Head->isEnabled() && !doc->M定型文->isEnabled());

    head.SelectTool(1);
    doc->M通常入力_Click();
    QCOMPARE(head.currentTool(), 0);
    QVERIFY(head.PicLeft->isHidden());
    QVERIFY(doc->LbItem[0]->isEnabled());
    QVERIFY(doc->Shape枠[0].visible);
    QVERIFY(!doc->LbList[0]->isHidden());
    QCOMPARE(doc->LineG[0].color, QColor(255, 0, 0));
    QCOMPARE(doc->LinePage[0].color, QColor(0, 0, 255));
    QVERIFY(doc->MAction->isEnabled() && doc->M定型文->isEnabled());
}

void TestDocument::pastingBurnsPictureWithAndAndPrintsText()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000")});
    h.loadMainWindow();
    h.build(QStringLiteral("k"));
    FM *doc = fm();
    {
        QPainter p(&doc->surface());
        p.fillRect(QRect(0, 0, 100, 100), Qt::red);
    }
    // Left half black, right half white.
    QPixmap picture(20, 20);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        p.fillRect(QRect(0, 0, 10, 20), Qt::black);
    }
    doc->Img->setPixmap(picture);
    doc->Img->setGeometry(10, 10, 40, 40);
    doc->Img->show();
    doc->CmdImgDel->show();
    doc->LbMoji->setText(QStringLiteral("所見"));
    doc->LbMoji->setForeColor(Qt::blue);
    doc->LbMoji->setFontSize(20);
    doc->LbMoji->moveTwips(PxToTwips(200), PxToTwips(200));
    doc->LbMoji->show();
    fheadInstance().Img貼付();
    QVERIFY(doc->Img->isHidden() && doc->CmdImgDel->isHidden() && doc->LbMoji->isHidden());
    const QImage &s = doc->surface();
    QCOMPARE(s.pixelColor(15, 30), QColor(Qt::black)); // stretched black half
    QCOMPARE(s.pixelColor(45, 30), QColor(Qt::red));   // white half leaves the drawing
    bool blue = false;
    for (int y = 200; y < 230 && !blue; ++y)
        for (int x = 200; x < 260 && !blue; ++x)
            blue = s.pixelColor(x, y).blue() > 200 && s.pixelColor(x, y).red() < 100;
    QVERIFY(blue);
    // Nothing floating: nothing changes.
    const QImage before = s.copy();
    fheadInstance().Img貼付();
    QCOMPARE(doc->surface(), before);
}


// The page fills straight solid lines and field frames as rectangles; the
// pixels on screen must be the ones the pen would have drawn, whatever the
// width, direction and length of a line.
void TestDocument::ruledLinesAndFramesOnScreenAsThePenDrawsThem()
{
    DocHome h;
    QStringList lines{QStringLiteral("Width=9000"), QStringLiteral("Height=9000")};
    int n = 0;
    auto line = [&](int x1, int y1, int x2, int y2, int style, int width) {
        lines << QStringLiteral("LineG_%1=%2|%3|%4|%5|%6|%7|%8")
                     .arg(n++).arg(x1).arg(y1).arg(x2).arg(y2).arg(n % 2 ? 255 : 0).arg(style).arg(width);
    };
    // Horizontal and vertical, both ways, widths 1 to 6, lengths from none
    // to a few pixels; between them dashed, dotted and slanted ones.
    for (int width = 1; width <= 6; ++width)
        for (int length = 0; length <= 4; ++length) {
            const int x = 300 + length * 600, y = 300 + width * 600;
            line(x, y, x + length * 15, y, 1, width);
            line(x + length * 15 + 150, y + 150, x + 150, y + 150, 1, width);
            line(x + 300, y, x + 300, y + length * 15, 1, width);
            line(x + 450, y + length * 15, x + 450, y, 1, width);
        }
    line(300, 5000, 8000, 5000, 2, 1);
    line(300, 5200, 8000, 5400, 1, 1);
    line(300, 5600, 8000, 5600, 3, 2);
    line(8500, 300, 8500, 8000, 1, 3);
    lines << QStringLiteral("LineG_%1=").arg(n);
    // Field frames of a few sizes, the smallest one pixel across.
    const QList<QRect> fields{QRect(600, 6000, 1200, 255), QRect(2400, 6000, 15, 15), QRect(3000, 6000, 30, 1),
                              QRect(3600, 6000, 2000, 900)};
    for (int i = 0; i < fields.size(); ++i)
        lines << QStringLiteral("lbItem_%1=%2|%3|%4|%5|0||ＭＳ 明朝|10.5|0|%1|欄%1|1|")
                     .arg(i).arg(fields[i].x()).arg(fields[i].y()).arg(fields[i].width()).arg(fields[i].height());
    h.writeTemplate(QStringLiteral("罫線"), lines);
    h.loadMainWindow(true);
    FM *doc = h.build(QStringLiteral("罫線"));
    QVERIFY(doc);
    const QImage shown = doc->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);

    QImage expected(shown.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter p(&expected);
    for (const DocLine &l : doc->LineG)
        if (l.visible) {
            p.setPen(PenFor(l.color, l.style, l.width));
            p.drawLine(QPointF(TwipsToPx(l.x1), TwipsToPx(l.y1)), QPointF(TwipsToPx(l.x2), TwipsToPx(l.y2)));
        }
    p.setBrush(Qt::NoBrush);
    for (const DocShape &frame : doc->Shape枠)
        if (frame.visible) {
            p.setPen(PenFor(frame.borderColor, frame.borderStyle, frame.borderWidth));
            p.drawRect(TwipsToPx(frame.twips).adjusted(0, 0, -1, -1));
        }
    p.end();
    QCOMPARE(n, 124);
    QCOMPARE(doc->Shape枠.size(), fields.size());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
}

// Label texts are laid out once and drawn from that on screen; they must
// look as drawing the text into the box does: every alignment, font and size,
// wrapped lines, line breaks, a disabled label, the same page opened twice.
void TestDocument::labelTextsOnScreenAsDrawnText()
{
    DocHome h;
    const QStringList texts{QStringLiteral("見出し1"), QStringLiteral("患者氏名"), QStringLiteral("平成３０年１２月８日"),
                            QStringLiteral("これは長い文章で、箱の幅で折り返します。"), QStringLiteral("abc def ghi jkl mno"),
                            QStringLiteral("記載内容　二行目"), QStringLiteral("▼"), QStringLiteral("12345.5")};
    const QStringList fonts{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("ＭＳ 明朝")};
    QStringList lines{QStringLiteral("Width=12000"), QStringLiteral("Height=15000")};
    int n = 0;
    for (const QString &text : texts)
        for (int alignment = 0; alignment < 3; ++alignment)
            for (int f = 0; f < fonts.size(); ++f) {
                const int x = 100 + (n % 6) * 1950, y = 100 + (n / 6) * 450;
                lines << QStringLiteral("label_%1=%2|%3|%4|420|%5|%6|%7|%8|%9")
                             .arg(n).arg(x).arg(y).arg(n % 4 == 3 ? 600 : 1900).arg(alignment)
                             .arg(text)
                             .arg(fonts[f]).arg(f ? 10.5 : 9 + n % 3 * 3).arg(n % 5 == 0 ? 255 : 0);
                ++n;
            }
    h.writeTemplate(QStringLiteral("見出し"), lines);
    h.loadMainWindow(true);
    for (int opened = 0; opened < 2; ++opened) {
        FM *doc = h.build(QStringLiteral("見出し"));
        QVERIFY(doc);
        QCOMPARE(doc->Label.size(), n);
        doc->Label[7]->setText(QStringLiteral("一行目\n二行目"));
        doc->Label[8]->setEnabled(false);
        const QImage shown = doc->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);

        QImage expected(shown.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        for (const DocLabel *label : doc->Label) {
            if (label->isHidden())
                continue;
            QPainter p(&expected);
            p.translate(label->pos());
            p.setFont(label->pixelFont());
            p.setPen(label->isEnabled() ? label->foreColor() : QColor(160, 160, 160));
            p.setClipRect(label->rect());
            p.drawText(label->rect(),
                       int(AlignmentFromInt(label->alignment()) | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip),
                       label->text());
        }
        QVERIFY(shown != QImage(shown.size(), QImage::Format_RGB32));
        if (shown != expected) {
            for (const DocLabel *label : doc->Label)
                if (shown.copy(label->geometry()) != expected.copy(label->geometry()))
                    QFAIL(qPrintable(QStringLiteral("label %1 \"%2\" differs").arg(label->index).arg(label->text())));
            QFAIL("the page differs outside the labels");
        }
    }
}

// The title bar's close box asks like 終了, and the main window stays, out of free editing.
void TestDocument::closeBoxAsksAndGivesTheMainWindowBack()
{
    DocHome h;
    h.writeTemplate(QStringLiteral("k"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000")});
    FHead &head = h.loadMainWindow(true);
    h.build(QStringLiteral("k"))->Mフリー編集_Click();
    fm()->DocumentChanged = true;
    QMdiSubWindow *sub = fm()->subWindow();
    QStyleOptionTitleBar bar;
    bar.initFrom(sub);
    bar.titleBarFlags = sub->windowFlags();
    bar.rect = QRect(0, 0, sub->width(), sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, sub));
    const QPoint box = sub->style()->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarCloseButton, sub).center();
    h.prompts.answers = {false};
    QTest::mouseMove(sub, box);
    QTest::mouseClick(sub, Qt::LeftButton, {}, box);
    QCOMPARE(h.prompts.questions.size(), 1);
    QVERIFY(!fm() && head.isVisible() && head.PicLeft->isHidden() && !head.PicRight->isHidden());
}

QTEST_MAIN(TestDocument)
#include "test_document.moc"
