#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// Pictures offered for insertion into a document.

// Size of one thumbnail in the picture chooser.
inline QSize ThumbnailSize() { return QSize(159, 151); }
// Longest side of an inserted picture; bigger files are scaled down while they are read.
constexpr int kMaxInsertedPictureSide = 1600;

// The GIF and JPEG files of a folder (full paths), sorted by name without
// regard to case. A missing folder gives none.
QStringList PictureFiles(const QString &folder);
// The picture scaled to fit `box`, centred on white. Null when the file is not
// a readable picture. Large JPEGs are decoded at the reduced size directly.
QImage LoadThumbnail(const QString &path, const QSize &box = ThumbnailSize());
// The picture at its own size, or scaled down to kMaxInsertedPictureSide.
// Null when the file cannot be read.
QImage LoadInsertPicture(const QString &path);
// The picture stretched to size, smoothly: shrinking averages the pixels
// that fall together, so thin outlines stay continuous lines instead of
// breaking into dots.
QImage ScaledPicture(const QImage &picture, const QSize &size);
// The folder the chooser opens in: the stored PicDir when it still exists,
// otherwise DATA/Picture.
QString StartPictureFolder();
// Remembers the folder a picture was inserted from.
void RememberPictureFolder(const QString &folder);
