#include "inserts/Pictures.h"

#include "storage/AppPaths.h"
#include "storage/Ini.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace {

QImage readScaled(const QString &path, const QSize &limit)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize own = reader.size();
    if (own.isValid() && (own.width() > limit.width() || own.height() > limit.height()))
        reader.setScaledSize(own.scaled(limit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    // Handlers that cannot scale while reading give the full picture.
    if (!image.isNull() && (image.width() > limit.width() || image.height() > limit.height()))
        image = image.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

QStringList PictureFiles(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QStringList names = dir.entryList(
        {QStringLiteral("*.gif"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")},
        QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString &name : names)
        paths << dir.filePath(name);
    return paths;
}

QImage LoadThumbnail(const QString &path, const QSize &box)
{
    const QImage picture = readScaled(path, box);
    if (picture.isNull())
        return {};
    QImage thumb(box, QImage::Format_RGB32);
    thumb.fill(Qt::white);
    QPainter p(&thumb);
    p.drawImage((box.width() - picture.width()) / 2, (box.height() - picture.height()) / 2,
                picture);
    return thumb;
}

QImage LoadInsertPicture(const QString &path)
{
    return readScaled(path, QSize(kMaxInsertedPictureSide, kMaxInsertedPictureSide));
}

QImage ScaledPicture(const QImage &picture, const QSize &size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    if (picture.size() == size)
        return picture;
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString StartPictureFolder()
{
    const QString stored = ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir"));
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        return QDir::cleanPath(stored);
    return QDir::cleanPath(DataPath(QStringLiteral("Picture")));
}

void RememberPictureFolder(const QString &folder)
{
    WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), QDir::toNativeSeparators(folder));
}
