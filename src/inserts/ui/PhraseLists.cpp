#include "inserts/ui/PhraseLists.h"

#include "app/AppState.h"
#include "inserts/Phrases.h"
#include "inserts/ui/FSet.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextCursor>

void LoadPhraseClasses(QComboBox *list)
{
    if (!list)
        return;
    const QStringList classes = PhraseClassesOf(CurrentDrID);
    list->clear();
    list->addItems(classes);
    // A combo box would show its first class as if chosen while no phrases of it
    // are listed yet: nothing is chosen until the user picks a class.
    list->setCurrentIndex(-1);
}

void LoadPhraseClasses(QListWidget *list)
{
    if (!list)
        return;
    const QStringList classes = PhraseClassesOf(CurrentDrID);
    list->clear();
    list->addItems(classes);
}

void LoadPhrases(const QString &className)
{
    FSet *picker = FSet::load();
    picker->phraseClass = className;
    // Filled from the main window, the picker shows which class the phrases belong to.
    const QList<QListWidgetItem *> named = picker->ListSetName->findItems(className, Qt::MatchExactly);
    if (!named.isEmpty() && picker->ListSetName->currentItem() != named.first())
        picker->ListSetName->setCurrentItem(named.first());
    FillPhraseList(picker->ListSet, className);
}

void FillPhraseList(QListWidget *list, const QString &className)
{
    if (!list)
        return;
    list->clear();
    for (const Phrase &phrase : PhrasesOf(CurrentDrID, className)) {
        auto *item = new QListWidgetItem(phrase.value, list);
        item->setData(Qt::UserRole, phrase.id);
        item->setToolTip(phrase.value.left(500));
    }
}

void InsertPhrasesAtCursor(QPlainTextEdit *editor, const QStringList &chosen)
{
    if (!editor)
        return;
    const int at = editor->textCursor().selectionStart();
    const PhraseInsertion result = InsertPhrases(editor->toPlainText(), at, chosen);
    // Inserting through a cursor keeps the editor's undo history.
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(at);
    cursor.insertText(result.text.mid(at, result.cursor - at));
    cursor.setPosition(result.cursor);
    editor->setTextCursor(cursor);
}

void InsertPhrasesInto(QPlainTextEdit *editor, const QStringList &chosen)
{
    if (!editor)
        return;
    editor->setVisible(true);
    editor->window()->activateWindow();
    editor->setFocus();
    InsertPhrasesAtCursor(editor, chosen);
}
