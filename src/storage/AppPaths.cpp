#include "storage/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &overrideFolder()
{
    static QString folder;
    return folder;
}
}

QString AppFolder()
{
    QString folder = overrideFolder();
    if (folder.isEmpty())
        folder = QString::fromLocal8Bit(qgetenv("RYDOL_HOME"));
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    folder = QDir::fromNativeSeparators(folder);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString DataPath(const QString &relative)
{
    return AppFolder() + QStringLiteral("/DATA/") + relative;
}

void SetAppFolder(const QString &folder)
{
    overrideFolder() = folder;
}
