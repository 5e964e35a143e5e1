#include "AppHome.h"
#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "inserts/ui/InsertsHooks.h"
#include "inserts/Phrases.h"
#include "inserts/ui/FSet.h"
#include "inserts/ui/FSet_Save.h"
#include "inserts/ui/PhraseLists.h"
#include "storage/Database.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

int addPhrase(const QString &drId, const QString &className, const QString &value)
{
    OpenRS(QStringLiteral("Dynaset"), QStringLiteral("定型文"));
    gRS.addNew();
    gRS.setField(QStringLiteral("DrID"), drId);
    gRS.setField(QStringLiteral("Class"), className);
    gRS.setField(QStringLiteral("Value"), value);
    gRS.update();
    const int id = gRS.lastInsertId().toInt();
    gRS.close();
    return id;
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList texts(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

void chooseClass(FSet *picker, const QString &className)
{
    const auto found = picker->ListSetName->findItems(className, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    picker->ListSetName->setCurrentItem(found.first());
    picker->ListSetName_Click();
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestPhrases : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void classesBelongToTheCurrentDoctor();
    void addChangeAndDeleteThroughTheEditor();
    void emptyClassOrContentIsRefused();
    void answeringNoKeepsThePhrase();
    void lastPhraseTakesItsClassAlong();
    void quotesAndLongPhrasesAreStoredAsTyped();
    void vanishedPhraseIsSavedAsNew();
    void insertionAtTheCursor();
    void insertionThroughThePicker();
    void phrasesLoadedFromTheMainWindowKeepTheirClass();
    void sidePanelPhrasesGoIntoTheEditedField();
    void closeBoxesUnloadLikeCancel();
};

void TestPhrases::cleanup()
{
    FSet::unload();
    FSet_Save::unload();
    FSet::setInsertTarget({});
    flushDeletes();
}

void TestPhrases::classesBelongToTheCurrentDoctor()
{
    TestHome home;
    const QString yamada = QString::number(home.addDoctor(QStringLiteral("山田")));
    const QString sato = QString::number(home.addDoctor(QStringLiteral("佐藤")));
    addPhrase(yamada, QStringLiteral("所見"), QStringLiteral("異常なし"));
    addPhrase(yamada, QStringLiteral("所見"), QStringLiteral("経過良好"));
    addPhrase(yamada, QStringLiteral("処方"), QStringLiteral("継続"));
    addPhrase(sato, QStringLiteral("紹介"), QStringLiteral("よろしくお願いします"));

    CurrentDrID = yamada;
    QComboBox combo;
    LoadPhraseClasses(&combo);
    QStringList classes = texts(&combo);
    classes.sort();
    QCOMPARE(classes, (QStringList{QStringLiteral("処方"), QStringLiteral("所見")}));

    CurrentDrID = sato;
    LoadPhraseClasses(&combo);
    QCOMPARE(texts(&combo), QStringList{QStringLiteral("紹介")});
    FSet *picker = FSet::load();
    QVERIFY(!picker->isVisible());
    QCOMPARE(texts(picker->ListSetName), QStringList{QStringLiteral("紹介")});
    QCOMPARE(picker->ListSet->count(), 0);

    const QString nobody = QString::number(home.addDoctor(QStringLiteral("新人")));
    CurrentDrID = nobody;
    LoadPhraseClasses(&combo);
    QCOMPARE(combo.count(), 0);
    QCOMPARE(FSet_Save::load()->CbClass->count(), 0);
}

void TestPhrases::addChangeAndDeleteThroughTheEditor()
{
    TestHome home;
    ScriptedPrompter prompts;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));

    FSet::showShared()->Cmd追加_Click();
    QVERIFY(!FSet::loaded());
    FSet_Save *editor = FSet_Save::loaded();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("定型文"));
    QCOMPARE(editor->tag(), QStringLiteral("0"));
    QVERIFY(!editor->Cmd削除->isVisibleTo(editor));
    editor->CbClass->setEditText(QStringLiteral("所見"));
    editor->TxtValue->setPlainText(QStringLiteral("異常なし"));
    editor->Cmd登録_Click();
    QVERIFY(!FSet_Save::loaded());

    // The picker comes back with the new class and without a chosen one.
    FSet *picker = FSet::loaded();
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(texts(picker->ListSetName), QStringList{QStringLiteral("所見")});
    QCOMPARE(picker->ListSet->count(), 0);

    chooseClass(picker, QStringLiteral("所見"));
    QCOMPARE(texts(picker->ListSet), QStringList{QStringLiteral("異常なし")});
    const int id = picker->ListSet->item(0)->data(Qt::UserRole).toInt();
    picker->ListSet->setCurrentRow(0);
    picker->ListSet_DblClick();
    editor = FSet_Save::loaded();
    QVERIFY(editor);
    QVERIFY(!FSet::loaded());
    QVERIFY(editor->Cmd削除->isVisibleTo(editor));
    QCOMPARE(editor->tag(), QString::number(id));
    QCOMPARE(editor->CbClass->currentText(), QStringLiteral("所見"));
    QCOMPARE(editor->TxtValue->toPlainText(), QStringLiteral("異常なし"));

    editor->TxtValue->setPlainText(QStringLiteral("特記すべき異常なし"));
    editor->Cmd登録_Click();
    const QVector<Phrase> phrases = PhrasesOf(CurrentDrID, QStringLiteral("所見"));
    QCOMPARE(phrases.size(), 1);
    QCOMPARE(phrases[0].id, id);
    QCOMPARE(phrases[0].value, QStringLiteral("特記すべき異常なし"));

    picker = FSet::loaded();
    chooseClass(picker, QStringLiteral("所見"));
    picker->ListSet->setCurrentRow(0);
    picker->ListSet_DblClick();
    prompts.answers = {true};
    FSet_Save::loaded()->Cmd削除_Click();
    QCOMPARE(prompts.questions, QStringList{QStringLiteral("削除しますか？")});
    QCOMPARE(prompts.titles.last(), QStringLiteral("定型文"));
    QVERIFY(PhrasesOf(CurrentDrID, QStringLiteral("所見")).isEmpty());
    QVERIFY(FSet::loaded() && !FSet_Save::loaded());
    QCOMPARE(prompts.messages, QStringList());
}

