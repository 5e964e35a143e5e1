#pragma once
#include <QImage>
#include <QString>

class QIODevice;

// Page images live in DATA/pic_save/<kind>/<number>.png. Kinds whose names
// differ only in letter case are one kind: one table (StoredTableName) and
// one folder, the one already there whatever its spelling
// (FolderIgnoringCase).
QString DocumentImageFolder(const QString &kind);
QString DocumentImagePath(const QString &kind, int number);
// A free name beside a damaged page image to keep it under:
// <n>.damaged-<yyyyMMdd-HHmmss>.png.
QString AsideImagePath(const QString &imagePath);

// A kind names a table and a folder below pic_save; names that would leave
// that folder ("", ".", "..", anything with a slash) are refused.
bool IsUsableKindName(const QString &kind);

// The page image in its most compact exact form for PNG: an opaque page with
// at most 256 colours (the usual case: strokes on white) becomes a palette
// image, which writes and reads back several times faster; anything else is
// returned unchanged. The pixels are the same either way.
QImage CompactPageImage(const QImage &surface);

// Decodes a page image (PNG) from device, allowing it the memory of the
// largest page a template may describe. Null when it cannot be read.
QImage ReadPageImage(QIODevice *device);
