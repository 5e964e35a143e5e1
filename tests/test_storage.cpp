#include "TestHome.h"

#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/Ini.h"
#include "storage/StoreLocation.h"
#include "storage/UserSettings.h"
#include "templates/KindTable.h"
#include "templates/TemplateReader.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

void exec(const QString &sql, const QVariantList &params = {})
{
    QSqlQuery q(gDB());
    if (params.isEmpty()) {
        QVERIFY2(q.exec(sql), qPrintable(sql));
        return;
    }
    QVERIFY2(q.prepare(sql), qPrintable(sql));
    for (const QVariant &p : params)
        q.addBindValue(p);
    QVERIFY2(q.exec(), qPrintable(sql));
}

bool tryExec(const QString &sql, const QVariantList &params = {})
{
    QSqlQuery q(gDB());
    if (params.isEmpty())
        return q.exec(sql);
    if (!q.prepare(sql))
        return false;
    for (const QVariant &p : params)
        q.addBindValue(p);
    return q.exec();
}

// How the database runs a statement: "SCAN t" reads every row of t, "SEARCH t
// USING INDEX ..." goes straight to the rows asked for, "USE TEMP B-TREE"
// sorts them afterwards.
QString plan(const QString &sql, const QVariantList &params = {})
{
    QSqlQuery q(gDB());
    QStringList steps;
    if (!q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql))
        return QStringLiteral("cannot prepare ") + sql;
    for (const QVariant &p : params)
        q.addBindValue(p);
    if (q.exec())
        while (q.next())
            steps << q.value(3).toString();
    return steps.join(QStringLiteral("; "));
}

// The columns as the database describes them: name, type, nullability, default.
QString tableInfo(const QString &table)
{
    QSqlQuery q(gDB());
    if (TestOnServer())
        q.prepare(QStringLiteral("SELECT string_agg(column_name || ' ' || data_type || ' ' || is_nullable || ' ' || "
                                 "coalesce(column_default, '-'), ', ' ORDER BY ordinal_position) "
                                 "FROM information_schema.columns WHERE table_schema = current_schema() "
                                 "AND table_name = ?"));
    else
        q.prepare(QStringLiteral("SELECT group_concat(name || ' ' || type || ' ' || \"notnull\" || ' ' || "
                                 "ifnull(dflt_value, '-') || ' ' || pk, ', ') FROM pragma_table_info(?)"));
    q.addBindValue(TestOnServer() ? dialect::StoredName(table) : table);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// The statements saving, reopening and the history run against a kind's
// table go straight to their rows. The server's planner reads small tables
// whole whatever indexes they have, so there the indexes are looked up.
void verifyKindLookupsUseIndexes(const QString &kind)
{
    if (TestOnServer()) {
        QSqlQuery q(gDB());
        q.prepare(QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() AND tablename = ?"));
        q.addBindValue(dialect::StoredName(kind));
        QVERIFY(q.exec());
        QStringList definitions;
        while (q.next())
            definitions << q.value(0).toString();
        QVERIFY2(!definitions.filter(QStringLiteral("(id)")).isEmpty(), qPrintable(definitions.join(u'\n')));
        QVERIFY2(!definitions.filter(QStringLiteral("患者番号\")")).isEmpty(), qPrintable(definitions.join(u'\n')));
        return;
    }
    const QString t = QuoteIdent(kind);
    for (const QString &sql : {QStringLiteral("SELECT MAX(ID) FROM ") + t,
                               QStringLiteral("SELECT rowid, * FROM ") + t + QStringLiteral(" WHERE ID=?"),
                               QStringLiteral("SELECT ID FROM ") + t + QStringLiteral(" WHERE \"患者番号\"=?")}) {
        const QString how = plan(sql, sql.contains(u'?') ? QVariantList{1} : QVariantList{});
        QVERIFY2(how.contains(QStringLiteral("INDEX")) && !how.contains(QStringLiteral("SCAN")),
                 qPrintable(sql + QStringLiteral(": ") + how));
    }
}

} // namespace

class TestStorage : public QObject
{
    Q_OBJECT

private slots:
    void iniRoundTripKeepsJapaneseInCp932();
    void iniMissingFileSectionOrKeyReadsEmpty();
    void iniReadIsCutAt254Characters();
    void iniWriteKeepsOtherLinesAndSections();
    void iniInvalidBytesReadWithoutCrash();
    void iniEncodingIsDetectedSoundly_data();
    void iniEncodingIsDetectedSoundly();
    void iniUtf8FileIsReadAndWrittenAsUtf8_data();
    void iniUtf8FileIsReadAndWrittenAsUtf8();
    void iniShiftJisFileStaysShiftJis();
    void iniWriteChangesOnlyTheWrittenLines();
    void iniTextShiftJisCannotHold();
    void iniRefusesLineBreaksAndBrokenKeys();
    void iniBatchWritesTheFileOnce();
    void valRule();
    void userSettingsRoundTrip();
    void openDbCreatesFixedTables();
    void openDbRefusesNonSqliteFile();
    void openDbPlaysBackTheJournalOfAKilledWrite();
    void longNamesAreCutAsTheServerCutsThem();
    void dynasetAddEditDelete();
    void snapshotIsReadOnlyAndKindIsExact();
    void failedQueryKeepsPreviousResult();
    void boundValuesWithQuotesAndLikeEscaping();
    void updateFailsForUnknownColumn();
    void fixedTableLookupsUseIndexes();
    void kindTablesMadeBeforeAreIndexedOnOpen();
    void aKindIndexDroppedIsMadeAgainOnOpen();
    void storeAddressesAreReadLikeLibpq();
    void serverSaysWhyItCannotBeUsed();
    void japaneseAndQuotedNamesMeetOnEveryStore();
};

void TestStorage::iniRoundTripKeepsJapaneseInCp932()
{
    TestHome home;
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("病院名"), QStringLiteral("ライドル総合病院～")) != 0);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")), QStringLiteral("ライドル総合病院～"));
    QFile f(home.data(QStringLiteral("ini/setting.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("[DATA]"));
    // 病 in CP932 is 0x95 0x61.
    QVERIFY(bytes.contains(QByteArray("\x95\x61", 2)));
    QVERIFY(!bytes.contains(QStringLiteral("病").toUtf8()));
}

void TestStorage::iniMissingFileSectionOrKeyReadsEmpty()
{
    TestHome home;
    QCOMPARE(ReadIni(QStringLiteral("nothing"), QStringLiteral("Width")), QString());
    home.writeIni(QStringLiteral("other"), QStringLiteral("[OTHER]\r\nWidth=100\r\n"));
    QCOMPARE(ReadIni(QStringLiteral("other"), QStringLiteral("Width")), QString());
    home.writeIni(QStringLiteral("kind"), QStringLiteral("[DATA]\r\nWidth=100\r\n"));
    QCOMPARE(ReadIni(QStringLiteral("kind"), QStringLiteral("Height")), QString());
    QCOMPARE(ReadIni(QStringLiteral("kind"), QStringLiteral("width")), QStringLiteral("100"));
}

void TestStorage::iniReadIsCutAt254Characters()
{
    TestHome home;
    const QString longValue = QString(300, QChar(u'あ'));
    WriteIni(QStringLiteral("setting"), QStringLiteral("住所"), longValue);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("住所")), longValue.left(254));
}

