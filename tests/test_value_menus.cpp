#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "inserts/Phrases.h"
#include "inserts/ui/FSet.h"
#include "inserts/ui/InsertsHooks.h"
#include "storage/Database.h"
#include "templates/ui/BuildDocument.h"

#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QSqlQuery>
#include <QtTest>

namespace {
struct MenuHome
{
    TestHome home;
    ScriptedPrompter prompts;
    MenuHome()
    {
        CurrentDrID = QStringLiteral("1");
        CurrentDrName = QStringLiteral("山田　太郎");
        home.writeIni(QStringLiteral("検査票"), QStringLiteral("[DATA]\r\n") + QStringList{
            QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
            QStringLiteral("lbItem_0=500|500|3000|300|0|初期値|ＭＳ 明朝|10.5|0|1|所見|1|"),
            QStringLiteral("lbItem_1=500|1000|3000|300|0||ＭＳ 明朝|10.5|0|2|診断|1|"),
            QStringLiteral("lbItem_2=500|1500|3000|300|0||ＭＳ 明朝|10.5|0|3|診断|1|"),
            QStringLiteral("lbList_0=3600|500|255|300|所見|所見"),
            QStringLiteral("lbList_1=3600|1500|255|300|診断|患者's"),
            QStringLiteral("lbList_2=3600|2000|255|300|無い欄|所見"),
        }.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        fheadInstance().MDIForm_Load();
        fheadInstance().show();
    }
    ~MenuHome()
    {
        docHooks() = DocumentHooks();
        FSet::unload();
        if (FM *doc = fm())
            doc->更新チェック更新();
        UnloadFM();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    FM *build()
    {
        if (!BuildDocument(QStringLiteral("検査票")) || !fm())
            return nullptr;
        fm()->更新チェック更新();
        return fm();
    }
    static void addValue(const QString &dr, const QString &item, const QString &value)
    {
        QSqlQuery q(gDB());
        q.prepare(QStringLiteral("INSERT INTO \"メニュー\" (DrID, Item, Value) VALUES (?, ?, ?)"));
        q.addBindValue(dr);
        q.addBindValue(item);
        q.addBindValue(value);
        QVERIFY(q.exec());
    }
    static QStringList stored(const QString &item)
    {
        QStringList out;
        QSqlQuery q(gDB());
        q.prepare(QStringLiteral("SELECT DrID, Value FROM \"メニュー\" WHERE Item=? ORDER BY ID"));
        q.addBindValue(item);
        q.exec();
        while (q.next())
            out << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString();
        return out;
    }
};

// The values and delete entries the pop-up shows now.
QStringList Shown(const MenuArray &array)
{
    QStringList out;
    for (int i = 1; i < array.count(); ++i)
        if (array[i]->isVisible())
            out << array[i]->text();
    return out;
}
}

class TestValueMenus : public QObject
{
    Q_OBJECT

private slots:
    void menuListsTheDoctorsValuesOfTheItem();
    void surplusEntriesAreHiddenNotRemoved();
    void choosingWritesTrimmedValueAndDropsTheEditor();
    void registeringAndDeleting();
    void phrasesInsertAtTheEditorsCursor();
    void mainWindowListsPhraseClasses();
};

void TestValueMenus::menuListsTheDoctorsValuesOfTheItem()
{
    MenuHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    // Nothing registered: no 削除, only the blank entry and 定型文 around it.
    doc->LbList_Click(0);
    QVERIFY(doc->Mメニュー_Head->isVisible());
    QVERIFY(!doc->Mメニュー_Del_Head->menuAction()->isVisible());
    QVERIFY(doc->Mメニュー[0]->isVisible());
    QVERIFY(doc->Mメニュー[0]->text().isEmpty());
    QVERIFY(doc->Mメニュー_Add->isVisible() && doc->M定型文->isVisible());
    QCOMPARE(Shown(doc->Mメニュー), QStringList());
    doc->Mメニュー_Head->hide();

    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("  良好  "));
    MenuHome::addValue(QStringLiteral("2"), QStringLiteral("所見"), QStringLiteral("他の医師"));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("診断"), QStringLiteral("別の項目"));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("A&B"));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("悪化"));
    doc->LbList_Click(0);
    QCOMPARE(FM::MenuTag(doc->Mメニュー_Head), QStringLiteral("所見"));
    QCOMPARE(Shown(doc->Mメニュー), (QStringList{QStringLiteral("良好"), QStringLiteral("A&&B"), QStringLiteral("悪化")}));
    QCOMPARE(Shown(doc->Mメニュー_Del), Shown(doc->Mメニュー));
    QVERIFY(doc->Mメニュー_Del_Head->menuAction()->isVisible());
    QVERIFY(!doc->Mメニュー_Del[0]->isVisible());
    doc->Mメニュー_Head->hide();

    // An item name with a quote is a value like any other.
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("引用符"));
    doc->LbList_Click(1);
    QCOMPARE(Shown(doc->Mメニュー), QStringList{QStringLiteral("引用符")});
    doc->Mメニュー_Head->hide();

    // Another doctor sees only his own.
    CurrentDrID = QStringLiteral("2");
    doc->LbList_Click(0);
    QCOMPARE(Shown(doc->Mメニュー), QStringList{QStringLiteral("他の医師")});
    doc->Mメニュー_Head->hide();

    // A database that cannot answer shows no values rather than stale ones.
    QSqlQuery(gDB()).exec(QStringLiteral("DROP TABLE \"メニュー\""));
    doc->LbList_Click(0);
    QCOMPARE(Shown(doc->Mメニュー), QStringList());
    QVERIFY(!doc->Mメニュー_Del_Head->menuAction()->isVisible());
    doc->Mメニュー_Head->hide();
}