void TestPhrases::emptyClassOrContentIsRefused()
{
    TestHome home;
    ScriptedPrompter prompts;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    FSet_Save *editor = FSet_Save::showShared();
    editor->setTag(QStringLiteral("0"));

    editor->TxtValue->setPlainText(QStringLiteral("内容だけ"));
    editor->Cmd登録_Click();
    editor->CbClass->setEditText(QStringLiteral("分類だけ"));
    editor->TxtValue->clear();
    editor->Cmd登録_Click();
    QCOMPARE(prompts.messages, (QStringList{QStringLiteral("分類名を入力してください"),
                                            QStringLiteral("内容を入力してください")}));
    QCOMPARE(FSet_Save::loaded(), editor);
    QVERIFY(!FSet::loaded());
    QVERIFY(PhraseClassesOf(CurrentDrID).isEmpty());
}

void TestPhrases::answeringNoKeepsThePhrase()
{
    TestHome home;
    ScriptedPrompter prompts;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    const int id = addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("異常なし"));
    FSet_Save *editor = FSet_Save::showShared();
    editor->setTag(QString::number(id));
    prompts.answers = {false};
    editor->Cmd削除_Click();
    QCOMPARE(prompts.questions.size(), 1);
    QCOMPARE(FSet_Save::loaded(), editor);
    QCOMPARE(PhrasesOf(CurrentDrID, QStringLiteral("所見")).size(), 1);
}

void TestPhrases::lastPhraseTakesItsClassAlong()
{
    TestHome home;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    const int a = addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("A"));
    const int b = addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("B"));
    addPhrase(CurrentDrID, QStringLiteral("処方"), QStringLiteral("C"));

    QVERIFY(DeletePhrase(a));
    QVERIFY(PhraseClassesOf(CurrentDrID).contains(QStringLiteral("所見")));
    // Moving the last phrase to another class empties the old one too.
    QVERIFY(SavePhrase(b, CurrentDrID, QStringLiteral("処方"), QStringLiteral("B")));
    QCOMPARE(PhraseClassesOf(CurrentDrID), QStringList{QStringLiteral("処方")});
    QCOMPARE(texts(FSet::load()->ListSetName), QStringList{QStringLiteral("処方")});
    QVERIFY(!DeletePhrase(a));
}