void TestStorage::iniWriteKeepsOtherLinesAndSections()
{
    TestHome home;
    home.writeIni(QStringLiteral("setting"),
                  QStringLiteral("; comment\r\n[OTHER]\r\nA=1\r\n[DATA]\r\nTEL=03-1111\r\nFAX=03-2222\r\n\r\n[LAST]\r\nB=2\r\n"));
    WriteIni(QStringLiteral("setting"), QStringLiteral("TEL"), QStringLiteral("03-9999"));
    WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), QStringLiteral("/tmp/絵"));
    QFile f(home.data(QStringLiteral("ini/setting.ini")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = DecodeCp932(f.readAll());
    QCOMPARE(text, QStringLiteral("; comment\r\n[OTHER]\r\nA=1\r\n[DATA]\r\nTEL=03-9999\r\nFAX=03-2222\r\nPicDir=/tmp/絵\r\n\r\n[LAST]\r\nB=2\r\n"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("FAX")), QStringLiteral("03-2222"));
}

void TestStorage::iniInvalidBytesReadWithoutCrash()
{
    TestHome home;
    QFile f(home.data(QStringLiteral("ini/bad.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[DATA]\r\nlabel_0=\x81\xff\x82|abc\r\n");
    f.close();
    QVERIFY(ReadIni(QStringLiteral("bad"), QStringLiteral("label_0")).endsWith(QStringLiteral("abc")));
}

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

void TestStorage::iniEncodingIsDetectedSoundly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    const int cp932 = int(IniEncoding::Cp932), utf8 = int(IniEncoding::Utf8),
              bom = int(IniEncoding::Utf8WithBom);
    QTest::newRow("empty") << QByteArray() << cp932;
    QTest::newRow("ascii") << QByteArray("[DATA]\r\nWidth=100\r\n") << cp932;
    QTest::newRow("shift-jis") << EncodeCp932(QStringLiteral("[DATA]\r\n病院名=ライドル\r\n")) << cp932;
    QTest::newRow("utf-8") << QStringLiteral("[DATA]\n病院名=ライドル\n").toUtf8() << utf8;
    QTest::newRow("bom only") << QByteArray("\xEF\xBB\xBF") << bom;
    QTest::newRow("bom ascii") << QByteArray("\xEF\xBB\xBF[DATA]\r\nA=1\r\n") << bom;
    // Bytes that look like UTF-8 but are not: each is CP932 (or damage).
    QTest::newRow("overlong slash") << QByteArray("A=\xC0\xAF") << cp932;
    QTest::newRow("overlong 3 bytes") << QByteArray("A=\xE0\x80\xAF") << cp932;
    QTest::newRow("surrogate") << QByteArray("A=\xED\xA0\x80") << cp932;
    QTest::newRow("above U+10FFFF") << QByteArray("A=\xF4\x90\x80\x80") << cp932;
    QTest::newRow("cut at the end") << QByteArray("A=\xE3\x81") << cp932;
    QTest::newRow("lone continuation") << QByteArray("A=\x80") << cp932;
    QTest::newRow("valid but one bad byte") << (QStringLiteral("A=あ").toUtf8() + "\xFF") << cp932;
    QTest::newRow("4-byte emoji") << QStringLiteral("A=😀").toUtf8() << utf8;
}

void TestStorage::iniEncodingIsDetectedSoundly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QCOMPARE(int(DetectIniEncoding(bytes)), encoding);
}

void TestStorage::iniUtf8FileIsReadAndWrittenAsUtf8_data()
{
    QTest::addColumn<QByteArray>("bom");
    QTest::newRow("with BOM") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("without BOM") << QByteArray();
}

void TestStorage::iniUtf8FileIsReadAndWrittenAsUtf8()
{
    QFETCH(QByteArray, bom);
    TestHome home;
    const QString path = home.data(QStringLiteral("ini/setting.ini"));
    const QByteArray head = bom + QStringLiteral("[DATA]\r\n病院名=ライドル病院\r\n").toUtf8();
    const QByteArray tail = QStringLiteral("住所=東京都千代田区\r\n").toUtf8();
    writeBytes(path, head + "TEL=03-1111\r\n" + tail);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")), QStringLiteral("ライドル病院"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("住所")), QStringLiteral("東京都千代田区"));

    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("TEL"), QStringLiteral("〇三－二二二二")) != 0);
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("FAX"), QStringLiteral("なし")) != 0);
    QCOMPARE(fileBytes(path), head + QStringLiteral("TEL=〇三－二二二二\r\n").toUtf8() + tail
                                  + QStringLiteral("FAX=なし\r\n").toUtf8());
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("TEL")), QStringLiteral("〇三－二二二二"));

    // A template saved as UTF-8 builds with its Japanese texts.
    writeBytes(home.data(QStringLiteral("ini/紹介状.ini")),
               bom + QStringLiteral("[DATA]\nWidth=9000\nlabel_0=0|0|900|300|0|紹介状|ＭＳ 明朝|12|0|0|\n").toUtf8());
    const Template t = ReadTemplate(QStringLiteral("紹介状"));
    QCOMPARE(t.width, 9000);
    QCOMPARE(t.labels.size(), 1);
    QCOMPARE(t.labels[0].text.value_or(QString()), QStringLiteral("紹介状"));
    QCOMPARE(t.labels[0].fontName.value_or(QString()), QStringLiteral("ＭＳ 明朝"));
}