void TestValueMenus::surplusEntriesAreHiddenNotRemoved()
{
    MenuHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    for (int i = 1; i <= 5; ++i)
        MenuHome::addValue(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("値%1").arg(i));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("甲"));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("乙"));
    doc->LbList_Click(0);
    QCOMPARE(Shown(doc->Mメニュー).size(), 5);
    doc->Mメニュー_Head->hide();
    doc->LbList_Click(1);
    QCOMPARE(doc->Mメニュー.count(), 6);
    QCOMPARE(doc->Mメニュー_Del.count(), 6);
    QCOMPARE(Shown(doc->Mメニュー), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    QCOMPARE(Shown(doc->Mメニュー_Del), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    doc->Mメニュー_Head->hide();
}

void TestValueMenus::choosingWritesTrimmedValueAndDropsTheEditor()
{
    MenuHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("  良好  "));
    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("A&B"));

    // Text typed but not committed when "▼" is clicked is dropped.
    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("書きかけ"));
    doc->LbList_Click(0);
    QVERIFY(!ed->isVisible());
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    doc->Mメニュー[1]->trigger();
    doc->Mメニュー_Head->hide();
    QVERIFY(ed->Tag.isEmpty());
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("良好"));
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("良好"));

    // Two fields with the tag 診断: the higher one gets it, as typed.
    doc->LbList_Click(1);
    doc->Mメニュー[1]->trigger();
    QCOMPARE(doc->LbItem[2]->text(), QStringLiteral("A&B"));
    QCOMPARE(doc->LbItem[1]->text(), QString());
    doc->Mメニュー[0]->trigger();
    QCOMPARE(doc->LbItem[2]->text(), QString());
    doc->Mメニュー_Head->hide();

    // A button whose field does not exist writes nowhere.
    doc->LbList_Click(2);
    doc->Mメニュー[1]->trigger();
    doc->Mメニュー_Head->hide();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("良好"));
    QCOMPARE(doc->LbItem[1]->text(), QString());
    QCOMPARE(doc->LbItem[2]->text(), QString());
}

