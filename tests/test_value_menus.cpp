#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/MenuArray.h"
#include "inserts/Phrases.h"
#include "inserts/ui/FSet.h"
#include "inserts/ui/InsertsHooks.h"
#include "storage/Database.h"
#include "templates/ui/BuildDocument.h"

#include <QComboBox>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSqlQuery>
#include <QtTest>

namespace {
struct MenuHome : AppHome
{
    FM *doc = nullptr;
    MenuHome()
    {
        CurrentDrID = QStringLiteral("1");
        writeTemplate(QStringLiteral("検査票"), {
            QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
            QStringLiteral("lbItem_0=500|500|3000|300|0|初期値|ＭＳ 明朝|10.5|0|1|所見|1|"),
            QStringLiteral("lbItem_1=500|1000|3000|300|0||ＭＳ 明朝|10.5|0|2|診断|1|"),
            QStringLiteral("lbItem_2=500|1500|3000|300|0||ＭＳ 明朝|10.5|0|3|診断|1|"),
            QStringLiteral("lbList_0=3600|500|255|300|所見|所見"),
            QStringLiteral("lbList_1=3600|1500|255|300|診断|患者's"),
            QStringLiteral("lbList_2=3600|2000|255|300|無い欄|所見"),
        });
        loadMainWindow(true);
        doc = build(QStringLiteral("検査票"));
    }
    ~MenuHome() { FSet::unload(); }
    static void add(const QString &dr, const QString &item, const QString &value)
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
        q.prepare(QStringLiteral("SELECT Value FROM \"メニュー\" WHERE Item=? ORDER BY ID"));
        q.addBindValue(item);
        q.exec();
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    // The captions a button's pop-up shows (values, or the 削除 entries).
    QStringList open(int button, bool deletes = false) const
    {
        doc->LbList_Click(button);
        doc->Mメニュー_Head->hide();
        const MenuArray &array = deletes ? doc->Mメニュー_Del : doc->Mメニュー;
        QStringList out;
        for (int i = 1; i < array.count(); ++i)
            if (array[i]->isVisible())
                out << array[i]->text();
        return out;
    }
};
}

class TestValueMenus : public QObject
{
    Q_OBJECT

private slots:
    void valuesPerDoctorAndItemInOrder();
    void choosingRegisteringDeleting();
    void phrasesGoIntoTheEditor();
    void elementsLoadedBehindHiddenZeroAreEnabled();
};

void TestValueMenus::valuesPerDoctorAndItemInOrder()
{
    MenuHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    QCOMPARE(h.open(0), QStringList());
    QVERIFY(!doc->Mメニュー_Del_Head->menuAction()->isVisible());
    QVERIFY(doc->Mメニュー[0]->isVisible());

    for (const QString v : {QStringLiteral("  良好  "), QStringLiteral("A&B"), QStringLiteral("悪化"),
                            QStringLiteral("4"), QStringLiteral("5")})
        MenuHome::add(QStringLiteral("1"), QStringLiteral("所見"), v);
    MenuHome::add(QStringLiteral("2"), QStringLiteral("所見"), QStringLiteral("他の医師"));
    MenuHome::add(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("甲"));
    MenuHome::add(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("乙"));
    const QStringList five{QStringLiteral("良好"), QStringLiteral("A&&B"), QStringLiteral("悪化"),
                           QStringLiteral("4"), QStringLiteral("5")};
    QCOMPARE(h.open(0), five);
    QCOMPARE(h.open(0, true), five);
    QVERIFY(doc->Mメニュー_Del_Head->menuAction()->isVisible());
    QVERIFY(!doc->Mメニュー_Del[0]->isVisible());
    // A shorter list afterwards hides the rest, and a quote in the item is harmless.
    QCOMPARE(h.open(1), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    QCOMPARE(h.open(1, true).size(), 2);
    QCOMPARE(doc->Mメニュー.count(), 6);

    CurrentDrID = QStringLiteral("2");
    QCOMPARE(h.open(0), QStringList{QStringLiteral("他の医師")});
    // A query that fails shows no values rather than stale ones.
    QSqlQuery(gDB()).exec(QStringLiteral("DROP TABLE \"メニュー\""));
    QCOMPARE(h.open(0), QStringList());
    QVERIFY(!doc->Mメニュー_Del_Head->menuAction()->isVisible());
}

void TestValueMenus::choosingRegisteringDeleting()
{
    MenuHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    MenuHome::add(QStringLiteral("1"), QStringLiteral("所見"), QStringLiteral("  良好  "));

    // The editor's unsaved text is dropped; the value goes in trimmed.
    doc->LbItem_Click(0);
    doc->TxtInput->setText(QStringLiteral("書きかけ"));
    h.open(0);
    doc->Mメニュー[1]->trigger();
    QVERIFY(doc->TxtInput->Tag.isEmpty());
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("良好"));
    h.open(2); // its tag names no field
    doc->Mメニュー[1]->trigger();
    QCOMPARE(doc->LbItem[0]->text() + doc->LbItem[1]->text() + doc->LbItem[2]->text(), QStringLiteral("良好"));

    h.open(1);
    h.prompts.inputs = {QString(), std::nullopt, QStringLiteral(" A&B "), QStringLiteral(" A&B ")};
    for (int i = 0; i < 4; ++i)
        doc->Mメニュー_Add->trigger();
    QCOMPARE(h.prompts.prompts.first(), QStringLiteral("患者'sを入力してください"));
    QCOMPARE(h.prompts.titles.first(), QStringLiteral("新規登録"));
    QCOMPARE(MenuHome::stored(QStringLiteral("患者's")), QStringList(2, QStringLiteral(" A&B ")));
    QCOMPARE(doc->LbItem[2]->text(), QString());
    h.open(1);
    doc->Mメニュー[2]->trigger(); // the highest field tagged 診断, as typed
    QCOMPARE(doc->LbItem[2]->text(), QStringLiteral("A&B"));
    doc->Mメニュー[0]->trigger();
    QCOMPARE(doc->LbItem[2]->text(), QString());

    MenuHome::add(QStringLiteral("1"), QStringLiteral("患者's"), QStringLiteral("最後"));
    h.open(1);
    h.prompts.answers = {false, true};
    doc->Mメニュー_Del[3]->trigger();
    QCOMPARE(h.prompts.questions.last(), QStringLiteral("最後を削除してもいいですか?"));
    QCOMPARE(h.prompts.titles.last(), QStringLiteral("削除"));
    doc->Mメニュー_Del[1]->trigger();
    QCOMPARE(MenuHome::stored(QStringLiteral("患者's")), (QStringList{QStringLiteral(" A&B "), QStringLiteral("最後")}));
}

