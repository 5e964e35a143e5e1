#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

// A throw-away application folder with DATA/ini, DATA/icon, DATA/Picture and
// DATA/pic_save, an isolated per-user settings store and an open database.
// withSamples copies the sample data of data/DATA (templates, icons, pictures).
class TestHome
{
public:
    explicit TestHome(bool withSamples = false, bool openDatabase = true);
    ~TestHome();

    QString folder() const { return m_dir.path(); }
    QString data(const QString &relative = QString()) const;
    // Copies the sample check-box pictures into DATA/icon.
    void copyCheckIcons() const;
    // Writes DATA/ini/<name>.ini in CP932.
    void writeIni(const QString &name, const QString &content) const;
    // Adds a doctor / a patient straight into the database; returns the doctor ID.
    int addDoctor(const QString &name, int del = 0) const;
    void addPatient(const QString &id, const QString &name, const QString &kana, int sex,
                    int birth, const QString &address = QString()) const;

    static QString sampleData();

    // The URL of this home's database when the tests run against a server
    // (empty on the embedded file).
    QString serverUrl() const { return m_serverDb.isEmpty() ? QString() : m_serverUrl; }
    // A second connection, named name, to this home's server database, as
    // another workstation or a monitor has (not open when that fails).
    QSqlDatabase otherConnection(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_serverDb;
    QString m_serverUrl;
};

// True when this test executable runs against the PostgreSQL test server
// (RYDOL_TEST_STORE=server, server from RYDOL_TEST_PG): every TestHome then
// gets an empty database of its own there, named in RYDOL_DB.
bool TestOnServer();
