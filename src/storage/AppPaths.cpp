#include "storage/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString &overrideFolder()
{
    static QString folder;
    return folder;
}

QString withoutTrailingSlash(QString folder)
{
    folder = QDir::fromNativeSeparators(folder);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString configFile()
{
    const QString named = QString::fromLocal8Bit(qgetenv("RYDOL_CONF"));
    return named.isEmpty() ? QStringLiteral("/etc/rydol/rydol.conf") : named;
}

// The samples an installed program brings: <prefix>/share/rydol/DATA.
QString installedSamples()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/rydol/DATA"));
}

// An installed program whose folder holds no DATA/ uses the installed home.
bool usesInstalledHome()
{
    if (QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/DATA")).isDir())
        return false;
    return QFileInfo(installedSamples()).isDir() || QFileInfo::exists(configFile());
}

// Read once: every later call of AppFolder() names the same folder.
const InstalledHome &installedHome()
{
    static const InstalledHome home = ReadInstalledHome(
        configFile(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return home;
}

// Copies every file and folder of from into to (which must not exist).
QString copyTree(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return QStringLiteral("フォルダを作れません: ") + to;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(source, target))
            return QStringLiteral("写せません: ") + source + QStringLiteral(" → ") + target;
    }
    return {};
}
} // namespace

QString AppFolder()
{
    QString folder = overrideFolder();
    if (folder.isEmpty())
        folder = QString::fromLocal8Bit(qgetenv("RYDOL_HOME"));
    if (folder.isEmpty())
        folder = usesInstalledHome() ? installedHome().folder : QCoreApplication::applicationDirPath();
    return withoutTrailingSlash(folder);
}

QString DataPath(const QString &relative)
{
    return AppFolder() + QStringLiteral("/DATA/") + relative;
}

void SetAppFolder(const QString &folder)
{
    overrideFolder() = folder;
}

InstalledHome ReadInstalledHome(const QString &configFile, const QString &userDataFolder)
{
    QFile file(configFile);
    if (file.open(QIODevice::ReadOnly)) {
        // key=value lines; '#' and ';' begin comments.
        for (const QByteArray &raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'#') || line.startsWith(u';'))
                continue;
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0 && line.left(equals).trimmed() == u"home") {
                const QString folder = line.mid(equals + 1).trimmed();
                if (!folder.isEmpty())
                    return {withoutTrailingSlash(folder), true};
            }
        }
    }
    return {withoutTrailingSlash(userDataFolder) + QStringLiteral("/Rydol"), false};
}

QString PrepareHome(const InstalledHome &home, const QString &samples, const QString &configFile)
{
    const QString data = home.folder + QStringLiteral("/DATA");
    if (QFileInfo(data).isDir())
        return {};
    if (home.configured)
        return QStringLiteral("共有のデータフォルダに接続できませんでした: ") + data
            + QStringLiteral("\n（") + configFile + QStringLiteral(" の home=）");
    // First start: the samples are copied beside DATA and renamed when whole,
    // so an interrupted copy is made again on the next start.
    const QString partial = home.folder + QStringLiteral("/DATA.partial");
    QDir(partial).removeRecursively();
    QString problem = QFileInfo(samples).isDir() ? copyTree(samples, partial)
                                                 : QStringLiteral("見本のフォルダがありません: ") + samples;
    if (problem.isEmpty() && !QDir().rename(partial, data))
        problem = QStringLiteral("名前を変えられません: ") + partial;
    if (problem.isEmpty())
        return {};
    QDir(partial).removeRecursively();
    return QStringLiteral("データフォルダを用意できませんでした: ") + data + u'\n' + problem;
}

QString PrepareAppFolder()
{
    if (!overrideFolder().isEmpty() || !qEnvironmentVariableIsEmpty("RYDOL_HOME") || !usesInstalledHome())
        return {};
    return PrepareHome(installedHome(), installedSamples(), configFile());
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
