#include "TestHome.h"

#include "app/AppState.h"
#include "patients/PatientStore.h"
#include "persistence/SaveDocument.h"
#include "storage/Database.h"
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

} // namespace

class TestMigration : public QObject
{
    Q_OBJECT

private slots:
    void embeddedFileMovesToTheServerOnce();
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
        if (!t.startsWith(QStringLiteral("sqlite_")))
            before.insert(t, count(t));
    CloseDB();

    const QString rydol = QCoreApplication::applicationDirPath() + QStringLiteral("/Rydol");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
    env.remove(QStringLiteral("RYDOL_DB"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(rydol, {QStringLiteral("--migrate-to"), target});
    QVERIFY(run.waitForFinished(60000));
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    QVERIFY2(run.exitCode() == 0, qPrintable(QString::fromUtf8(run.readAllStandardError())));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(out.contains(QStringLiteral("%1: %2\n").arg(it.key()).arg(it.value())), qPrintable(out));

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
    CloseDB();

    // A second run finds Rydol's tables there and copies nothing.
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(rydol, {QStringLiteral("--migrate-to"), target});
    QVERIFY(again.waitForFinished(60000));
    QVERIFY(again.exitCode() != 0);
    QVERIFY(QString::fromUtf8(again.readAllStandardError()).contains(QStringLiteral("already holds Rydol tables")));
}

QTEST_GUILESS_MAIN(TestMigration)
#include "test_migration.moc"