void TestPhrases::quotesAndLongPhrasesAreStoredAsTyped()
{
    TestHome home;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    const QString className = QStringLiteral("医師'用");
    QString longValue;
    while (longValue.size() < 10000)
        longValue += QStringLiteral("所見'\"%_;-- ");
    longValue.truncate(10000);
    QVERIFY(SavePhrase(0, CurrentDrID, className, longValue));
    QVERIFY(SavePhrase(0, CurrentDrID, QStringLiteral("x' OR '1'='1"), QStringLiteral("y")));

    QComboBox combo;
    LoadPhraseClasses(&combo);
    QVERIFY(texts(&combo).contains(className));
    LoadPhrases(className);
    QListWidget *list = FSet::loaded()->ListSet;
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), longValue);
    LoadPhrases(QStringLiteral("医師"));
    QCOMPARE(list->count(), 0);
}

void TestPhrases::vanishedPhraseIsSavedAsNew()
{
    TestHome home;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    QVERIFY(SavePhrase(42, CurrentDrID, QStringLiteral("所見"), QStringLiteral("残す")));
    const QVector<Phrase> phrases = PhrasesOf(CurrentDrID, QStringLiteral("所見"));
    QCOMPARE(phrases.size(), 1);
    QCOMPARE(phrases[0].value, QStringLiteral("残す"));
}

void TestPhrases::insertionAtTheCursor()
{
    const PhraseInsertion two = InsertPhrases(QStringLiteral("12345"), 3,
                                              {QStringLiteral("A"), QStringLiteral("B")});
    QCOMPARE(two.text, QStringLiteral("123A    B45"));
    QCOMPARE(two.cursor, 9);
    const PhraseInsertion none = InsertPhrases(QStringLiteral("12345"), 2, {});
    QCOMPARE(none.text, QStringLiteral("12345"));
    QCOMPARE(none.cursor, 2);
    const PhraseInsertion atEnd = InsertPhrases(QString(), 0, {QStringLiteral("所見  ")});
    QCOMPARE(atEnd.text, QStringLiteral("所見"));
    QCOMPARE(atEnd.cursor, 2);

    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("一行目\n二行目"));
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(4);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    InsertPhrasesAtCursor(&editor, {QStringLiteral("X"), QStringLiteral("Y")});
    QCOMPARE(editor.toPlainText(), QStringLiteral("一行目\nX    Y二行目"));
    QCOMPARE(editor.textCursor().position(), 10);
    QVERIFY(!editor.textCursor().hasSelection());
}

void TestPhrases::insertionThroughThePicker()
{
    TestHome home;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    for (const char *value : {"A", "skip", "B"})
        addPhrase(CurrentDrID, QStringLiteral("所見"), QString::fromUtf8(value));
    QPlainTextEdit field;
    field.setPlainText(QStringLiteral("12345"));
    QTextCursor cursor = field.textCursor();
    cursor.setPosition(3);
    field.setTextCursor(cursor);
    FSet::setInsertTarget([&field] { return &field; });

    FSet *picker = FSet::showShared();
    chooseClass(picker, QStringLiteral("所見"));
    QCOMPARE(picker->ListSet->count(), 3);
    picker->ListSet->item(0)->setSelected(true);
    picker->ListSet->item(2)->setSelected(true);
    picker->CmdOK_Click();
    QCOMPARE(field.toPlainText(), QStringLiteral("123A    B45"));
    QCOMPARE(field.textCursor().position(), 9);
    QVERIFY(!FSet::loaded());

    picker = FSet::showShared();
    chooseClass(picker, QStringLiteral("所見"));
    picker->CmdAllSel_Click();
    QCOMPARE(picker->ListSet->selectedItems().size(), 3);
    picker->ListSet->clearSelection();
    picker->CmdOK_Click();
    QCOMPARE(field.toPlainText(), QStringLiteral("123A    B45"));
    QVERIFY(!FSet::loaded());

    // No field being edited: nothing to write into, the picker still closes.
    FSet::setInsertTarget([] { return nullptr; });
    picker = FSet::showShared();
    chooseClass(picker, QStringLiteral("所見"));
    picker->CmdAllSel_Click();
    picker->CmdOK_Click();
    QVERIFY(!FSet::loaded());
    QCOMPARE(field.toPlainText(), QStringLiteral("123A    B45"));
}