void TestStorage::iniShiftJisFileStaysShiftJis()
{
    TestHome home;
    const QString path = home.data(QStringLiteral("ini/setting.ini"));
    const QByteArray original = EncodeCp932(QStringLiteral("[DATA]\r\n病院名=ライドル病院\r\nTEL=03\r\n"));
    writeBytes(path, original);
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("TEL"), QStringLiteral("ソ表能")) != 0);
    // ソ, 表 and 能 end in the byte of "\"; they must survive as they are.
    QCOMPARE(fileBytes(path), EncodeCp932(QStringLiteral("[DATA]\r\n病院名=ライドル病院\r\nTEL=ソ表能\r\n")));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("TEL")), QStringLiteral("ソ表能"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")), QStringLiteral("ライドル病院"));
}

void TestStorage::iniWriteChangesOnlyTheWrittenLines()
{
    TestHome home;
    const QString path = home.data(QStringLiteral("ini/setting.ini"));
    // Mixed line ends, comments, spaces, quotes, another section, duplicates,
    // and bytes that are not even valid Shift-JIS: all of it stays.
    const QByteArray before = "; hand-written\n[other]\r\nTEL=not this one\r\n[data]\n"
                              "  tel = 03-1111 \r\n"
                              "Printer=\"Laser 2\"\n"
                              "X=\x81\xff junk\r\n"
                              "TEL=second\n"
                              "\r\n"
                              "[LAST]\nB=2";
    writeBytes(path, before);
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("TEL"), QStringLiteral("03-9999")) != 0);
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), QStringLiteral("/srv/絵")) != 0);
    const QByteArray after = "; hand-written\n[other]\r\nTEL=not this one\r\n[data]\n"
                             "tel=03-9999\r\n"
                             "Printer=\"Laser 2\"\n"
                             "X=\x81\xff junk\r\n"
                             "TEL=second\n"
                             + EncodeCp932(QStringLiteral("PicDir=/srv/絵\n"))
                             + "\r\n"
                               "[LAST]\nB=2";
    QCOMPARE(fileBytes(path), after);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("Printer")), QStringLiteral("Laser 2"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), QStringLiteral("/srv/絵"));

    // A last line without a line end gets one before the new key.
    writeBytes(path, "[DATA]\r\nA=1");
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("B"), QStringLiteral("2")) != 0);
    QCOMPARE(fileBytes(path), QByteArray("[DATA]\r\nA=1\r\nB=2\r\n"));
    // One that ends in a bare CR keeps it: its value reads as before.
    const QByteArray bareCr("[DATA]\n\xFF=\x83\r");
    const std::optional<QByteArray> edited = EditIniBytes(bareCr, {{QStringLiteral("B"), QStringLiteral("2")}});
    QVERIFY(edited);
    QCOMPARE(IniSection::parse(*edited).values(), IniSection::parse(bareCr).values() + QStringList{QStringLiteral("2")});
    // Without a [DATA] section one is added at the end.
    writeBytes(path, "[OTHER]\nA=1");
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("A"), QStringLiteral("2")) != 0);
    QCOMPARE(fileBytes(path), QByteArray("[OTHER]\nA=1\n[DATA]\nA=2\n"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("A")), QStringLiteral("2"));
}

