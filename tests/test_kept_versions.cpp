// Every version a document has had stays, with its image, and a change made
// to the records outside the program is found.
#include "TestHome.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "persistence/VerifyStore.h"
#include "storage/ChainHash.h"
#include "storage/Database.h"
#include "templates/KindTable.h"

#include <QFile>
#include <QImage>
#include <QSqlQuery>
#include <QtTest>

namespace {

const QString kKind = QStringLiteral("紹介状");

DocumentData document(int number, const QString &text, QRgb colour)
{
    DocumentData doc;
    doc.kind = kKind;
    doc.number = number;
    doc.fields = {{QStringLiteral("所見"), QStringLiteral("1"), text}};
    doc.surface = QImage(40, 30, QImage::Format_RGB32);
    doc.surface.fill(colour);
    return doc;
}

void run(const QString &sql)
{
    QSqlQuery q(gDB());
    QVERIFY2(q.exec(sql), qPrintable(sql));
}

QString valueIn(const KeptVersion &v, const QString &column)
{
    for (const auto &[name, value] : v.values)
        if (name.compare(column, Qt::CaseInsensitive) == 0)
            return value.toString();
    return QString();
}

} // namespace

class TestKeptVersions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void everySaveStateChangeAndDeleteIsKept();
    void changesOutsideTheProgramAreFound_data();
    void changesOutsideTheProgramAreFound();
    void rowsAreHashedAsEarlierReleasesHashedThem();
    void aSaveElsewhereAfterOpeningIsNoChange();
    void auditRowsOfTheEarlierReleaseStillVerify();
    void auditRowsAreLinkedAtTheLatestWhenTheRecordsClose();
};

void TestKeptVersions::init()
{
    CurrentDrID = QStringLiteral("3");
    PatientID = QStringLiteral("1001");
}