void TestPhrases::phrasesLoadedFromTheMainWindowKeepTheirClass()
{
    TestHome home;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    addPhrase(CurrentDrID, QStringLiteral("処方"), QStringLiteral("継続"));
    addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("異常なし"));

    LoadPhrases(QStringLiteral("所見"));
    FSet *picker = FSet::loaded();
    QVERIFY(picker && !picker->isVisible());
    QCOMPARE(texts(picker->ListSet), QStringList{QStringLiteral("異常なし")});
    FSet::showShared();
    picker->ListSet->setCurrentRow(0);
    picker->ListSet_DblClick();
    QCOMPARE(FSet_Save::loaded()->CbClass->currentText(), QStringLiteral("所見"));
}

void TestPhrases::sidePanelPhrasesGoIntoTheEditedField()
{
    AppHome h;
    AppHome::setPatient(kPatientSato);
    AppHome::setDoctor(QString::number(h.home.addDoctor(QStringLiteral("山田"))), QStringLiteral("山田"));
    const QString other = QString::number(h.home.addDoctor(QStringLiteral("佐藤")));
    addPhrase(CurrentDrID, QStringLiteral("処方"), QStringLiteral("継続"));
    addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("異常なし"));
    addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("経過良好"));
    addPhrase(other, QStringLiteral("所見"), QStringLiteral("佐藤の所見"));
    h.writeTemplate(QStringLiteral("紹介状"),
                    {QStringLiteral("Width=9000"), QStringLiteral("Height=6000"),
                     QStringLiteral("lbItem_0=300|800|3000|255|0||ＭＳ 明朝|10|0|1|所見|1|"),
                     QStringLiteral("lbItem_1=300|1300|6000|900|0||ＭＳ 明朝|10|0|2|経過|2|")});
    InstallPhraseHooks();
    FHead &head = h.loadMainWindow(true);
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    QCOMPARE(head.ListSet->count(), 0);
    // No class shows as chosen while its phrases are not listed.
    QCOMPARE(head.CbSetName->currentIndex(), -1);
    QCOMPARE(head.CbSetName->currentText(), QString());

    // Choosing a class fills the panel's own list with that doctor's phrases.
    const int shown = head.CbSetName->findText(QStringLiteral("所見"));
    QVERIFY(shown >= 0);
    head.CbSetName->setCurrentIndex(shown);
    emit head.CbSetName->activated(shown);
    QCOMPARE(texts(head.ListSet), (QStringList{QStringLiteral("異常なし"), QStringLiteral("経過良好")}));
    QCOMPARE(texts(FSet::loaded()->ListSet), texts(head.ListSet));

    // Phrases longer than the narrow panel wrap, every word of them readable.
    addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("胸部聴診上、異常を認めません。"));
    addPhrase(CurrentDrID, QStringLiteral("所見"),
              QStringLiteral("血液検査では炎症反応の上昇を認めます。経過を見ながら治療します。"));
    emit head.CbSetName->activated(shown);
    QCOMPARE(head.ListSet->count(), 4);
    const QImage panel = head.ListSet->grab().toImage();
    const QPoint viewportAt = head.ListSet->viewport()->mapTo(head.ListSet, QPoint(0, 0));
    for (int row = 2; row < 4; ++row) {
        QListWidgetItem *item = head.ListSet->item(row);
        const QRect at = head.ListSet->visualItemRect(item).translated(viewportAt);
        QVERIFY(at.right() <= head.ListSet->viewport()->width() + viewportAt.x());
        const QFontMetrics metrics = head.ListSet->fontMetrics();
        const int lines = qRound(
            metrics.boundingRect(QRect(0, 0, at.width() - 6, 10000), Qt::TextWordWrap, item->text()).height()
            / double(metrics.lineSpacing()));
        QVERIFY(lines >= 2);
        // Ink reaches down into the last line: nothing was cut off behind an ellipsis.
        int top = -1, bottom = -1;
        for (int y = at.top(); y <= at.bottom(); ++y)
            for (int x = at.left(); x <= at.right(); ++x)
                if (qGray(panel.pixel(x, y)) < 128) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    break;
                }
        QVERIFY2(bottom - top >= (lines - 1) * metrics.lineSpacing(), qPrintable(item->text()));
    }

    // No document yet, then a document with no field being edited: told so, nothing written.
    auto doubleClick = [&head](int row) {
        const QRect at = head.ListSet->visualItemRect(head.ListSet->item(row));
        // A double-click begins with a click.
        QTest::mouseClick(head.ListSet->viewport(), Qt::LeftButton, Qt::NoModifier, at.center());
        QTest::mouseDClick(head.ListSet->viewport(), Qt::LeftButton, Qt::NoModifier, at.center());
    };
    doubleClick(1);
    FM *doc = h.build(QStringLiteral("紹介状"));
    QVERIFY(doc);
    doubleClick(1);
    QCOMPARE(h.prompts.messages, (QStringList{QStringLiteral("挿入先が選択されていません"),
                                              QStringLiteral("挿入先が選択されていません")}));
    QCOMPARE(h.prompts.titles.last(), QStringLiteral("定型文"));
    QCOMPARE(doc->LbItem[0]->text(), QString());

    // Editing a field: the phrase goes in at the cursor, as 挿入 puts it.
    h.prompts.clear();
    doc->OpenEditor(1);
    doc->TxtInput->setText(QStringLiteral("12345"));
    QTextCursor cursor = doc->TxtInput->textCursor();
    cursor.setPosition(3);
    doc->TxtInput->setTextCursor(cursor);
    doubleClick(1);
    QVERIFY(h.prompts.asked.isEmpty());
    QVERIFY(doc->TxtInput->isVisible());
    QCOMPARE(doc->TxtInput->toPlainText(), QStringLiteral("123経過良好45"));
    QCOMPARE(doc->TxtInput->textCursor().position(), 7);
    // A second phrase lands behind the first.
    doubleClick(0);
    QCOMPARE(doc->TxtInput->toPlainText(), QStringLiteral("123経過良好異常なし45"));
    doc->テキスト変更();
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("123経過良好異常なし45"));
    QCOMPARE(doc->LbItem[0]->text(), QString());

    // A class saved in the editor shows at once; the chosen one stays chosen.
    FSet::showShared()->Cmd追加_Click();
    FSet_Save::loaded()->CbClass->setEditText(QStringLiteral("紹介"));
    FSet_Save::loaded()->TxtValue->setPlainText(QStringLiteral("宜しく"));
    FSet_Save::loaded()->Cmd登録_Click();
    QCOMPARE(texts(head.CbSetName).size(), 3);
    QCOMPARE(head.CbSetName->currentText(), QStringLiteral("所見"));

    // Another doctor's main window starts with an empty list and its own classes.
    AppHome::setDoctor(other, QStringLiteral("佐藤"));
    head.MDIForm_Load();
    QCOMPARE(head.ListSet->count(), 0);
    QCOMPARE(texts(head.CbSetName), QStringList{QStringLiteral("所見")});
    QCOMPARE(head.CbSetName->currentText(), QString());
    head.hide();
}

