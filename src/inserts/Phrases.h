#pragma once
#include <QString>
#include <QStringList>
#include <QVector>

// Template phrases (table 定型文): each doctor's phrases, grouped into classes.
// A class exists only through the phrases that bear it.

struct Phrase
{
    int id = 0;
    QString value;
};

// The classes of a doctor's phrases, one per class, in the order the database groups them.
QStringList PhraseClassesOf(const QString &drId);
// The phrases of one class of a doctor.
QVector<Phrase> PhrasesOf(const QString &drId, const QString &className);
// Writes the phrase with the given ID, or adds a new one when there is no such
// row (id 0 is never a row). False when nothing could be written.
bool SavePhrase(int id, const QString &drId, const QString &className, const QString &value);
// Deletes the phrase with the given ID; false when there was no such row.
bool DeletePhrase(int id);

// The four spaces put between phrases inserted together.
inline QString PhraseSeparator() { return QStringLiteral("    "); }

struct PhraseInsertion
{
    QString text;
    int cursor = 0;
};
// Inserts the chosen phrases at position `at` of `text`, joined by the
// separator, and gives the new text with the cursor right behind the
// inserted phrases. Nothing chosen leaves text and cursor as they were.
PhraseInsertion InsertPhrases(const QString &text, int at, const QStringList &chosen);
