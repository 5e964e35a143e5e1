#include "persistence/DocumentImage.h"

#include "storage/AppPaths.h"

QString DocumentImageFolder(const QString &kind)
{
    return DataPath(QStringLiteral("pic_save/") + kind);
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