// The title-bar close box of the editor and of the picker: the next opening
// starts afresh, so "定型文を追加する" shows an empty editor without 削除.
void TestPhrases::closeBoxesUnloadLikeCancel()
{
    TestHome home;
    ScriptedPrompter prompts;
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田")));
    addPhrase(CurrentDrID, QStringLiteral("所見"), QStringLiteral("異常なし"));

    FSet *picker = FSet::showShared();
    chooseClass(picker, QStringLiteral("所見"));
    picker->ListSet->setCurrentRow(0);
    picker->ListSet_DblClick();
    FSet_Save *editor = FSet_Save::loaded();
    QVERIFY(editor && editor->isVisible());
    QVERIFY(editor->close());
    QVERIFY(!FSet_Save::loaded());
    // As with ｷｬﾝｾﾙ, the picker comes back without a chosen class.
    picker = FSet::loaded();
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(picker->ListSet->count(), 0);
    flushDeletes();

    picker->Cmd追加_Click();
    editor = FSet_Save::loaded();
    QVERIFY(editor);
    QCOMPARE(editor->tag(), QStringLiteral("0"));
    QVERIFY(!editor->Cmd削除->isVisibleTo(editor));
    QCOMPARE(editor->TxtValue->toPlainText(), QString());
    editor->Cmdキャンセル_Click();
    flushDeletes();

    picker = FSet::loaded();
    chooseClass(picker, QStringLiteral("所見"));
    picker->ListSet->setCurrentRow(0);
    QVERIFY(picker->close());
    QVERIFY(!FSet::loaded());
    flushDeletes();
    picker = FSet::showShared();
    QCOMPARE(picker->ListSet->count(), 0);
    QVERIFY(picker->ListSet->selectedItems().isEmpty());
    QCOMPARE(PhrasesOf(CurrentDrID, QStringLiteral("所見")).size(), 1);
    QVERIFY(prompts.asked.isEmpty());
}

QTEST_MAIN(TestPhrases)
#include "test_phrases.moc"
