#include "printing/PdfName.h"

#include <QStringList>

namespace {

// A part never takes more than this many characters, so that the whole name
// stays within what file systems accept (255 bytes, three for most kanji).
constexpr int kMaxPartLength = 30;

QString FileNamePart(const QString &text)
{
    QString part;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("\\/:*?\"<>|").contains(c))
            part += u'_';
        else
            part += c;
    }
    // Leading dots would hide the file; trailing ones are dropped on Windows.
    while (part.startsWith(u'.'))
        part.remove(0, 1);
    if (part.size() > kMaxPartLength)
        part.truncate(part[kMaxPartLength - 1].isHighSurrogate() ? kMaxPartLength - 1 : kMaxPartLength);
    while (part.endsWith(u'.'))
        part.chop(1);
    return part;
}

} // namespace

QString PdfFileName(const QString &kind, const QString &patientNumber, const QString &patientName,
                    const QDate &date)
{
    QStringList parts;
    for (const QString &text : {kind, patientNumber, patientName,
                                date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")) : QString()}) {
        const QString part = FileNamePart(text);
        if (!part.isEmpty())
            parts << part;
    }
    if (parts.isEmpty())
        parts << QStringLiteral("document");
    return parts.join(u'_') + QStringLiteral(".pdf");
}

QDate DocumentDate(const QString &year, const QString &month, const QString &day)
{
    bool y = false, m = false, d = false;
    const QDate date(year.trimmed().toInt(&y), month.trimmed().toInt(&m), day.trimmed().toInt(&d));
    return y && m && d ? date : QDate();
}