void TestStorage::iniTextShiftJisCannotHold()
{
    TestHome home;
    const QString path = home.data(QStringLiteral("ini/setting.ini"));
    // Nothing but ASCII around: the file becomes UTF-8 and keeps the text.
    writeBytes(path, "[DATA]\r\nTEL=03\r\n");
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), QStringLiteral("/srv/写真😀")) != 0);
    QCOMPARE(fileBytes(path), "[DATA]\r\nTEL=03\r\n" + QStringLiteral("PicDir=/srv/写真😀\r\n").toUtf8());
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), QStringLiteral("/srv/写真😀"));
    // Half-width katakana whose Shift-JIS bytes read as valid UTF-8 ("ﾃｽ" is
    // C3 BD): written as Shift-JIS it would come back as "ý".
    writeBytes(path, "[DATA]\r\n");
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("TEL"), QStringLiteral("ﾃｽ")) != 0);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("TEL")), QStringLiteral("ﾃｽ"));
    // A Shift-JIS file with Japanese elsewhere is not turned into another
    // encoding: the write is refused and the file left as it was.
    const QByteArray sjis = EncodeCp932(QStringLiteral("[DATA]\r\n病院名=ライドル\r\n"));
    writeBytes(path, sjis);
    QCOMPARE(WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), QStringLiteral("/srv/😀")), 0L);
    QCOMPARE(fileBytes(path), sjis);
}

void TestStorage::iniRefusesLineBreaksAndBrokenKeys()
{
    TestHome home;
    const QString path = home.data(QStringLiteral("ini/setting.ini"));
    const QByteArray original("[DATA]\r\nPrinter=A\r\n");
    writeBytes(path, original);
    // A value with a line break would add keys or sections of its own.
    QCOMPARE(WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), QStringLiteral("B\r\n[X]\r\nY=1")), 0L);
    QCOMPARE(WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), QStringLiteral("B\nTEL=0")), 0L);
    QCOMPARE(WriteIni(QStringLiteral("setting"), QStringLiteral("A=B"), QStringLiteral("1")), 0L);
    QCOMPARE(WriteIni(QStringLiteral("setting"), QString(), QStringLiteral("1")), 0L);
    QCOMPARE(WriteIni(QStringLiteral("setting"), IniEntries{{QStringLiteral("TEL"), QStringLiteral("1")},
                                                            {QStringLiteral("FAX"), QStringLiteral("2\r")}}),
             0L);
    QCOMPARE(fileBytes(path), original);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("TEL")), QString());
}

void TestStorage::iniBatchWritesTheFileOnce()
{
    TestHome home;
    const quint64 before = IniFilesWritten();
    QVERIFY(WriteIni(QStringLiteral("setting"), IniEntries{{QStringLiteral("〒"), QStringLiteral("100-0001")},
                                                           {QStringLiteral("病院名"), QStringLiteral("ライドル病院")},
                                                           {QStringLiteral("〒"), QStringLiteral("100-0002")}})
            != 0);
    QCOMPARE(IniFilesWritten() - before, quint64(1));
    QCOMPARE(fileBytes(home.data(QStringLiteral("ini/setting.ini"))),
             EncodeCp932(QStringLiteral("[DATA]\r\n〒=100-0002\r\n病院名=ライドル病院\r\n")));
    // Writing what is already there does not touch the file.
    QVERIFY(WriteIni(QStringLiteral("setting"), QStringLiteral("〒"), QStringLiteral("100-0002")) != 0);
    QCOMPARE(IniFilesWritten() - before, quint64(1));
}

void TestStorage::valRule()
{
    QCOMPARE(Val(QStringLiteral("12abc")), 12.0);
    QCOMPARE(Val(QString()), 0.0);
    QCOMPARE(Val(QStringLiteral(" 10.5pt")), 10.5);
    QCOMPARE(Val(QStringLiteral("-300")), -300.0);
    QCOMPARE(Val(QStringLiteral("abc")), 0.0);
}

void TestStorage::userSettingsRoundTrip()
{
    TestHome home;
    QCOMPARE(GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr")), QString());
    SaveSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr"), QStringLiteral("3"));
    QCOMPARE(GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("DefaultDr")), QStringLiteral("3"));
    QVERIFY(QFile::exists(home.folder() + QStringLiteral("/config/Rydol/RL.conf")));
}

void TestStorage::openDbCreatesFixedTables()
{
    TestHome home;
    QVERIFY(DatabaseIsOpen());
    const QStringList tables = TableNames();
    for (const char *t : {"Kanja_Data", "医師", "定型文", "メニュー"})
        QVERIFY2(tables.contains(QString::fromUtf8(t), Qt::CaseInsensitive), t);
    QCOMPARE(QFile::exists(home.data(QStringLiteral("Rydol.db"))), !TestOnServer());
}