void TestValueMenus::phrasesGoIntoTheEditor()
{
    MenuHome h;
    QVERIFY(h.doc);
    FM *doc = h.doc;
    DocEditor *ed = doc->TxtInput;
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("医師'用"), QStringLiteral("A")));
    QVERIFY(SavePhrase(0, QStringLiteral("1"), QStringLiteral("医師'用"), QStringLiteral("B")));
    QVERIFY(SavePhrase(0, QStringLiteral("2"), QStringLiteral("他人"), QString(10000, QChar(u'長'))));
    InstallPhraseHooks();
    fheadInstance().MDIForm_Load(); // hides the document window
    doc->subWindow()->show();
    QCOMPARE(fheadInstance().CbSetName->count(), 1);

    doc->M定型文->trigger();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("挿入先が選択されていません")});
    QCOMPARE(h.prompts.titles, QStringList{QStringLiteral("定型文")});
    QVERIFY(!FSet::loaded());

    doc->LbItem_Click(0);
    ed->setText(QStringLiteral("12345"));
    QTextCursor c = ed->textCursor();
    c.setPosition(3);
    ed->setTextCursor(c);
    h.open(0); // hides the editor, keeps its field
    doc->M定型文->trigger();
    FSet *picker = FSet::loaded();
    QVERIFY(picker && picker->isVisible());
    // The doctor picks the class in the main window's list, which fills the picker.
    fheadInstance().CbSetName->setCurrentIndex(0);
    fheadInstance().CbSetName_Click();
    QCOMPARE(picker->ListSet->count(), 2);
    picker->CmdAllSel_Click();
    picker->CmdOK_Click();
    QVERIFY(ed->isVisible());
    QCOMPARE(ed->text(), QStringLiteral("123A    B45"));
    QCOMPARE(ed->textCursor().position(), 9);

    CurrentDrID = QStringLiteral("2");
    doc->M定型文->trigger();
    picker = FSet::loaded();
    picker->ListSetName->setCurrentRow(0);
    picker->ListSetName_Click();
    picker->ListSet->item(0)->setSelected(true);
    picker->CmdOK_Click();
    doc->Form_Click();
    QCOMPARE(doc->LbItem[0]->text().size(), 255); // a text field holds no more
}

void TestValueMenus::elementsLoadedBehindHiddenZeroAreEnabled()
{
    QMenu menu;
    int chosen = -1;
    MenuArray array(&menu, menu.addAction(QString()), [&chosen](int i) { chosen = i; });
    array.at(0)->setVisible(false);
    QAction *one = array.load(1);
    QVERIFY(one->isEnabled());
    one->trigger();
    QCOMPARE(chosen, 1);
    array.at(0)->setVisible(true);
    array.at(0)->setEnabled(false);
    QVERIFY(!array.load(2)->isEnabled());
}

QTEST_MAIN(TestValueMenus)
#include "test_value_menus.moc"
