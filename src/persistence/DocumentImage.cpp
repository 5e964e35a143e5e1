#include "persistence/DocumentImage.h"

#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "templates/PageLimits.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>


QString DocumentImageFolder(const QString &kind)
{
    return FolderIgnoringCase(DataPath(QStringLiteral("pic_save")), kind);
}

QString AsideImagePath(const QString &imagePath)
{
    const QFileInfo info(imagePath);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".damaged-")
                       + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".png");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + u'-' + QString::number(n) + QStringLiteral(".png");
    return path;
}

QString DocumentImagePath(const QString &kind, int number)
{
    return DocumentImageFolder(kind) + u'/' + QString::number(number) + QStringLiteral(".png");
}

bool IsUsableKindName(const QString &kind)
{
    return !kind.isEmpty() && kind != QStringLiteral(".") && kind != QStringLiteral("..")
        && !kind.contains(u'/') && !kind.contains(u'\\');
}

QImage CompactPageImage(const QImage &surface)
{
    if (surface.isNull() || surface.hasAlphaChannel())
        return surface;
    const QImage rgb = surface.format() == QImage::Format_RGB32
        ? surface
        : surface.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> table;
    QHash<QRgb, int> slot;
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    QRgb last = 0;
    int lastSlot = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = in[x] | 0xFF000000u;
            if (lastSlot < 0 || c != last) {
                auto it = slot.constFind(c);
                if (it == slot.constEnd()) {
                    if (table.size() == 256)
                        return surface;
                    it = slot.insert(c, int(table.size()));
                    table.append(c);
                }
                last = c;
                lastSlot = it.value();
            }
            out[x] = uchar(lastSlot);
        }
    }
    indexed.setColorTable(table);
    return indexed;
}

QImage ReadPageImage(QIODevice *device)
{
    QImageReader reader(device, "PNG");
    // The reader's own limit (in MiB) is below what a large page takes.
    constexpr qint64 kMiB = 1024 * 1024;
    reader.setAllocationLimit(int((LargestPageImageBytes() + kMiB - 1) / kMiB) + 1);
    return reader.read();
}
