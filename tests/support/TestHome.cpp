#include "TestHome.h"

#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/Ini.h"
#include "storage/ServerConnection.h"
#include "storage/StoreLocation.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>

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

bool TestOnServer()
{
    return qgetenv("RYDOL_TEST_STORE") == "server";
}

namespace {

const QString kAdmin = QStringLiteral("rydol-test-admin");

// Runs one statement on the server's maintenance database.
bool adminExec(const StoreLocation &server, const QString &sql)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::contains(kAdmin) ? QSqlDatabase::database(kAdmin)
                                                         : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kAdmin);
        db.setHostName(server.host);
        if (server.port > 0)
            db.setPort(server.port);
        db.setUserName(server.user);
        db.setDatabaseName(server.database);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                qWarning("test server: %s", qPrintable(q.lastError().text()));
        } else {
            qWarning("test server: %s", qPrintable(db.lastError().text()));
        }
        db.close(); // a server restarted by a test would leave it stale
    }
    return ok;
}

StoreLocation testServer()
{
    const QString url = QString::fromLocal8Bit(qgetenv("RYDOL_TEST_PG"));
    if (url.isEmpty())
        qFatal("RYDOL_TEST_STORE=server but no test server: %s",
               qgetenv("RYDOL_PG_ERROR").isEmpty() ? "RYDOL_TEST_PG is not set (tools/pg-test-env.sh)"
                                                   : qgetenv("RYDOL_PG_ERROR").constData());
    return ParseStoreLocation(url);
}

} // namespace

TestHome::TestHome(bool withSamples, bool openDatabase)
{
    if (TestOnServer()) {
        static int serial = 0;
        const StoreLocation server = testServer();
        m_serverDb = QStringLiteral("rydol_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        if (!adminExec(server, QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(m_serverDb)))
            qFatal("cannot create the test database %s", qPrintable(m_serverDb));
        m_serverUrl = ServerUrl(server, m_serverDb);
        qputenv("RYDOL_DB", m_serverUrl.toUtf8());
    }
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
    if (!m_serverDb.isEmpty()) {
        qunsetenv("RYDOL_DB");
        adminExec(testServer(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_serverDb));
    }
}

QSqlDatabase TestHome::otherConnection(const QString &name) const
{
    QSqlDatabase db = AddServerConnection(name, ParseStoreLocation(serverUrl()), 10);
    db.open();
    return db;
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
    Recordset rs;
    if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("医師")) || !rs.addNew())
        return 0;
    rs.setField(QStringLiteral("Name"), name);
    rs.setField(QStringLiteral("Del"), del);
    return rs.update() ? rs.lastInsertId().toInt() : 0;
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