void TestStorage::openDbRefusesNonSqliteFile()
{
    if (TestOnServer())
        QSKIP("the embedded file only");
    TestHome home(false, false);
    QFile f(home.data(QStringLiteral("Rydol.db")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray junk(4096, 'x');
    f.write(junk);
    f.close();
    QVERIFY(!OpenDB());
    QVERIFY(!OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 医師")));
    QFile back(home.data(QStringLiteral("Rydol.db")));
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), junk);
}

// A process killed inside a write transaction leaves the file part-way and
// its journal; the file's header may already count pages that are not there.
void TestStorage::openDbPlaysBackTheJournalOfAKilledWrite()
{
    if (TestOnServer())
        QSKIP("the embedded file only");
    TestHome home(false, false);
    const QString path = home.data(QStringLiteral("Rydol.db"));
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("killed.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("killed"));
        db.setDatabaseName(source);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE kept (v INTEGER)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO kept VALUES (1)")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA cache_size=10")));
        QVERIFY(q.exec(QStringLiteral("BEGIN")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE lost (v TEXT)")));
        for (int i = 0; i < 400; ++i)
            QVERIFY(q.exec(QStringLiteral("INSERT INTO lost VALUES ('%1')").arg(QString(4000, u'x'))));
        QVERIFY(QFile::copy(source, path));
        QVERIFY(QFile::copy(source + QStringLiteral("-journal"), path + QStringLiteral("-journal")));
        q.finish();
        db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("killed"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray header = file.read(100);
    const qint64 pageSize = (quint8(header[16]) << 8) | quint8(header[17]);
    const quint32 pages = quint32(file.size() / pageSize + 8);
    for (int i = 0; i < 4; ++i) {
        header[28 + i] = char(pages >> (24 - 8 * i));
        header[92 + i] = header[24 + i]; // a count written with the current change
    }
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(header), qint64(100));
    file.close();

    QVERIFY(OpenDB());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From kept")));
    QCOMPARE(gRS.recordCount(), 1);
    QVERIFY(!TableNames().contains(QStringLiteral("lost")));
}

// PostgreSQL keeps 63 bytes of a name; a kind whose name is longer is still
// found once made.
void TestStorage::longNamesAreCutAsTheServerCutsThem()
{
    const QString kanji21(21, QChar(0x8A3A)); // 63 bytes in UTF-8
    const Engine engine = CurrentEngine();
    SetCurrentEngine(Engine::Postgres);
    const QString kind = kanji21 + QStringLiteral("X");
    const QString stored = dialect::StoredName(kind);
    SetCurrentEngine(engine);
    QCOMPARE(stored, kanji21);

    TestHome home;
    QSqlQuery q(gDB());
    QVERIFY2(q.exec(QStringLiteral("CREATE TABLE %1 (ID INTEGER)").arg(QuoteIdent(kind))), qPrintable(q.lastError().text()));
    QVERIFY(KindTableExists(kind));
}

void TestStorage::dynasetAddEditDelete()
{
    TestHome home;
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("医師")));
    QVERIFY(gRS.eof());
    for (const char *name : {"山田太郎", "佐藤花子"}) {
        QVERIFY(gRS.addNew());
        QVERIFY(gRS.setField(QStringLiteral("Name"), QString::fromUtf8(name)));
        QVERIFY(gRS.setField(QStringLiteral("Del"), 0));
        QVERIFY(gRS.update());
    }
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 医師 Where ID=?"), {2}));
    QCOMPARE(gRS.text(QStringLiteral("name")), QStringLiteral("佐藤花子"));
    QVERIFY(gRS.edit());
    gRS.setField(QStringLiteral("Name"), QStringLiteral("佐藤はな"));
    QVERIFY(gRS.update());
    QCOMPARE(gRS.text(QStringLiteral("Name")), QStringLiteral("佐藤はな"));

    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 医師 Where ID=?"), {1}));
    QVERIFY(gRS.remove());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 医師 Order By ID")));
    QCOMPARE(gRS.recordCount(), 1);
    QCOMPARE(gRS.field(QStringLiteral("ID")).toInt(), 2);
    QCOMPARE(gRS.text(QStringLiteral("Name")), QStringLiteral("佐藤はな"));
    gRS.moveNext();
    QVERIFY(gRS.eof());
}

void TestStorage::snapshotIsReadOnlyAndKindIsExact()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田"));
    for (const char *kind : {"Snapshot", "snapshot", "dynaset"}) {
        QVERIFY(OpenRS(QString::fromLatin1(kind), QStringLiteral("Select * From 医師")));
        QVERIFY(!gRS.isDynaset());
        QVERIFY(!gRS.edit());
        QVERIFY(!gRS.addNew());
        QVERIFY(!gRS.remove());
    }
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 医師")));
    QVERIFY(gRS.isDynaset());
}

