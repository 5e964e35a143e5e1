#include "TestHome.h"

#include "app/AppState.h"
#include "patients/PatientStore.h"
#include "persistence/DocumentVersion.h"
#include "persistence/SaveDocument.h"
#include "persistence/VerifyStore.h"
#include "storage/Database.h"
#include "storage/SearchKeyWatch.h"
#include "storage/StoreLocation.h"
#include "templates/KindTable.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

namespace {

int count(const QString &table)
{
    QSqlQuery q(gDB());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(table)) && q.next() ? q.value(0).toInt() : -1;
}

// Runs Rydol --migrate-to on the home; its exit code, standard output and error.
int migrate(const TestHome &home, const QString &target, QString *out, QString *err = nullptr)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
    env.remove(QStringLiteral("RYDOL_DB"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Rydol"), {QStringLiteral("--migrate-to"), target});
    if (!run.waitForFinished(60000))
        return -1;
    *out = QString::fromUtf8(run.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(run.readAllStandardError());
    return run.exitCode();
}

} // namespace

class TestMigration : public QObject
{
    Q_OBJECT

private slots:
    void embeddedFileMovesToTheServerOnce();
    void oddKindsLongTextsAndVersionsArriveWhole();
};

void TestMigration::embeddedFileMovesToTheServerOnce()
{
    if (!TestOnServer())
        QSKIP("needs the PostgreSQL test server");
    TestHome home(false, false);
    const QString target = home.serverUrl();
    // A database made by the program itself on the embedded file.
    QVERIFY(OpenDBAt(home.data(QStringLiteral("Rydol.db"))));
    CurrentDrID = QString::number(home.addDoctor(QStringLiteral("山田 太郎")));
    home.addDoctor(QStringLiteral("佐藤 花子"), 1);
    PatientRecord p{QString(), QStringLiteral("鈴木 一郎"), QStringLiteral("スズキ イチロウ"), 19520314, 1, QStringLiteral("東京都")};
    QVERIFY(RegisterNewPatient(p));
    PatientID = p.id;
    const QString kind = QStringLiteral("Referral 紹介状");
    QVERIFY(CreateKindTable(kind, {{QStringLiteral("所見"), QStringLiteral("1")}, {QStringLiteral("経過"), QStringLiteral("2")},
                                   {QStringLiteral("数"), QStringLiteral("0")}}, {QStringLiteral("同意")}));
    for (int i = 0; i < 3; ++i) {
        DocumentData doc;
        doc.kind = kind;
        doc.fields = {{QStringLiteral("所見"), QStringLiteral("1"), QStringLiteral("所見'%1").arg(i)},
                      {QStringLiteral("経過"), QStringLiteral("2"), QString(300, u'経')},
                      {QStringLiteral("数"), QStringLiteral("0"), QString::number(i)}};
        doc.checks = {{QStringLiteral("同意"), QStringLiteral("1")}};
        doc.surface = QImage(10, 10, QImage::Format_RGB32);
        doc.surface.fill(Qt::white);
        QVERIFY(SaveDocument(doc, QString::number(i % 2)));
    }
    const QStringList tables = TableNames();
    QMap<QString, int> before;
    for (const QString &t : tables)
        if (!t.startsWith(QStringLiteral("sqlite_")) && !IsSearchIndexTable(t))
            before.insert(t, count(t));
    CloseDB();

    QString out, err;
    QVERIFY2(migrate(home, target, &out, &err) == 0, qPrintable(err));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(out.contains(QStringLiteral("%1: %2 rows, checksum ").arg(it.key()).arg(it.value())), qPrintable(out));

    // The server now holds the same rows; the program works on it.
    QVERIFY(OpenServer(ParseStoreLocation(target)));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(count(it.key()), it.value());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From %1 Where ID=?").arg(QuoteIdent(kind)), {3}));
    QCOMPARE(gRS.text(QStringLiteral("所見")), QStringLiteral("所見'2"));
    QCOMPARE(gRS.text(QStringLiteral("経過")), QString(300, u'経'));
    QCOMPARE(gRS.field(QStringLiteral("同意")).toInt(), 1);
    QCOMPARE(home.addDoctor(QStringLiteral("新任")), 3);
    DocumentData next;
    next.kind = kind;
    next.surface = QImage(10, 10, QImage::Format_RGB32);
    QVERIFY(SaveDocument(next, QStringLiteral("0")));
    QCOMPARE(next.number, 4);
    // The copied chains of kept versions and of 操作履歴 go on on the server.
    const StoreCheck check = VerifyStore();
    QVERIFY2(check.intact(), qPrintable(check.report().join(u'\n')));
    QCOMPARE(check.auditRows, 5);
    QCOMPARE(check.auditUnlinked, 0);
    CloseDB();

    // A second run finds Rydol's tables there and copies nothing.
    QVERIFY(migrate(home, target, &out, &err) != 0);
    QVERIFY(err.contains(QStringLiteral("already holds Rydol tables")));
}

void TestMigration::oddKindsLongTextsAndVersionsArriveWhole()
{
    if (!TestOnServer())
        QSKIP("needs the PostgreSQL test server");
    TestHome home(false, false);
    QVERIFY(OpenDBAt(home.data(QStringLiteral("Rydol.db"))));
    // A kind named like SQLite's own tables but not one, and one with capitals.
    for (const QString kind : {QStringLiteral("SQLite連携"), QStringLiteral("Referral")}) {
        QVERIFY(CreateKindTable(kind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
        DocumentData doc;
        doc.kind = kind;
        doc.surface = QImage(4, 4, QImage::Format_RGB32);
        QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    }
    // Stored before text fields were held to their column's size.
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("UPDATE Referral SET 所見='%1'").arg(QString(300, u'長'))));
    CloseDB();

    QString out, err;
    QVERIFY2(migrate(home, home.serverUrl(), &out, &err) == 0, qPrintable(err));
    QVERIFY2(out.contains(QStringLiteral("SQLite連携: 1 rows")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("Referral.所見: widened from 255 to 300 characters for ID 1\n")), qPrintable(out));
    QVERIFY(OpenServer(ParseStoreLocation(home.serverUrl())));
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("SELECT * FROM Referral")));
    QCOMPARE(gRS.text(QStringLiteral("所見")), QString(300, u'長'));
    QCOMPARE(StoredVersion(StoredTableName(QStringLiteral("Referral")), 1), 1);
    CloseDB();
}

QTEST_GUILESS_MAIN(TestMigration)
#include "test_migration.moc"