void TestValueMenus::registeringAndDeleting()
{
    MenuHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    doc->LbList_Click(1);
    h.prompts.inputs = {QString(), std::nullopt, QStringLiteral(" 軽快 "), QStringLiteral(" 軽快 ")};
    for (int i = 0; i < 4; ++i)
        doc->Mメニュー_Add->trigger();
    doc->Mメニュー_Head->hide();
    QCOMPARE(h.prompts.prompts.first(), QStringLiteral("患者'sを入力してください"));
    QCOMPARE(h.prompts.titles.first(), QStringLiteral("新規登録"));
    QCOMPARE(MenuHome::stored(QStringLiteral("患者's")),
             (QStringList{QStringLiteral("1: 軽快 "), QStringLiteral("1: 軽快 ")}));
    QCOMPARE(doc->LbItem[2]->text(), QString());

    MenuHome::addValue(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("最後"));
    doc->LbList_Click(1);
    QCOMPARE(Shown(doc->Mメニュー_Del).size(), 3);
    h.prompts.answers = {false, true};
    doc->Mメニュー_Del[3]->trigger();
    QCOMPARE(h.prompts.questions.last(), QStringLiteral("最後を削除してもいいですか?"));
    QCOMPARE(h.prompts.titles.last(), QStringLiteral("削除"));
    QCOMPARE(MenuHome::stored(QStringLiteral("患者's")).size(), 3);
    doc->Mメニュー_Del[1]->trigger();
    doc->Mメニュー_Head->hide();
    QCOMPARE(MenuHome::stored(QStringLiteral("患者's")),
             (QStringList{QStringLiteral("1: 軽快 "), QStringLiteral("1:最後")}));
    doc->LbList_Click(1);
    QCOMPARE(Shown(doc->Mメニュー), (QStringList{QStringLiteral("軽快"), QStringLiteral("最後")}));
    doc->Mメニュー_Head->hide();
}

void TestValueMenus::phrasesInsertAtTheEditorsCursor()
{
    MenuHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    DocEditor *ed = doc->TxtInput;
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("医師'用"), QStringLiteral("A")));
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("医師'用"), QStringLiteral("B")));
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("長文"), QString(10000, QChar(u'長'))));

    doc->M定型文->trigger();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("挿入先が選択されていません")});
    QCOMPARE(h.prompts.titles, QStringList{QStringLiteral("定型文")});
    QVERIFY(!FSet::loaded());

    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("12345"));
    QTextCursor c = ed->textCursor();
    c.setPosition(3);
    ed->setTextCursor(c);
    // Reached through the "▼" pop-up, which hides the editor but keeps its field.
    doc->LbList_Click(0);
    doc->M定型文->trigger();
    doc->Mメニュー_Head->hide();
    FSet *picker = FSet::loaded();
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(picker->ListSetName->count(), 2);
    picker->ListSetName->setCurrentItem(picker->ListSetName->findItems(QStringLiteral("医師'用"), Qt::MatchExactly).first());
    picker->ListSetName_Click();
    QCOMPARE(picker->ListSet->count(), 2);
    picker->CmdAllSel_Click();
    picker->CmdOK_Click();
    QVERIFY(ed->isVisible());
    QCOMPARE(ed->text(), QStringLiteral("123A    B45"));
    QCOMPARE(ed->textCursor().position(), 9);
    QCOMPARE(ed->Tag, QStringLiteral("0"));
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("123A    B45"));

    // A 10,000-character phrase goes in whole; the picker closes.
    doc->LbItem_Click(1);
    doc->M定型文->trigger();
    picker = FSet::loaded();
    QVERIFY(picker);
    picker->ListSetName->setCurrentItem(picker->ListSetName->findItems(QStringLiteral("長文"), Qt::MatchExactly).first());
    picker->ListSetName_Click();
    picker->ListSet->item(0)->setSelected(true);
    picker->CmdOK_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!FSet::loaded());
    doc->Form_Click();
    QCOMPARE(doc->LbItem[1]->text().size(), 10000);
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("123A    B45"));
}

void TestValueMenus::mainWindowListsPhraseClasses()
{
    MenuHome h;
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("医師'用"), QStringLiteral("所見なし")));
    QVERIFY(SavePhrase(0, QStringLiteral("2"), QStringLiteral("他人"), QStringLiteral("x")));
    InstallPhraseHooks();
    FHead &head = fheadInstance();
    head.MDIForm_Load();
    QCOMPARE(head.CbSetName->count(), 1);
    QCOMPARE(head.CbSetName->itemText(0), QStringLiteral("医師'用"));
    head.CbSetName->setCurrentIndex(0);
    head.CbSetName_Click();
    FSet *picker = FSet::loaded();
    QVERIFY(picker && !picker->isVisible());
    QCOMPARE(picker->ListSet->count(), 1);
    QCOMPARE(picker->ListSet->item(0)->text(), QStringLiteral("所見なし"));

    // No database answer: empty lists, no crash.
    QSqlQuery(gDB()).exec(QStringLiteral("DROP TABLE \"定型文\""));
    head.MDIForm_Load();
    QCOMPARE(head.CbSetName->count(), 0);
}

QTEST_MAIN(TestValueMenus)
#include "test_value_menus.moc"