void TestStorage::failedQueryKeepsPreviousResult()
{
    TestHome home;
    home.addDoctor(QStringLiteral("山田"));
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 医師")));
    QVERIFY(!OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From NoSuchTable")));
    QCOMPARE(gRS.text(QStringLiteral("Name")), QStringLiteral("山田"));
}

void TestStorage::boundValuesWithQuotesAndLikeEscaping()
{
    TestHome home;
    home.addPatient(QStringLiteral("1'"), QStringLiteral("オブライエン'"), QStringLiteral("オブ'ライエン"), 1, 19800101);
    home.addPatient(QStringLiteral("2"), QStringLiteral("百%"), QStringLiteral("ヒャク%_"), 2, 19800101);
    home.addPatient(QStringLiteral("3"), QStringLiteral("他"), QStringLiteral("ヒャクXY"), 2, 19800101);
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From Kanja_Data Where ID=?"), {QStringLiteral("1'")}));
    QCOMPARE(gRS.text(QStringLiteral("Name")), QStringLiteral("オブライエン'"));
    const QString like = QStringLiteral("Select * From Kanja_Data Where Kana like ? ESCAPE '\\' Order By ID Asc");
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), like, {u'%' + EscapeLike(QStringLiteral("%_")) + u'%'}));
    QCOMPARE(gRS.recordCount(), 1);
    QCOMPARE(gRS.text(QStringLiteral("ID")), QStringLiteral("2"));
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), like, {u'%' + EscapeLike(QStringLiteral("'")) + u'%'}));
    QCOMPARE(gRS.text(QStringLiteral("ID")), QStringLiteral("1'"));
}

void TestStorage::updateFailsForUnknownColumn()
{
    TestHome home;
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("医師")));
    QVERIFY(gRS.addNew());
    gRS.setField(QStringLiteral("Name"), QStringLiteral("x"));
    QVERIFY(!gRS.setField(QStringLiteral("NoSuchColumn"), 1));
    QVERIFY(!gRS.update());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 医師")));
    QVERIFY(gRS.eof());
}

void TestStorage::fixedTableLookupsUseIndexes()
{
    if (TestOnServer())
        QSKIP("the server's planner reads small tables whole");
    TestHome home;
    const QString patient = plan(QStringLiteral("Select * From Kanja_Data Where ID=?"), {QStringLiteral("1")});
    QVERIFY2(!patient.contains(QStringLiteral("SCAN")), qPrintable(patient));
    // The phrase classes of a doctor come out of the index already grouped,
    // a doctor's value list already in entry order.
    for (const QString &sql : {QStringLiteral("Select Class From 定型文 Where DrID=? Group By Class"),
                               QStringLiteral("Select * From 定型文 Where DrID=? And Class=?"),
                               QStringLiteral("Select * From メニュー Where DrID=? And Item=? Order By ID Asc")}) {
        const QString how = plan(sql, sql.count(u'?') == 1 ? QVariantList{1} : QVariantList{1, QStringLiteral("x")});
        QVERIFY2(!how.contains(QStringLiteral("SCAN")) && !how.contains(QStringLiteral("TEMP B-TREE")),
                 qPrintable(sql + QStringLiteral(": ") + how));
    }
}

void TestStorage::kindTablesMadeBeforeAreIndexedOnOpen()
{
    TestHome home;
    const QString columns = QStringLiteral("(ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), 所見 TEXT, "
                                           "編集日 INTEGER, 終了判定 INTEGER)");
    exec(QStringLiteral("CREATE TABLE 紹介状 ") + columns);
    exec(QStringLiteral("CREATE TABLE \"二重 番号\" ") + columns);
    exec(QStringLiteral("CREATE TABLE 控え (ID INTEGER, 患者番号 VARCHAR(50), 内容 TEXT)"));
    for (int id : {1, 2})
        exec(QStringLiteral("INSERT INTO 紹介状 (ID, 患者番号) VALUES (?, '1001')"), {id});
    // An older table that already holds number 1 twice.
    for (int id : {1, 1, 2})
        exec(QStringLiteral("INSERT INTO \"二重 番号\" (ID, 患者番号) VALUES (?, '1001')"), {id});
    exec(QStringLiteral("INSERT INTO 控え (ID) VALUES (1)"));
    const QString layout = tableInfo(QStringLiteral("紹介状"));
    QVERIFY(!layout.isEmpty());
    if (!TestOnServer())
        QVERIFY(!plan(QStringLiteral("SELECT MAX(ID) FROM 紹介状")).contains(QStringLiteral("INDEX")));

    QVERIFY(OpenDB());
    verifyKindLookupsUseIndexes(QStringLiteral("紹介状"));
    verifyKindLookupsUseIndexes(QStringLiteral("二重 番号"));
    QCOMPARE(tableInfo(QStringLiteral("紹介状")), layout);
    QCOMPARE(tableInfo(QStringLiteral("二重 番号")), layout);

    // A number is stored once where the rows allow it; the older table keeps
    // its rows and still takes new ones.
    QVERIFY(!tryExec(QStringLiteral("INSERT INTO 紹介状 (ID) VALUES (2)")));
    QVERIFY(tryExec(QStringLiteral("INSERT INTO 紹介状 (ID) VALUES (3)")));
    QVERIFY(tryExec(QStringLiteral("INSERT INTO \"二重 番号\" (ID) VALUES (3)")));
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From \"二重 番号\" Where ID=?"), {1}));
    QCOMPARE(gRS.recordCount(), 2);
    // A table of another shape is left as it is.
    QVERIFY(tryExec(QStringLiteral("INSERT INTO 控え (ID) VALUES (1)")));
    if (!TestOnServer())
        QVERIFY(!plan(QStringLiteral("SELECT MAX(ID) FROM 控え")).contains(QStringLiteral("INDEX")));

    // Opening again finds everything in place.
    QVERIFY(OpenDB());
    verifyKindLookupsUseIndexes(QStringLiteral("二重 番号"));
    QVERIFY(!tryExec(QStringLiteral("INSERT INTO 紹介状 (ID) VALUES (3)")));
}

