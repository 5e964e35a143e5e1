#include "SavedVersions.h"

#include "persistence/DocumentImage.h"
#include "storage/Database.h"

#include <QDir>
#include <QImage>
#include <QSqlQuery>

QMap<int, int> StoredVersions(const QString &kind)
{
    QMap<int, int> rows;
    QSqlQuery q(gDB());
    if (q.exec(QStringLiteral("SELECT ID, 版 FROM ") + QuoteIdent(kind)))
        while (q.next())
            rows.insert(q.value(0).toInt(), q.value(1).toInt());
    return rows;
}

QString WholeDocuments(const QString &kind, const QMap<int, int> &rows)
{
    const QDir folder(DocumentImageFolder(kind));
    QStringList files = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    files.removeOne(QStringLiteral("versions")); // the kept versions' images
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        const QString name = QString::number(it.key()) + QStringLiteral(".png");
        if (!files.removeOne(name))
            return QStringLiteral("document %1 has a row but no image").arg(it.key());
        const QImage image(folder.filePath(name));
        if (image.isNull())
            return QStringLiteral("image of document %1 does not decode").arg(it.key());
        const int drawn = int(image.pixel(0, 0) & 0xFFFFFFu);
        if (drawn != it.value())
            return QStringLiteral("document %1: row of version %2, image of version %3")
                .arg(it.key())
                .arg(it.value())
                .arg(drawn);
    }
    if (!files.isEmpty())
        return QStringLiteral("files without a row: ") + files.join(u' ');
    return QString();
}
