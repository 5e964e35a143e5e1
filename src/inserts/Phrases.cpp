#include "inserts/Phrases.h"

#include "storage/Database.h"

#include <algorithm>

QStringList PhraseClassesOf(const QString &drId)
{
    QStringList classes;
    if (!OpenRS(QStringLiteral("Snapshot"),
                QStringLiteral("Select Class From 定型文 Where DrID=? Group By Class"), {drId}))
        return classes;
    for (; !gRS.eof(); gRS.moveNext())
        classes << gRS.text(QStringLiteral("Class"));
    gRS.close();
    return classes;
}

QVector<Phrase> PhrasesOf(const QString &drId, const QString &className)
{
    QVector<Phrase> phrases;
    if (!OpenRS(QStringLiteral("Snapshot"),
                QStringLiteral("Select * From 定型文 Where DrID=? And Class=?"), {drId, className}))
        return phrases;
    for (; !gRS.eof(); gRS.moveNext())
        phrases.append({gRS.field(QStringLiteral("ID")).toInt(), gRS.text(QStringLiteral("Value"))});
    gRS.close();
    return phrases;
}

bool SavePhrase(int id, const QString &drId, const QString &className, const QString &value)
{
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 定型文 Where ID=?"), {id}))
        return false;
    // A phrase that vanished in the meantime is written as a new one rather than lost.
    const bool started = gRS.eof() ? gRS.addNew() : gRS.edit();
    if (!started) {
        gRS.close();
        return false;
    }
    gRS.setField(QStringLiteral("DrID"), drId);
    gRS.setField(QStringLiteral("Class"), className);
    gRS.setField(QStringLiteral("Value"), value);
    gRS.setField(QStringLiteral("Del"), 0);
    const bool ok = gRS.update();
    gRS.close();
    return ok;
}

bool DeletePhrase(int id)
{
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 定型文 Where ID=?"), {id}))
        return false;
    const bool ok = gRS.remove();
    gRS.close();
    return ok;
}

PhraseInsertion InsertPhrases(const QString &text, int at, const QStringList &chosen)
{
    at = std::clamp(at, 0, int(text.size()));
    QString joined;
    for (const QString &phrase : chosen)
        joined += phrase + PhraseSeparator();
    // Only the spaces at the very end go, the last phrase's own ones included.
    qsizetype end = joined.size();
    while (end > 0 && joined.at(end - 1) == u' ')
        --end;
    joined.truncate(end);
    const QString before = text.left(at);
    return {before + joined + text.mid(at), int(before.size() + joined.size())};
}
