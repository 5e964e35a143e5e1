#include "TestHome.h"

#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/Ini.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace {
void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString dst = to + src.mid(from.size());
        QDir().mkpath(QFileInfo(dst).absolutePath());
        QFile::copy(src, dst);
    }
}
}

TestHome::TestHome(bool withSamples, bool openDatabase)
{
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toLocal8Bit());
    SetAppFolder(m_dir.path());
    for (const char *sub : {"ini", "icon", "Picture", "pic_save"})
        QDir().mkpath(data(QString::fromLatin1(sub)));
    if (withSamples)
        copyTree(sampleData(), data(QString()));
    if (openDatabase)
        OpenDB();
}

TestHome::~TestHome()
{
    CloseDB();
    SetAppFolder(QString());
}

QString TestHome::data(const QString &relative) const
{
    return m_dir.path() + QStringLiteral("/DATA/") + relative;
}

QString TestHome::sampleData()
{
    const QString fromEnv = QString::fromLocal8Bit(qgetenv("RYDOL_TEST_DATA"));
    return fromEnv.isEmpty() ? QStringLiteral(RYDOL_SOURCE_DIR "/data/DATA") : fromEnv;
}

void TestHome::copyCheckIcons() const
{
    for (const QString icon : {QStringLiteral("icon/check.gif"), QStringLiteral("icon/uncheck.gif")})
        QFile::copy(sampleData() + u'/' + icon, data(icon));
}

void TestHome::writeIni(const QString &name, const QString &content) const
{
    QFile f(data(QStringLiteral("ini/")) + name + QStringLiteral(".ini"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(EncodeCp932(content));
}

int TestHome::addDoctor(const QString &name, int del) const
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("INSERT INTO \"医師\" (Name, Del) VALUES (?, ?)"));
    q.addBindValue(name);
    q.addBindValue(del);
    q.exec();
    return q.lastInsertId().toInt();
}

void TestHome::addPatient(const QString &id, const QString &name, const QString &kana, int sex,
                          int birth, const QString &address) const
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral(
        "INSERT INTO Kanja_Data (ID, Name, Kana, Sex, Birth, Address) VALUES (?, ?, ?, ?, ?, ?)"));
    q.addBindValue(id);
    q.addBindValue(name);
    q.addBindValue(kana);
    q.addBindValue(sex);
    q.addBindValue(birth);
    q.addBindValue(address);
    q.exec();
}
