// Backups taken while another process saves, restored and opened; a backup
// stopped half way; damage in a backup found by name.
#include "SavedVersions.h"
#include "TestHome.h"

#include "persistence/DocumentImage.h"
#include "storage/AppPaths.h"
#include "storage/Backup.h"
#include "storage/Database.h"
#include "templates/KindTable.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QtTest>

#include <optional>

namespace {

const QString kKind = QStringLiteral("経過記録");

// A home with the save loop's kind, its database closed.
void prepareKind(int images = 0)
{
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("版"), QStringLiteral("0")}, {QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    QVERIFY(QDir().mkpath(DocumentImageFolder(kKind)));
    for (int i = 1; i <= images; ++i)
        QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(DocumentImagePath(kKind, i)));
    CloseDB();
}

// The save loop on the home; its finished saves as "id version" are read
// from it as it goes.
class Saver
{
public:
    explicit Saver(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RYDOL_HOME"), home);
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(RYDOL_SAVE_LOOP), {QStringLiteral("26")});
    }
    ~Saver()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    // Reads until n more saves have finished.
    bool waitForSaves(int n)
    {
        const qsizetype until = m_saves.size() + n;
        while (m_saves.size() < until && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(10000);
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith("S "))
                    m_saves.insert(line.mid(2));
            }
        }
        return m_saves.size() >= until;
    }
    bool saved(int id, int version) const { return m_saves.contains(QByteArray::number(id) + ' ' + QByteArray::number(version)); }

private:
    QProcess m_process;
    QSet<QByteArray> m_saves;
};

QString backupIn(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("backups/rydol"));
}

// Backs the home up into dir and reads the new backup's manifest.
void backUp(const QTemporaryDir &dir, BackupManifest *manifest)
{
    QString error;
    QVERIFY2(MakeBackup(backupIn(dir), &error), qPrintable(error));
    QVERIFY(ReadManifest(backupIn(dir), manifest));
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void backupDuringSavesRestoresWholeDocuments();
    void interruptedBackupLeavesPreviousOneWhole();
    void damageIsNamedAndNotRestored();
};

void TestBackup::backupDuringSavesRestoresWholeDocuments()
{
    TestHome home;
    prepareKind();
    QTemporaryDir out;
    Saver saver(home.folder());
    QVERIFY(saver.waitForSaves(100));
    // Saves go on between the snapshot and the copying of the images.
    bool copying = false;
    QString error;
    QVERIFY2(MakeBackup(backupIn(out), &error,
                        [&](const BackupProgress &) {
                            if (!std::exchange(copying, true))
                                QVERIFY(saver.waitForSaves(50));
                        }),
             qPrintable(error));
    QVERIFY(copying);
    QVERIFY(saver.waitForSaves(50));
    QVERIFY(VerifyBackup(backupIn(out)).problems.isEmpty());

    const QString restored = out.filePath(QStringLiteral("restored"));
    QStringList targets{restored};
    std::optional<TestHome> server;
    if (TestOnServer()) {
        server.emplace(false, false);
        targets << server->serverUrl();
    }
    QVERIFY2(RestoreBackup(backupIn(out), targets, &error), qPrintable(error));
    QVERIFY(!RestoreBackup(backupIn(out), targets, &error)); // the targets are no longer empty
    SetAppFolder(restored);
    QVERIFY2(OpenDB(), qPrintable(DatabaseOpenError()));
    const QMap<int, int> rows = StoredVersions(kKind);
    QVERIFY(!rows.isEmpty());
    const QString whole = WholeDocuments(kKind, rows);
    QVERIFY2(whole.isEmpty(), qPrintable(whole));
    for (auto it = rows.begin(); it != rows.end(); ++it)
        QVERIFY2(saver.saved(it.key(), it.value()), qPrintable(QStringLiteral("document %1 was never saved so").arg(it.key())));
}

void TestBackup::interruptedBackupLeavesPreviousOneWhole()
{
    TestHome home;
    prepareKind(20);
    QTemporaryDir out;
    BackupManifest before;
    backUp(out, &before);
    QFile::remove(DocumentImagePath(kKind, 1));

    // A second backup into the same folder, killed while it copies.
    const QString pause = out.filePath(QStringLiteral("pause"));
    QProcess backup;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
    env.insert(QStringLiteral("RYDOL_PAUSE_AT"), QStringLiteral("backup-copying"));
    env.insert(QStringLiteral("RYDOL_PAUSE_FILE"), pause);
    backup.setProcessEnvironment(env);
    backup.start(QStringLiteral(RYDOL_PROGRAM), {QStringLiteral("--backup"), backupIn(out)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pause), 30000);
    backup.kill();
    backup.waitForFinished(10000);

    BackupManifest after;
    QVERIFY(ReadManifest(backupIn(out), &after));
    QCOMPARE(after.files.size(), before.files.size());
    QProcess verify;
    verify.start(QStringLiteral(RYDOL_PROGRAM), {QStringLiteral("--verify-backup"), backupIn(out)});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(verify.exitCode(), 0);

    // The next backup replaces it whole, without the removed image.
    backUp(out, &after);
    QCOMPARE(after.files.size(), before.files.size() - 1);
    QVERIFY(VerifyBackup(backupIn(out)).problems.isEmpty());
}

void TestBackup::damageIsNamedAndNotRestored()
{
    TestHome home(true);
    prepareKind(3);
    QTemporaryDir out;
    BackupManifest manifest;
    backUp(out, &manifest);
    QString error;
    const QString image = QStringLiteral("DATA/pic_save/") + kKind + QStringLiteral("/2.png");
    const struct
    {
        QString file;
        std::function<void(QFile &)> damage;
        QString reported;
    } cases[] = {
        {image, [](QFile &f) { QVERIFY(f.open(QIODevice::ReadWrite)); f.seek(40); char c; f.getChar(&c); f.seek(40); f.putChar(char(c ^ 1)); },
         QStringLiteral("damaged: %1 (content differs)").arg(image)},
        {manifest.database, [](QFile &f) { QVERIFY(f.resize(f.size() / 2)); }, QStringLiteral("damaged: ") + manifest.database},
        {QStringLiteral("DATA/ini/setting.ini"), [](QFile &f) { QVERIFY(f.remove()); }, QStringLiteral("missing: DATA/ini/setting.ini")},
    };
    for (const auto &c : cases) {
        const QString copy = out.filePath(QStringLiteral("damaged"));
        QDir(copy).removeRecursively();
        QVERIFY(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), backupIn(out), copy}) == 0);
        QFile file(copy + u'/' + c.file);
        c.damage(file);
        file.close();
        const BackupCheck check = VerifyBackup(copy);
        QVERIFY2(check.problems.size() == 1 && check.problems[0].startsWith(c.reported), qPrintable(check.problems.join(u'\n')));
        if (TestOnServer())
            continue; // a server backup's restore needs an empty database first
        QVERIFY(!RestoreBackup(copy, {out.filePath(QStringLiteral("home"))}, &error));
        QVERIFY2(error.contains(c.file), qPrintable(error));
        QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("home/DATA"))));
    }
}

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