// A start does not read the columns of kind tables that have their indexes;
// one that lost either index, keyed on its ID or not, gets it back.
void TestStorage::aKindIndexDroppedIsMadeAgainOnOpen()
{
    TestHome home;
    const QString columns = QStringLiteral("DrID VARCHAR(50), 患者番号 VARCHAR(50), 編集日 INTEGER, 終了判定 INTEGER)");
    exec(QStringLiteral("CREATE TABLE 紹介状 (ID INTEGER, ") + columns);
    // Keyed on its ID as the server's tables are (SQLite's key is its row id).
    exec(QStringLiteral("CREATE TABLE 診断書 (ID INTEGER%1, ").arg(TestOnServer() ? QStringLiteral(" NOT NULL PRIMARY KEY") : QString())
         + columns);
    QVERIFY(OpenDB());
    const struct
    {
        const char16_t *table;
        const char16_t *index;
    } dropped[] = {{u"紹介状", u"ID"}, {u"紹介状", u"患者番号"}, {u"診断書", u"患者番号"}};
    for (const auto &d : dropped) {
        const QString table = QString::fromUtf16(d.table);
        exec(QStringLiteral("DROP INDEX ") + QuoteIdent(IndexName(table, QString::fromUtf16(d.index))));
        QVERIFY(OpenDB());
        verifyKindLookupsUseIndexes(table);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(table + u'/' + QString::fromUtf16(d.index)));
    }
}

void TestStorage::storeAddressesAreReadLikeLibpq()
{
    using K = StoreLocation::Kind;
    for (const char *embedded : {"", "  ", "sqlite", "SQLITE"})
        QCOMPARE(ParseStoreLocation(QString::fromLatin1(embedded)).kind, K::Embedded);

    StoreLocation a = ParseStoreLocation(QStringLiteral("postgresql://rydol@db.byoin.local:5433/カルテ?sslmode=require"));
    QCOMPARE(a.kind, K::Server);
    QCOMPARE(a.user, QStringLiteral("rydol"));
    QCOMPARE(a.host, QStringLiteral("db.byoin.local"));
    QCOMPARE(a.port, 5433);
    QCOMPARE(a.database, QStringLiteral("カルテ"));
    QCOMPARE(a.options, QStringLiteral("sslmode='require'"));

    StoreLocation b = ParseStoreLocation(QStringLiteral("postgres://%2Fvar%2Frun%2Fpostgresql/rydol"));
    QCOMPARE(b.kind, K::Server);
    QCOMPARE(b.host, QStringLiteral("/var/run/postgresql"));
    QVERIFY(b.user.isEmpty());
    QCOMPARE(b.port, -1);

    StoreLocation c = ParseStoreLocation(QStringLiteral("postgresql://u@[::1]:6000/d?host=/tmp/s&application_name=it's"));
    QCOMPARE(c.host, QStringLiteral("/tmp/s"));
    QCOMPARE(c.port, 6000);
    QCOMPARE(c.options, QStringLiteral("application_name='it\\'s'"));
    QCOMPARE(ParseStoreLocation(ServerUrl(c, QStringLiteral("other db"))).database, QStringLiteral("other db"));
    QCOMPARE(ParseStoreLocation(ServerUrl(c, QStringLiteral("x"))).host, QStringLiteral("/tmp/s"));

    StoreLocation secret = ParseStoreLocation(QStringLiteral("postgresql://u:pw@h/d"));
    QVERIFY(secret.hasPassword);
    QVERIFY(!secret.text.contains(QStringLiteral("pw")));
    QVERIFY(ParseStoreLocation(QStringLiteral("postgresql://h/d?password=pw")).hasPassword);
    QVERIFY(!OpenServer(secret));

    for (const char *bad : {"postgresql://h:port/d", "postgresql://h/", "mysql://h/d", "Rydol.db", "postgresql://h:0/d"})
        QCOMPARE(ParseStoreLocation(QString::fromLatin1(bad)).kind, K::Invalid);
}

