#include "TestHome.h"

#include "app/AppState.h"
#include "patients/Patient.h"
#include "patients/PatientStore.h"
#include "patients/SearchFold.h"
#include "storage/Dialect.h"
#include "storage/Database.h"
#include "storage/SearchKeyWatch.h"

#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

class TestPatients : public QObject
{
    Q_OBJECT

private slots:
    void eraOfEveryBoundary_data();
    void eraOfEveryBoundary();
    void ageGoesUpOnTheBirthday();
    void eraDateToNumber_data();
    void eraDateToNumber();
    void eraDatesAreValidOnlyInsideTheirEra();
    void lookupFillsAndAFailedOneEmptiesEveryField();
    void lookupWithoutBirthShowsNoEraOrAge();
    void lookupTakesIdsWithQuotesLiterally();
    void nextFreeIdGoesAboveTheHighestNumber();
    void searchFindsWhatTheFoldedFormsHold();
};

void TestPatients::eraOfEveryBoundary_data()
{
    QTest::addColumn<int>("birth");
    QTest::addColumn<QString>("era");
    QTest::addColumn<QString>("eraYear");
    QTest::addColumn<QString>("letter");
    QTest::newRow("令和 first day") << 20190501 << "令和" << "01" << "R";
    QTest::newRow("平成 last day") << 20190430 << "平成" << "31" << "H";
    QTest::newRow("平成 first day") << 19890108 << "平成" << "01" << "H";
    QTest::newRow("昭和 last day") << 19890107 << "昭和" << "64" << "S";
    QTest::newRow("昭和 first day") << 19261225 << "昭和" << "01" << "S";
    QTest::newRow("大正 last day") << 19261224 << "大正" << "15" << "T";
    QTest::newRow("大正 first day") << 19120730 << "大正" << "01" << "T";
    QTest::newRow("明治 last day") << 19120729 << "明治" << "45" << "M";
    QTest::newRow("明治 first day") << 18680101 << "明治" << "01" << "M";
    QTest::newRow("before 明治") << 18671231 << "" << "" << "";
}

