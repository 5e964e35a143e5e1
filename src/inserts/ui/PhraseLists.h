#pragma once
#include <QString>
#include <QStringList>

class QComboBox;
class QListWidget;
class QPlainTextEdit;

// Fills a list with the phrase classes of the current doctor (CurrentDrID).
void LoadPhraseClasses(QComboBox *list);
void LoadPhraseClasses(QListWidget *list);
// Fills the picker's phrase list (FSet::ListSet) with the current doctor's
// phrases of one class; the picker is loaded, not shown, when it is not loaded.
void LoadPhrases(const QString &className);
// Fills list with the current doctor's phrases of one class; each entry's
// item data is the phrase ID.
void FillPhraseList(QListWidget *list, const QString &className);
// Inserts the chosen phrases at the editor's cursor (the start of its
// selection), joined by four spaces, and puts the cursor behind them.
void InsertPhrasesAtCursor(QPlainTextEdit *editor, const QStringList &chosen);
// What 挿入 does with the field editor: shows it, gives it the focus and
// inserts the chosen phrases at its cursor.
void InsertPhrasesInto(QPlainTextEdit *editor, const QStringList &chosen);
