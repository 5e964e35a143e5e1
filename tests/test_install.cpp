#include "app/CommandLine.h"
#include "app/Version.h"
#include "storage/AppPaths.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The command line and where an installed program keeps its data.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void parsesTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("option"); // "!" when refused
        QTest::addColumn<QString>("value");
        QTest::newRow("none") << QStringList{} << QString() << QString();
        QTest::newRow("value apart") << QStringList{"--migrate-to", "postgresql://h/db"} << "--migrate-to" << "postgresql://h/db";
        QTest::newRow("value joined") << QStringList{"--migrate-to=postgresql://h/db"} << "--migrate-to" << "postgresql://h/db";
        QTest::newRow("value missing") << QStringList{"--migrate-to"} << "!" << QString();
        QTest::newRow("option as value") << QStringList{"--migrate-to", "--help"} << "!" << QString();
        QTest::newRow("unknown") << QStringList{"--frobnicate"} << "!" << QString();
        QTest::newRow("a file") << QStringList{"letter.ini"} << "!" << QString();
        QTest::newRow("two options") << QStringList{"--help", "--version"} << "!" << QString();
        QTest::newRow("value on a flag") << QStringList{"--version=2"} << "!" << QString();
    }
    void parsesTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, option);
        QFETCH(QString, value);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(line.error.isEmpty(), option != u"!");
        if (option != u"!") {
            QCOMPARE(line.option, option);
            QCOMPARE(line.value, value);
        }
    }

    // What a user or a script sees of the real program; the man page names
    // every option --help lists.
    void programAnswersOnTheCommandLine()
    {
        const auto run = [](const QStringList &arguments, QString *out) {
            QProcess rydol;
            rydol.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Rydol"), arguments);
            rydol.waitForFinished(30000);
            *out = QString::fromUtf8(rydol.readAllStandardOutput() + rydol.readAllStandardError());
            return rydol.exitCode();
        };
        QString out;
        QCOMPARE(run({QStringLiteral("--bogus")}, &out), 2);
        QVERIFY2(out.contains(QStringLiteral("unknown option: --bogus")), qPrintable(out));
        QCOMPARE(run({QStringLiteral("--version")}, &out), 0);
        QVERIFY2(out.startsWith(QStringLiteral("Rydol ") + RydolVersion() + QStringLiteral(" (commit ")), qPrintable(out));
        QCOMPARE(run({QStringLiteral("--help")}, &out), 0);
        QFile man(QStringLiteral(RYDOL_SOURCE_DIR "/packaging/rydol.1"));
        QVERIFY(man.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(man.readAll()).remove(u'\\');
        for (const CommandLineOption &option : CommandLineOptions()) {
            QVERIFY2(out.contains(option.name) && out.contains(option.japanese) && out.contains(option.english),
                     qPrintable(option.name));
            QVERIFY2(page.contains(option.name), qPrintable(option.name));
        }
    }

    void findsTheInstalledHome()
    {
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("rydol.conf"));
        QCOMPARE(ReadInstalledHome(conf, dir.path()).folder, dir.filePath(QStringLiteral("Rydol")));
        QFile file(conf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# home=/not/this\n[rydol]\n home = /srv/共有/rydol/ \n");
        file.close();
        const InstalledHome home = ReadInstalledHome(conf, dir.path());
        QCOMPARE(home.folder, QStringLiteral("/srv/共有/rydol"));
        QVERIFY(home.configured);
    }

    // A user's own home is filled once and never overwritten; a shared home
    // that is not there is named, not made; a failed fill leaves nothing that
    // would pass for a home on the next start.
    void preparesTheHome()
    {
        QTemporaryDir dir;
        const QString samples = QStringLiteral(RYDOL_SOURCE_DIR "/data/DATA");
        const InstalledHome own{dir.filePath(QStringLiteral("own")), false};
        QCOMPARE(PrepareHome(own, samples, {}), QString());
        const QString setting = own.folder + QStringLiteral("/DATA/ini/setting.ini");
        QVERIFY(QFile::exists(own.folder + QStringLiteral("/DATA/Picture/手.gif")));
        QFile edited(setting);
        QVERIFY(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write("[DATA]\r\nHP=病院\r\n");
        edited.close();
        QCOMPARE(PrepareHome(own, samples, {}), QString());
        QVERIFY(edited.open(QIODevice::ReadOnly));
        QCOMPARE(edited.readAll(), QByteArray("[DATA]\r\nHP=病院\r\n"));

        const InstalledHome shared{dir.filePath(QStringLiteral("share")), true};
        QCOMPARE(PrepareHome(shared, samples, QStringLiteral("/etc/rydol/rydol.conf")),
                 QStringLiteral("共有のデータフォルダに接続できませんでした: ") + shared.folder
                     + QStringLiteral("/DATA\n（/etc/rydol/rydol.conf の home=）"));
        QVERIFY(!QFile::exists(shared.folder));

        const InstalledHome broken{dir.filePath(QStringLiteral("broken")), false};
        QVERIFY(PrepareHome(broken, dir.filePath(QStringLiteral("none")), {}).contains(broken.folder + QStringLiteral("/DATA")));
        QVERIFY(!QFile::exists(broken.folder + QStringLiteral("/DATA")));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