void TestKeptVersions::everySaveStateChangeAndDeleteIsKept()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    DocumentData doc = document(0, QStringLiteral("初診"), qRgb(255, 0, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    doc.fields[0].text = QStringLiteral("再診");
    doc.surface.fill(qRgb(0, 255, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QVERIFY(SaveDocument(doc, QStringLiteral("1"))); // to finished
    QVERIFY(DeleteSavedDocument(kKind, doc.number));

    const QList<KeptVersion> kept = KeptVersions(kKind, doc.number);
    QCOMPARE(kept.size(), 4);
    const QStringList texts{QStringLiteral("初診"), QStringLiteral("再診"), QStringLiteral("再診"), QStringLiteral("再診")};
    const QStringList states{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1")};
    const QList<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 255, 0), qRgb(0, 255, 0)};
    for (int i = 0; i < kept.size(); ++i) {
        QCOMPARE(kept[i].version, i + 1);
        QCOMPARE(kept[i].deleted, i == 3);
        QCOMPARE(kept[i].doctorId, QStringLiteral("3"));
        QCOMPARE(valueIn(kept[i], QStringLiteral("所見")), texts[i]);
        QCOMPARE(valueIn(kept[i], QStringLiteral("終了判定")), states[i]);
        QCOMPARE(QImage(KeptImagePath(kKind, doc.number, i + 1)).pixel(1, 1), colours[i]);
    }
    // The deleted document's number is not given to another one.
    DocumentData next = document(0, QStringLiteral("別の患者"), qRgb(0, 0, 255));
    QVERIFY(SaveDocument(next, QStringLiteral("0")));
    QCOMPARE(next.number, doc.number + 1);

    // A document saved before versions were kept keeps that state first.
    run(QStringLiteral("INSERT INTO %1 (ID, DrID, 患者番号, 所見, 編集日, 終了判定) VALUES (9, '7', '1001', '旧', 20060405, 1)")
            .arg(QuoteIdent(kKind)));
    QImage old(40, 30, QImage::Format_RGB32);
    old.fill(qRgb(9, 9, 9));
    QVERIFY(old.save(DocumentImagePath(kKind, 9)));
    DocumentData legacy = document(9, QStringLiteral("新"), qRgb(1, 2, 3));
    QVERIFY(SaveDocument(legacy, QStringLiteral("1")));
    const QList<KeptVersion> both = KeptVersions(kKind, 9);
    QCOMPARE(both.size(), 2);
    QCOMPARE(valueIn(both[0], QStringLiteral("所見")), QStringLiteral("旧"));
    QCOMPARE(both[0].doctorId, QStringLiteral("7"));
    QCOMPARE(QImage(KeptImagePath(kKind, 9, both[0].version)).pixel(1, 1), qRgb(9, 9, 9));
    QCOMPARE(valueIn(both[1], QStringLiteral("所見")), QStringLiteral("新"));

    const StoreCheck check = VerifyStore();
    QVERIFY2(check.intact(), qPrintable(check.report().join(u'\n')));
    QCOMPARE(check.documents, 3);
}

void TestKeptVersions::changesOutsideTheProgramAreFound_data()
{
    QTest::addColumn<QString>("sql");  // run on the store; $T the kind's table, $I the column ID
    QTest::addColumn<int>("image");    // 1 replace 1.png, 2 remove it, 3 replace a kept image
    QTest::addColumn<QString>("found");
    QTest::addColumn<bool>("openingTells");
    QTest::addColumn<int>("breaks");
    QTest::newRow("row") << QStringLiteral("UPDATE $T SET 所見='書き換え' WHERE ID=1") << 0 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: row changed") << true << 1;
    QTest::newRow("row deleted") << QStringLiteral("DELETE FROM $T WHERE ID=1") << 0 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: row removed") << false << 1;
    QTest::newRow("image replaced") << QString() << 1 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: image replaced") << true << 1;
    QTest::newRow("image missing") << QString() << 2 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: image missing") << true << 1;
    QTest::newRow("kept image") << QString() << 3 << QStringLiteral("BROKEN 紹介状 ID 1 version 1: kept image replaced") << false << 1;
    QTest::newRow("kept version") << QStringLiteral("UPDATE \"書類保存版\" SET \"端末\"='x' WHERE $I=1 AND \"版\"=1") << 0 << QStringLiteral("BROKEN 紹介状 ID 1 version 1: kept version changed") << false << 1;
    QTest::newRow("kept version removed") << QStringLiteral("DELETE FROM \"書類保存版\" WHERE $I=1 AND \"版\"=1") << 0 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: kept versions removed before this one") << false << 1;
    // The row is of the removed version: no longer the newest kept one.
    QTest::newRow("newest kept version removed") << QStringLiteral("DELETE FROM \"書類保存版\" WHERE $I=1 AND \"版\"=2") << 0 << QStringLiteral("BROKEN 紹介状 ID 1 version 2: kept versions removed after version 1") << true << 2;
    QTest::newRow("audit row removed") << QStringLiteral("DELETE FROM \"操作履歴\" WHERE $I=2") << 0 << QStringLiteral("BROKEN 操作履歴 ID 3: rows removed before this one") << false << 1;
    QTest::newRow("audit row changed") << QStringLiteral("UPDATE \"操作履歴\" SET \"患者番号\"='9' WHERE $I=2") << 0 << QStringLiteral("BROKEN 操作履歴 ID 2: row changed") << false << 1;
    // A row taken out of the chain is linked again at its end: the next row's link tells, and its own hash a change.
    QTest::newRow("audit link removed") << QStringLiteral("DELETE FROM \"操作履歴連結\" WHERE \"履歴\"=2") << 0 << QStringLiteral("BROKEN 操作履歴 ID 3: rows removed before this one") << false << 1;
    QTest::newRow("audit link cleared, row changed") << QStringLiteral("UPDATE \"操作履歴連結\" SET \"順\"=NULL, \"連結\"=NULL WHERE \"履歴\"=2;UPDATE \"操作履歴\" SET \"患者番号\"='9' WHERE $I=2") << 0 << QStringLiteral("BROKEN 操作履歴 ID 2: row changed") << false << 2;
    QTest::newRow("unlinked audit row changed") << QStringLiteral("DELETE FROM \"操作履歴連結\" WHERE \"履歴\"=3;UPDATE \"操作履歴\" SET \"患者番号\"='9' WHERE $I=3") << 0 << QStringLiteral("BROKEN 操作履歴 ID 3: row changed") << false << 1;
}

void TestKeptVersions::changesOutsideTheProgramAreFound()
{
    QFETCH(QString, sql);
    QFETCH(int, image);
    QFETCH(QString, found);
    QFETCH(bool, openingTells);
    QFETCH(int, breaks);
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    DocumentData doc = document(0, QStringLiteral("初診"), qRgb(255, 0, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    DocumentData other = document(0, QStringLiteral("他"), qRgb(0, 0, 255));
    QVERIFY(SaveDocument(other, QStringLiteral("0")));
    QSqlQuery linked(gDB());
    QVERIFY(linked.exec(QStringLiteral("SELECT COUNT(*) FROM \"操作履歴連結\" WHERE \"順\" IS NOT NULL")) && linked.next());
    QCOMPARE(linked.value(0).toInt(), 3); // each save's row linked after its commit
    QVERIFY(VerifyStore().intact());
    QCOMPARE(CheckSavedDocument(kKind, 1), Authenticity::Intact);

    for (const QString &statement : sql.split(u';', Qt::SkipEmptyParts))
        run(QString(statement).replace(QStringLiteral("$T"), QuoteIdent(kKind)).replace(QStringLiteral("$I"), QuoteIdent(QStringLiteral("ID"))));
    const QString target = image == 3 ? KeptImagePath(kKind, 1, 1) : DocumentImagePath(kKind, 1);
    if (image == 1 || image == 3)
        QVERIFY(QFile::remove(target) && QFile::copy(DocumentImagePath(kKind, 2), target));
    if (image == 2)
        QVERIFY(QFile::remove(target));
    const StoreCheck check = VerifyStore();
    QVERIFY2(check.report().contains(found), qPrintable(check.report().join(u'\n')));
    QCOMPARE(check.breaks.size(), breaks);
    QCOMPARE(CheckSavedDocument(kKind, 1) == Authenticity::Changed, openingTells);
    QCOMPARE(CheckSavedDocument(kKind, 2), Authenticity::Intact);
}

// The canonical form is stored behind every kept version's hash: a change
// of it would report every document saved before as changed.
void TestKeptVersions::rowsAreHashedAsEarlierReleasesHashedThem()
{
    const RowValues row{{QStringLiteral("所見"), QStringLiteral("初診")},
                        {QStringLiteral("ID"), 12},
                        {QStringLiteral("Memo"), QVariant()},
                        {QStringLiteral("A"), 1.5}};
    QCOMPARE(CanonicalValues(row), QStringLiteral("1:a3:1.52:id2:126:所見6:初診").toUtf8());
}

// Opening checks the row it read against that row's own save: another
// workstation saving right after is not reported as a change from outside,
// while the removed entry of the row's version still is.
void TestKeptVersions::aSaveElsewhereAfterOpeningIsNoChange()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    DocumentData doc = document(0, QStringLiteral("初診"), qRgb(255, 0, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    PageFile page = ReadPageFile(DocumentImagePath(kKind, doc.number));
    DocumentData opened = document(0, QString(), qRgb(0, 0, 0));
    RowValues row;
    QVERIFY(LoadSavedDocument(kKind, doc.number, opened, &row));
    QCOMPARE(CheckSavedDocument(kKind, doc.number, row, opened.version), Authenticity::Intact);

    doc.fields[0].text = QStringLiteral("再診");
    doc.surface.fill(qRgb(0, 0, 255));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(CheckSavedDocument(kKind, doc.number, row, opened.version), Authenticity::Unknown);

    // A reopen that read the page before one save and the row after it, a
    // further save following: the row is shown with its own page.
    RowValues second;
    QVERIFY(LoadSavedDocument(kKind, doc.number, opened, &second));
    doc.surface.fill(qRgb(0, 255, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(CheckReopenedDocument(kKind, doc.number, second, opened.version, page), Authenticity::Unknown);
    QCOMPARE(page.image.pixel(1, 1), qRgb(0, 0, 255));

    QVERIFY(LoadSavedDocument(kKind, doc.number, opened, &row));
    run(QStringLiteral("DELETE FROM \"書類保存版\" WHERE \"版\"=%1").arg(opened.version));
    QCOMPARE(CheckSavedDocument(kKind, doc.number, row, opened.version), Authenticity::Changed);
}

void TestKeptVersions::auditRowsOfTheEarlierReleaseStillVerify()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    // Rows as the earlier release chained them: each hashed with the one before.
    QString before;
    for (int i = 1; i <= 2; ++i) {
        const QStringList values{QStringLiteral("2025-04-0%1 09:00:00").arg(i), QStringLiteral("ws1"), QStringLiteral("3"),
                                 QStringLiteral("保存"), kKind, QString::number(i), QStringLiteral("1001")};
        ChainHash hash;
        hash.add(QStringLiteral("操作履歴/1")).add(before);
        for (const QString &v : values)
            hash.add(v);
        QSqlQuery q(gDB());
        q.prepare(QStringLiteral("INSERT INTO \"操作履歴\" (\"日時\", \"端末\", %1, \"操作\", \"書類\", \"書類番号\", \"患者番号\", "
                                 "\"前\", \"検証\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(QuoteIdent(QStringLiteral("DrID"))));
        for (const QVariant &v : QVariantList{values[0], values[1], values[2], values[3], values[4], i, values[6], before, hash.hex()})
            q.addBindValue(v);
        QVERIFY(q.exec());
        before = hash.hex();
    }
    CloseDB();
    QVERIFY(OpenDB()); // the upgrade
    DocumentData doc = document(0, QStringLiteral("初診"), qRgb(255, 0, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    StoreCheck check = VerifyStore();
    QVERIFY2(check.intact(), qPrintable(check.report().join(u'\n')));
    QCOMPARE(check.auditRows, 3);
    QCOMPARE(check.auditUnlinked, 0);
    run(QStringLiteral("UPDATE \"操作履歴\" SET \"端末\"='x' WHERE %1=1").arg(QuoteIdent(QStringLiteral("ID"))));
    check = VerifyStore();
    QCOMPARE(check.report().filter(QStringLiteral("BROKEN")), QStringList{QStringLiteral("BROKEN 操作履歴 ID 1: row changed")});
}

// On a server a save's audit row is linked after its commit; when another
// workstation holds the links just then, the row is linked at the latest
// when this workstation closes its records.
void TestKeptVersions::auditRowsAreLinkedAtTheLatestWhenTheRecordsClose()
{
    if (!TestOnServer())
        QSKIP("rows wait to be linked only on a server");
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    {
        QSqlDatabase other = home.otherConnection(QStringLiteral("other workstation"));
        QVERIFY(other.isOpen());
        QSqlQuery hold(other);
        QVERIFY(hold.exec(QStringLiteral("SELECT pg_advisory_lock(7707002)")));
        const auto waiting = [&other] {
            QSqlQuery q(other);
            return q.exec(QStringLiteral("SELECT COUNT(*) FROM \"操作履歴連結\" WHERE \"順\" IS NULL")) && q.next()
                     ? q.value(0).toInt() : -1;
        };
        DocumentData doc = document(0, QStringLiteral("初診"), qRgb(255, 0, 0));
        QVERIFY(SaveDocument(doc, QStringLiteral("0")));
        QCOMPARE(waiting(), 1);
        QVERIFY(hold.exec(QStringLiteral("SELECT pg_advisory_unlock(7707002)")));
        CloseDB();
        QCOMPARE(waiting(), 0);
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other workstation"));
}

QTEST_GUILESS_MAIN(TestKeptVersions)
#include "test_kept_versions.moc"