void TestStorage::japaneseAndQuotedNamesMeetOnEveryStore()
{
    TestHome home;
    // Names from templates are quoted; ASCII letters match in either case,
    // quoted or not, on both stores.
    const QString kind = QStringLiteral("Kind \"A\" 紹介");
    QSqlQuery q(gDB());
    QVERIFY2(q.exec(QStringLiteral("CREATE TABLE %1 (%2 INTEGER PRIMARY KEY, %3 VARCHAR(50))")
                        .arg(QuoteIdent(kind), QuoteIdent(QStringLiteral("ID")), QuoteIdent(QStringLiteral("所見 'x'")))),
             qPrintable(q.lastError().text()));
    QVERIFY(TableNames().contains(kind, Qt::CaseInsensitive));
    QCOMPARE(TableColumns(kind).size(), 2);
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QuoteIdent(kind)));
    QVERIFY(gRS.addNew());
    QVERIFY(gRS.setField(QStringLiteral("id"), 7));
    QVERIFY(gRS.setField(QStringLiteral("所見 'x'"), QStringLiteral("O'Brien \\ 100%")));
    QVERIFY(gRS.update());
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From %1 Where ID=?").arg(QuoteIdent(kind)), {7}));
    QCOMPARE(gRS.text(QStringLiteral("所見 'x'")), QStringLiteral("O'Brien \\ 100%"));
    QVERIFY(gRS.edit());
    gRS.setField(QStringLiteral("所見 'x'"), QStringLiteral("改"));
    QVERIFY(gRS.update());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From %1").arg(QuoteIdent(kind))));
    QCOMPARE(gRS.recordCount(), 1);
    QCOMPARE(gRS.text(QStringLiteral("所見 'x'")), QStringLiteral("改"));

    // A table made by hand without a key is still edited row by row.
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE 手製 (ID INTEGER, 値 VARCHAR(50))")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO 手製 VALUES (1, 'a')")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO 手製 VALUES (1, 'b')")));
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 手製 Where 値=?"), {QStringLiteral("b")}));
    QVERIFY(gRS.edit());
    gRS.setField(QStringLiteral("値"), QStringLiteral("c"));
    QVERIFY(gRS.update());
    QVERIFY(gRS.edit());
    gRS.setField(QStringLiteral("値"), QStringLiteral("d"));
    QVERIFY(gRS.update());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 手製 Order By 値")));
    QCOMPARE(gRS.text(QStringLiteral("値")), QStringLiteral("a"));
    gRS.moveNext();
    QCOMPARE(gRS.text(QStringLiteral("値")), QStringLiteral("d"));
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 手製 Where 値=?"), {QStringLiteral("a")}));
    QVERIFY(gRS.remove());
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From 手製")));
    QCOMPARE(gRS.recordCount(), 1);
}

void TestStorage::serverSaysWhyItCannotBeUsed()
{
    if (!TestOnServer())
        QSKIP("needs the test server");
    TestHome home;
    const StoreLocation own = ParseStoreLocation(home.serverUrl());
    const QString reader = QStringLiteral("reader_%1").arg(QCoreApplication::applicationPid());
    exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(reader));
    exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(reader));
    TestHome empty(false, false);
    struct Case
    {
        QString user, database, reason;
        OpenFailure failure;
    };
    const QList<Case> refused = {
        {own.user, QStringLiteral("nosuch"), QStringLiteral("データベース nosuch がサーバーにありません。"),
         OpenFailure::Unreachable},
        {QStringLiteral("nobody"), own.database,
         QStringLiteral("このユーザーはサーバーに登録されていません（ユーザー nobody）。"), OpenFailure::Unreachable},
        {reader, ParseStoreLocation(empty.serverUrl()).database, QStringLiteral("表「Kanja_Data」を作る権限がありません。"),
         OpenFailure::NoAccess},
    };
    for (const Case &c : refused) {
        StoreLocation at = own;
        at.user = c.user;
        at.database = c.database;
        QVERIFY(!OpenServer(at));
        QCOMPARE(DatabaseOpenFailure(), c.failure);
        QCOMPARE(DatabaseOpenReason(), c.reason);
    }

    // Tables this user may only read, or not even that, and kinds whose
    // table it may not create, are named at the start.
    StoreLocation asReader = own;
    asReader.user = reader;
    QVERIFY(OpenServer(asReader));
    QCOMPARE(DatabaseAccessProblem({}), QStringLiteral("表「Kanja_Data」に書き込む権限がありません。"));
    QVERIFY(OpenServer(own));
    exec(QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO %1").arg(reader));
    exec(QStringLiteral("REVOKE SELECT ON \"医師\" FROM %1").arg(reader));
    QVERIFY(OpenServer(asReader));
    QCOMPARE(DatabaseAccessProblem({}), QStringLiteral("表「医師」を読む権限がありません。"));
    QVERIFY(OpenServer(own));
    exec(QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO %1").arg(reader));
    QVERIFY(OpenServer(asReader));
    QCOMPARE(DatabaseAccessProblem({}), QString());
    QCOMPARE(DatabaseAccessProblem({QStringLiteral("紹介状")}), QStringLiteral("表「紹介状」を作る権限がありません。"));
    // A kind's table is asked about with the others.
    QVERIFY(OpenServer(own));
    exec(QStringLiteral("CREATE TABLE 診断書 (ID INTEGER)"));
    exec(QStringLiteral("GRANT SELECT ON 診断書 TO %1").arg(reader));
    QVERIFY(OpenServer(asReader));
    QCOMPARE(DatabaseAccessProblem({QStringLiteral("診断書")}), QStringLiteral("表「診断書」に書き込む権限がありません。"));
    CloseDB();
}

QTEST_GUILESS_MAIN(TestStorage)
#include "test_storage.moc"
