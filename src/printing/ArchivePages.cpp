#include "printing/ArchivePages.h"

#include <QDateTime>
#include <QMap>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// A relative link to path (folders separated by "/") from a page in patients/.
QString href(const QString &path, bool fromSubfolder)
{
    QStringList parts;
    for (const QString &part : path.split(u'/'))
        parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
    return esc((fromSubfolder ? QStringLiteral("../") : QString()) + parts.join(u'/'));
}

QString page(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
                          "<style>body{font-family:sans-serif;margin:1.5em}table{border-collapse:collapse}"
                          "th,td{border:1px solid #999;padding:.25em .6em;text-align:left}th{background:#eee}</style>\n"
                          "</head>\n<body>\n%2</body>\n</html>\n")
        .arg(esc(title), body);
}

QString birthText(int birth)
{
    if (birth <= 0)
        return QString();
    return QStringLiteral("%1/%2/%3")
        .arg(birth / 10000)
        .arg(birth / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(birth % 100, 2, 10, QLatin1Char('0'));
}

QString stateText(const QString &state)
{
    if (state == QStringLiteral("0"))
        return QStringLiteral("保留");
    if (state == QStringLiteral("1"))
        return QStringLiteral("終了");
    return QString();
}

// The document's own date, else the day it was last edited.
const ListDate &shownDate(const ArchivedDocument &doc)
{
    return doc.date.value() >= 0 || !doc.date.text().isEmpty() ? doc.date : doc.editDate;
}

// Patient numbers in numeric order where they are numbers.
bool patientLess(const QString &a, const QString &b)
{
    bool aNumber = false, bNumber = false;
    const qlonglong x = a.toLongLong(&aNumber), y = b.toLongLong(&bNumber);
    if (aNumber && bNumber && x != y)
        return x < y;
    if (aNumber != bNumber)
        return aNumber;
    return a < b;
}

QString documentKey(const ArchivedDocument &doc)
{
    return doc.kind + u'/' + QString::number(doc.id);
}

// How many documents the entries are, their kept versions not counted.
int documentCount(const QList<ArchivedDocument> &docs)
{
    QSet<QString> keys;
    for (const ArchivedDocument &doc : docs)
        keys.insert(documentKey(doc));
    return int(keys.size());
}

// A kept version shows when it was saved, a document its own date.
QString dateText(const ArchivedDocument &doc)
{
    if (doc.current || doc.savedAt.isEmpty())
        return shownDate(doc).text();
    return QDateTime::fromString(doc.savedAt, QStringLiteral("yyyy-MM-dd HH:mm:ss")).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString stateText(const ArchivedDocument &doc)
{
    const QString state = stateText(doc.state);
    return doc.deleted ? QStringLiteral("削除") : doc.current ? state : QStringLiteral("旧版 ") + state;
}

// docs come by kind and number, each document followed by its kept versions,
// newest first; the documents are put in date order, the versions staying
// under theirs.
QString patientPage(const ArchivedPatient &patient, QList<ArchivedDocument> docs, const QHash<QString, QString> &doctors)
{
    QHash<QString, ListDate> documentDate;
    for (const ArchivedDocument &doc : docs)
        if (!documentDate.contains(documentKey(doc)))
            documentDate.insert(documentKey(doc), shownDate(doc));
    std::stable_sort(docs.begin(), docs.end(), [&](const ArchivedDocument &a, const ArchivedDocument &b) {
        return ListDate::less(documentDate.value(documentKey(a)), documentDate.value(documentKey(b)));
    });
    QString body = QStringLiteral("<p><a href=\"../index.html\">患者一覧</a></p>\n<h1>%1　%2</h1>\n<table>\n")
                       .arg(esc(patient.id), esc(patient.name));
    body += QStringLiteral("<tr><th>患者番号</th><td>%1</td></tr>\n<tr><th>氏名</th><td>%2</td></tr>\n"
                           "<tr><th>カナ</th><td>%3</td></tr>\n<tr><th>生年月日</th><td>%4</td></tr>\n</table>\n")
                .arg(esc(patient.id), esc(patient.registered ? patient.name : QStringLiteral("（患者の登録がありません）")),
                     esc(patient.kana), esc(birthText(patient.birth)));
    body += QStringLiteral("<h2>文書</h2>\n<table>\n<tr><th>日付</th><th>種類</th><th>番号</th><th>版</th><th>状態</th>"
                           "<th>医師</th><th>PDF</th></tr>\n");
    for (const ArchivedDocument &doc : docs) {
        const QString pdf = ArchivePdfPath(doc);
        body += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td>"
                               "<td><a href=\"%7\">%8</a></td></tr>\n")
                    .arg(esc(dateText(doc)), esc(doc.kind), QString::number(doc.id),
                         doc.version ? QString::number(doc.version) : QString(), esc(stateText(doc)),
                         esc(doctors.value(doc.drId, doc.drId)), href(pdf, true), esc(pdf.section(u'/', -1)));
    }
    body += QStringLiteral("</table>\n");
    return page(patient.id + QStringLiteral("　") + patient.name, body);
}

} // namespace

QHash<QString, QByteArray> ArchivePages(const ArchiveCatalog &catalog, const QList<ArchivedDocument> &documents,
                                        const QDateTime &made)
{
    QMap<QString, QList<ArchivedDocument>> byPatient;
    for (const ArchivedDocument &doc : documents)
        byPatient[doc.patientId].append(doc);
    QStringList ids = byPatient.keys();
    std::sort(ids.begin(), ids.end(), patientLess);

    QHash<QString, QByteArray> pages;
    QString rows;
    for (const QString &id : ids) {
        ArchivedPatient patient = catalog.patients.value(id);
        patient.id = id;
        const QString path = ArchivePatientPage(id);
        pages.insert(path, patientPage(patient, byPatient.value(id), catalog.doctors).toUtf8());
        rows += QStringLiteral("<tr><td><a href=\"%1\">%2</a></td><td>%3</td><td>%4</td><td>%5</td><td>%6</td></tr>\n")
                    .arg(href(path, false), esc(id.isEmpty() ? QStringLiteral("（番号なし）") : id), esc(patient.name),
                         esc(patient.kana), esc(birthText(patient.birth)), QString::number(documentCount(byPatient.value(id))));
    }
    const QString body =
        QStringLiteral("<h1>文書の控え</h1>\n<p>%1 現在。%2 人、%3 件。</p>\n<table>\n"
                       "<tr><th>患者番号</th><th>氏名</th><th>カナ</th><th>生年月日</th><th>文書</th></tr>\n%4</table>\n")
            .arg(esc(made.toString(QStringLiteral("yyyy/MM/dd HH:mm"))))
            .arg(ids.size())
            .arg(documentCount(documents))
            .arg(rows);
    pages.insert(QStringLiteral("index.html"), page(QStringLiteral("文書の控え"), body).toUtf8());
    return pages;
}