void TestPatients::eraOfEveryBoundary()
{
    QFETCH(int, birth);
    QFETCH(QString, era);
    QFETCH(QString, eraYear);
    QFETCH(QString, letter);
    TestHome home;
    home.addPatient(QStringLiteral("7"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, birth);
    QVERIFY(LookupPatient(QStringLiteral("7")));
    QCOMPARE(PatientEra, era);
    QCOMPARE(PatientEraYear, eraYear);
    QCOMPARE(PatientBirth, birth);
    QCOMPARE(EraOfDate(birth).letter, letter);
}

void TestPatients::ageGoesUpOnTheBirthday()
{
    QCOMPARE(AgeOn(19600405, QDate(2006, 4, 5)), 46);
    QCOMPARE(AgeOn(19600405, QDate(2006, 4, 4)), 45);
    QCOMPARE(AgeOn(20000229, QDate(2001, 2, 28)), 0);
    QCOMPARE(AgeOn(20000229, QDate(2001, 3, 1)), 1);

    // The lookup counts from today.
    TestHome home;
    const QDate today = QDate::currentDate();
    home.addPatient(QStringLiteral("1"), QStringLiteral("今日"), QStringLiteral("キョウ"), 1,
                    DateNumber(today.addYears(-30)));
    home.addPatient(QStringLiteral("2"), QStringLiteral("明日"), QStringLiteral("アス"), 2,
                    DateNumber(today.addDays(1).addYears(-30)));
    QVERIFY(LookupPatient(QStringLiteral("1")));
    QCOMPARE(PatientAge, 30);
    QVERIFY(LookupPatient(QStringLiteral("2")));
    QCOMPARE(PatientAge, 29);
}

void TestPatients::eraDateToNumber_data()
{
    QTest::addColumn<QString>("eraDate");
    QTest::addColumn<int>("number");
    QTest::newRow("平成 first day") << "平成010108" << 19890108;
    QTest::newRow("平成 17") << "平成170401" << 20050401;
    QTest::newRow("昭和 last day") << "昭和640107" << 19890107;
    QTest::newRow("大正") << "大正150101" << 19260101;
    QTest::newRow("明治 last day") << "明治450729" << 19120729;
    QTest::newRow("令和 first day") << "令和010501" << 20190501;
    QTest::newRow("令和 8") << "令和080101" << 20260101;
    QTest::newRow("unknown era adds nothing") << "西暦010501" << 10501;
}

void TestPatients::eraDateToNumber()
{
    QFETCH(QString, eraDate);
    QFETCH(int, number);
    QCOMPARE(EraDateToNumber(eraDate), number);
}

void TestPatients::eraDatesAreValidOnlyInsideTheirEra()
{
    // Each era's first and last day; a day across each boundary either way.
    const QStringList inside{"令和010501", "平成310430", "平成010108", "昭和640107", "昭和011225",
                             "大正151224", "大正010730", "明治450729", "明治010101"};
    const QStringList outside{"令和010430", "令和010401", "平成310501", "平成311231", "平成010107", "昭和640108",
                              "昭和641231", "昭和011224", "大正151225", "大正010729", "明治450730", "明治451231"};
    for (const QString &date : inside + outside)
        QVERIFY2(IsValidEraDate(date) == inside.contains(date), qPrintable(date));
}

void TestPatients::lookupFillsAndAFailedOneEmptiesEveryField()
{
    TestHome home;
    home.addPatient(QStringLiteral("1"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1,
                    19500101, QStringLiteral("大阪"));
    QVERIFY(LookupPatient(QStringLiteral("1")));
    QCOMPARE(PatientID + PatientName + PatientKana + PatientAddress,
             QStringLiteral("1山田太郎ヤマダタロウ大阪"));
    QCOMPARE(PatientSex, 1);
    QCOMPARE(PatientAge, AgeOn(19500101, QDate::currentDate()));

    auto expectEmpty = [] {
        QVERIFY(PatientID.isEmpty());
        QVERIFY(PatientName.isEmpty());
        QVERIFY(PatientKana.isEmpty());
        QCOMPARE(PatientBirth, 0);
        QVERIFY(PatientEra.isEmpty());
        QVERIFY(PatientEraYear.isEmpty());
        QVERIFY(PatientAddress.isEmpty());
        QCOMPARE(PatientSex, 0);
        QCOMPARE(PatientAge, 0);
    };
    QVERIFY(!LookupPatient(QStringLiteral("999")));
    expectEmpty();

    // Without a database the lookup fails the same way.
    QVERIFY(LookupPatient(QStringLiteral("1")));
    CloseDB();
    QVERIFY(!LookupPatient(QStringLiteral("1")));
    expectEmpty();
}

void TestPatients::lookupWithoutBirthShowsNoEraOrAge()
{
    TestHome home;
    home.addPatient(QStringLiteral("1"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101);
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO Kanja_Data (ID, Name, Kana) VALUES ('2', '不明', 'フメイ')")));
    QVERIFY(LookupPatient(QStringLiteral("1")));
    QVERIFY(LookupPatient(QStringLiteral("2")));
    QCOMPARE(PatientName, QStringLiteral("不明"));
    QCOMPARE(PatientBirth, 0);
    QVERIFY(PatientEra.isEmpty());
    QVERIFY(PatientEraYear.isEmpty());
    QCOMPARE(PatientAge, 0);
    QCOMPARE(PatientSex, 0);
}

void TestPatients::lookupTakesIdsWithQuotesLiterally()
{
    TestHome home;
    home.addPatient(QStringLiteral("1'"), QStringLiteral("オブライエン'"), QStringLiteral("オブライエン'"), 1, 19800101);
    home.addPatient(QStringLiteral("2"), QStringLiteral("別人"), QStringLiteral("ベツジン"), 2, 19800101);
    QVERIFY(LookupPatient(QStringLiteral("1'")));
    QCOMPARE(PatientName, QStringLiteral("オブライエン'"));
    QVERIFY(!LookupPatient(QStringLiteral("x' OR '1'='1")));
    QVERIFY(PatientName.isEmpty());
}

void TestPatients::nextFreeIdGoesAboveTheHighestNumber()
{
    TestHome home;
    QCOMPARE(NextFreePatientID(), QStringLiteral("1"));
    for (int i = 1; i <= 12; ++i)
        home.addPatient(QString::number(i), QStringLiteral("患者"), QStringLiteral("カンジャ"), 1, 19800101);
    // "9" is the greatest text; the greatest number is 12.
    QCOMPARE(NextFreePatientID(), QStringLiteral("13"));
    home.addPatient(QStringLiteral("0020"), QStringLiteral("患者"), QStringLiteral("カンジャ"), 1, 19800101);
    home.addPatient(QStringLiteral("A-99"), QStringLiteral("患者"), QStringLiteral("カンジャ"), 1, 19800101);
    QCOMPARE(NextFreePatientID(), QStringLiteral("21"));
    CloseDB();
    QCOMPARE(NextFreePatientID(), QString());
}

// The search, made in the database, returns exactly the patients whose folded
// kana, name or number holds the folded text, also for patients written by
// another program, before or after the keys were watched.
void TestPatients::searchFindsWhatTheFoldedFormsHold()
{
    TestHome home;
    const QStringList kanas = {"ﾔﾏﾀﾞ ﾀﾛｳ", "やまだ　はなこ", "キャノン", "キヤノン", "ﾛｰﾏ", "ローマ",
                               "ヴァン", "Ｓｍｉｔｈ ジョン", "100%ｶﾞﾝ", "a_b\\c", "x\"y\"z"};
    for (int i = 0; i < kanas.size(); ++i) {
        const QString id = QString::number(i + 1);
        if (i % 2)
            home.addPatient(id, QStringLiteral("患者") + id, kanas[i], 1, 19800101);
        else
            QVERIFY(StorePatient({id, QStringLiteral("患者") + id, kanas[i], 19800101, 1, {}}));
    }
    // A database of an earlier version: no keys, nothing watching.
    QSqlQuery q(gDB());
    const QStringList older = CurrentEngine() == Engine::Postgres
        ? QStringList{"DROP TRIGGER kanja_search_stale ON kanja_data", "DROP TABLE kanja_search"}
        : QStringList{"DROP TRIGGER Kanja_Search_Added", "DROP TRIGGER Kanja_Search_Changed",
                      "DROP TRIGGER Kanja_Search_Removed", "DROP TABLE Kanja_Search"};
    for (const QString &sql : older)
        QVERIFY2(q.exec(sql), qPrintable(sql));
    CloseDB();
    QVERIFY(OpenDB());
    q = QSqlQuery(gDB());
    QVERIFY(SyncPatientSearchKeys());
    QVERIFY(CurrentEngine() == Engine::Postgres || FoldTrigramsIndexed());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM Kanja_Search WHERE Fold IS NULL")) && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    // Renamed, added and removed by another program while this one runs.
    for (const char *sql : {"UPDATE Kanja_Data SET Kana='タナカ イチロウ' WHERE ID='3'",
                            "INSERT INTO Kanja_Data (ID, Name, Kana) VALUES ('20', '新患', 'ｼﾝｶﾝ')",
                            "DELETE FROM Kanja_Data WHERE ID='4'"})
        QVERIFY2(q.exec(QString::fromUtf8(sql)), sql);
    // Compacting the file may renumber the keys' rows.
    if (CurrentEngine() == Engine::Sqlite)
        QVERIFY(q.exec(QStringLiteral("VACUUM")));

    auto byText = [](QStringList ids) {
        std::sort(ids.begin(), ids.end(), [](const QString &a, const QString &b) { return a.toUtf8() < b.toUtf8(); });
        return ids;
    };
    for (const QString text : {"やまだ", "ﾀﾞﾀ", "ダ タ", "キャ", "きや", "ろーま", "ﾛｰ", "ゔぁ", "smith", "ＳＭＩＴＨ",
                               "%", "_", "b\\c", "\"y\"", "たなか", "キヤノン", "しんかん", "患者1", "1", "0", ""}) {
        const QString wanted = FoldForSearch(text);
        QStringList expected, found;
        QVERIFY(q.exec(QStringLiteral("SELECT ID, Name, Kana FROM Kanja_Data")));
        while (q.next())
            if (FoldForSearch(q.value(0).toString()).contains(wanted)
                || FoldForSearch(q.value(1).toString()).contains(wanted)
                || FoldForSearch(q.value(2).toString()).contains(wanted))
                expected << q.value(0).toString();
        const auto hits = FindPatientsByKana(text);
        QVERIFY(hits);
        for (const PatientHit &hit : *hits)
            found << hit.id;
        QCOMPARE(found, byText(expected));
    }
}

QTEST_GUILESS_MAIN(TestPatients)
#include "test_patients.moc"
