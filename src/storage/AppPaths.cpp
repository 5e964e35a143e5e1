#include "storage/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString FolderIgnoringCase(const QString &parent, const QString &name)
{
    const QString exact = parent + u'/' + name;
    if (QFileInfo(exact).isDir())
        return exact;
    const QStringList folders = QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString &folder : folders)
        if (folder.compare(name, Qt::CaseInsensitive) == 0)
            return parent + u'/' + folder;
    return exact;
}
