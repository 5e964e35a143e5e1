#include "TestHome.h"

#include "ui/Fonts.h"
#include "persistence/SaveDocument.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Ini.h"
#include "templates/KindTable.h"
#include "templates/TemplateReader.h"

#include <QFont>
#include <QFontMetricsF>
#include <QSet>
#include <QSqlQuery>
#include <QElapsedTimer>
#include <QtTest>

class TestTemplates : public QObject
{
    Q_OBJECT

private slots:
    void familiesEndAtFirstEmptyOrAbsentNumber();
    void workedExampleField();
    void badFieldsStayUnset();
    void lineCoordinatesAreIndependent();
    void valueCutAt254LosesLaterFields();
    void windowSizeByValRuleAndMissingFile();
    void checkBoxStates();
    void kindsListEveryIniButSettingIni();
    void kindTableColumnsFollowFieldsAndChecks();
    void kindTableFirstColumnOfANameWins();
    void kindTableWithAwkwardNames();
    void wideKindTablesAreQuickOrRefusedWithAReason();
    void aKindTableGainsTheColumnsItsTemplateGained();
    void kindTablesAreIndexedFromTheStart();
    void samplesUseEveryFamilyAndPatientTag();
    void samplesFitTheirPages();
    void aTemplateChangedOnDiskIsReadAfresh();

private:
    static QList<QPair<QString, QString>> columnsOf(const QString &table);
};

QList<QPair<QString, QString>> TestTemplates::columnsOf(const QString &table)
{
    QList<QPair<QString, QString>> columns;
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            columns << qMakePair(q.value(0).toString(), q.value(1).toString());
    return columns;
}

void TestTemplates::familiesEndAtFirstEmptyOrAbsentNumber()
{
    TestHome home(false, false);
    home.writeIni(QStringLiteral("gaps"),
                  QStringLiteral("[DATA]\r\n"
                                 "label_1=0|0|100|100|0|orphan\r\n"
                                 "lbItem_0=0|0|10|10\r\nlbItem_1=x\r\nlbItem_2=|\r\n"
                                 "LBITEM_3=0|0|1|1\r\nlbItem_4=0|0|1|1\r\n"
                                 "lbItem_5=\r\nlbItem_6=0|0|1|1\r\n"
                                 "LineG_0=1|2|3|4\r\nLineG_2=1|2|3|4\r\n"
                                 "ImgCheck_00=0|0|10|10|A|1\r\n"
                                 "lbList_0=   \r\nlbList_1=0|0|10|10|T|L\r\n"));
    const Template t = ReadTemplate(QStringLiteral("gaps"));
    QVERIFY(t.labels.isEmpty());
    QCOMPARE(t.items.size(), 5);        // 5 empty ends it, 6 is never read; keys ignore case
    QVERIFY(!t.items[1].geometry);      // a value that does not parse still makes an element
    QCOMPARE(t.lines.size(), 1);
    QVERIFY(t.checks.isEmpty());        // leading zeros are another key
    QVERIFY(t.listButtons.isEmpty());
    QVERIFY(t.patientFields.isEmpty());
    QVERIFY(!t.hasPageLines());
}

void TestTemplates::workedExampleField()
{
    const TemplateItem e =
        ParseItem(QStringLiteral("1440|2160|4320|300|0||ＭＳ Ｐ明朝|10.5|0|4|Referral|1|"));
    QCOMPARE(e.geometry, std::optional<QRect>(QRect(1440, 2160, 4320, 300)));
    QCOMPARE(e.alignment, std::optional<int>(0));
    QCOMPARE(e.text, std::optional<QString>(QString()));
    QCOMPARE(e.fontName, std::optional<QString>(QStringLiteral("ＭＳ Ｐ明朝")));
    QCOMPARE(e.fontSize, std::optional<double>(10.5));
    QCOMPARE(e.textColor, std::optional<long long>(0));
    QCOMPARE(e.tabIndex, std::optional<int>(4));
    QCOMPARE(e.tag, std::optional<QString>(QStringLiteral("Referral")));
    QCOMPARE(e.dataKind, std::optional<QString>(QStringLiteral("1")));
    QVERIFY(e.clickAction.has_value());
    QVERIFY(e.clickAction->isEmpty());
    QVERIFY(!e.hasClickAction());

    const TemplateItem dated = ParseItem(QStringLiteral("0|0|600|300|2||ＭＳ 明朝|10.5|255|1|日付Y|0|Date_Y"));
    QVERIFY(dated.hasClickAction());
    QCOMPARE(dated.textColor, std::optional<long long>(255));

    // No field 12 at all is "absent", not "empty".
    QVERIFY(!ParseItem(QStringLiteral("0|0|1|1|0|a|b|9|0|0|t|1")).clickAction);
}

void TestTemplates::badFieldsStayUnset()
{
    // One bad coordinate spoils the whole move; the other fields still count.
    const TemplateLabel a = ParseLabel(QStringLiteral("100|abc|300|200|1|見出し|ＭＳ 明朝|1O|-5|x|t"));
    QVERIFY(!a.geometry);
    QCOMPARE(a.alignment, std::optional<int>(1));
    QCOMPARE(a.text, std::optional<QString>(QStringLiteral("見出し")));
    QVERIFY(!a.fontSize);   // letter O, not zero
    QVERIFY(!a.textColor);  // negative
    QVERIFY(!a.tabIndex);
    QCOMPARE(a.tag, std::optional<QString>(QStringLiteral("t")));

    QVERIFY(!ParseLabel(QStringLiteral("100|100|-300|200")).geometry);
    QVERIFY(!ParseLabel(QStringLiteral("100|100|300")).geometry);
    QVERIFY(!ParseLabel(QStringLiteral("100|100|300|200px")).geometry);
    QCOMPARE(ParseLabel(QStringLiteral(" 100 |100|300.4|199.6")).geometry,
             std::optional<QRect>(QRect(100, 100, 300, 200)));
    const TemplateLabel b = ParseLabel(QStringLiteral("0|0|1|1|3||ＭＳ 明朝|0|16777216|"));
    QVERIFY(!b.alignment);
    QVERIFY(!b.fontSize);
    QVERIFY(!b.textColor);
    QVERIFY(!b.tabIndex);   // present but empty
    QVERIFY(!b.tag);        // absent

    // "|" cannot be written inside a caption: the rest becomes the next field.
    const TemplateLabel piped = ParseLabel(QStringLiteral("0|0|1|1|0|A|B|10"));
    QCOMPARE(piped.text, std::optional<QString>(QStringLiteral("A")));
    QCOMPARE(piped.fontName, std::optional<QString>(QStringLiteral("B")));

    // Patient fields ignore field 5.
    const TemplatePatientField p = ParsePatientField(QStringLiteral("0|0|1|1|0|山田|ＭＳ 明朝|10|0|0|患者名"));
    QVERIFY(!p.text);
    QCOMPARE(p.tag, std::optional<QString>(QStringLiteral("患者名")));

    const TemplateListButton l = ParseListButton(QStringLiteral("0|0|240|240|紹介先病院"));
    QVERIFY(l.geometry);
    QCOMPARE(l.tag, std::optional<QString>(QStringLiteral("紹介先病院")));
    QVERIFY(!l.listName);
}

void TestTemplates::lineCoordinatesAreIndependent()
{
    const TemplateLine l = ParseLine(QStringLiteral("100|x|300|400|255|7|0"));
    QCOMPARE(l.x1, std::optional<int>(100));
    QVERIFY(!l.y1);
    QCOMPARE(l.x2, std::optional<int>(300));
    QCOMPARE(l.y2, std::optional<int>(400));
    QCOMPARE(l.color, std::optional<long long>(255));
    QVERIFY(!l.style);  // 0..6 only
    QVERIFY(!l.width);  // at least one pixel
    const TemplateLine m = ParseLine(QStringLiteral("0|16840|11900|16840|0|3|2"));
    QCOMPARE(m.style, std::optional<int>(3));
    QCOMPARE(m.width, std::optional<int>(2));
}

void TestTemplates::valueCutAt254LosesLaterFields()
{
    TestHome home(false, false);
    const QString caption(238, QChar(u'字'));
    home.writeIni(QStringLiteral("long"),
                  QStringLiteral("[DATA]\r\nlabel_0=0|0|100|100|0|") + caption
                      + QStringLiteral("|ＭＳ 明朝|10.5|0|1|tag\r\n"));
    const Template t = ReadTemplate(QStringLiteral("long"));
    QCOMPARE(t.labels.size(), 1);
    const TemplateLabel &l = t.labels[0];
    QCOMPARE(l.text, std::optional<QString>(caption));
    // 14 characters before the caption + 238 + "|Ｍ" = 254.
    QCOMPARE(l.fontName, std::optional<QString>(QStringLiteral("Ｍ")));
    QVERIFY(!l.fontSize);
    QVERIFY(!l.tag);
}

void TestTemplates::windowSizeByValRuleAndMissingFile()
{
    TestHome home(false, false);
    home.writeIni(QStringLiteral("size"), QStringLiteral("[DATA]\r\nWidth=11900twips\r\nheight=16840.6\r\n"));
    const Template t = ReadTemplate(QStringLiteral("size"));
    QCOMPARE(t.kind, QStringLiteral("size"));
    QCOMPARE(t.width, 11900);
    QCOMPARE(t.height, 16841);

    const Template none = ReadTemplate(QStringLiteral("存在しない"));
    QCOMPARE(none.width, 0);
    QCOMPARE(none.height, 0);
    QVERIFY(none.items.isEmpty() && none.labels.isEmpty() && none.lines.isEmpty());
}

void TestTemplates::checkBoxStates()
{
    QCOMPARE(ParseCheck(QStringLiteral("0|0|300|300|就労可|0")).checked, std::optional<bool>(false));
    QCOMPARE(ParseCheck(QStringLiteral("0|0|300|300|就労可|1")).checked, std::optional<bool>(true));
    QCOMPARE(ParseCheck(QStringLiteral("0|0|300|300|就労可|2")).stateText(), QStringLiteral("1"));
    const TemplateCheck bad = ParseCheck(QStringLiteral("0|0|300|300||yes"));
    QVERIFY(!bad.checked);
    QCOMPARE(bad.state, std::optional<QString>(QStringLiteral("yes")));
    QCOMPARE(bad.stateText(), QStringLiteral("0"));
    QCOMPARE(bad.tag, std::optional<QString>(QString()));
}

void TestTemplates::kindsListEveryIniButSettingIni()
{
    TestHome home(false, false);
    home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("紹介状"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("診断書"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("a"), QStringLiteral("[DATA]\r\n"));
    QFile upper(home.data(QStringLiteral("ini/Setting.INI")));
    QVERIFY(upper.open(QIODevice::WriteOnly));
    upper.write("[DATA]\r\nWidth=500\r\n");
    upper.close();
    QFile other(home.data(QStringLiteral("ini/memo.txt")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();

    QCOMPARE(TemplateKinds(), (QStringList{QStringLiteral("a"), QStringLiteral("Setting"),
                                           QStringLiteral("紹介状"), QStringLiteral("診断書")}));
    QCOMPARE(ReadTemplate(QStringLiteral("Setting")).width, 500);
}

void TestTemplates::kindTableColumnsFollowFieldsAndChecks()
{
    TestHome home;
    const QList<KindColumnSource> fields = {{QStringLiteral("A"), QStringLiteral("0")},
                                            {QString(), QStringLiteral("1")},
                                            {QStringLiteral("B"), QStringLiteral("1")},
                                            {QStringLiteral("C"), QStringLiteral("2")},
                                            {QStringLiteral("D"), QString()},
                                            {QStringLiteral("F"), QStringLiteral("3")}};
    QVERIFY(!KindTableExists(QStringLiteral("見本")));
    QVERIFY(CreateKindTable(QStringLiteral("見本"), fields, {QString(), QStringLiteral("E")}));
    QVERIFY(KindTableExists(QStringLiteral("見本")));
    const QList<QPair<QString, QString>> expected = {
        {QStringLiteral("ID"), QStringLiteral("INTEGER")},
        {QStringLiteral("DrID"), QStringLiteral("VARCHAR(50)")},
        {QStringLiteral("患者番号"), QStringLiteral("VARCHAR(50)")},
        {QStringLiteral("A"), QStringLiteral("INTEGER")},
        {QStringLiteral("B"), QStringLiteral("VARCHAR(255)")},
        {QStringLiteral("C"), QStringLiteral("TEXT")},
        {QStringLiteral("E"), QStringLiteral("INTEGER")},
        {QStringLiteral("編集日"), QStringLiteral("INTEGER")},
        {QStringLiteral("終了判定"), QStringLiteral("INTEGER")}};
    QCOMPARE(columnsOf(QStringLiteral("見本")), expected);

    // Never made twice, never altered.
    QVERIFY(!CreateKindTable(QStringLiteral("見本"), {{QStringLiteral("G"), QStringLiteral("1")}}, {}));
    QCOMPARE(columnsOf(QStringLiteral("見本")), expected);

    // The same columns straight from a template.
    home.writeIni(QStringLiteral("tpl"),
                  QStringLiteral("[DATA]\r\nlbItem_0=0|0|1|1|0||M|9|0|0|A|0|\r\n"
                                 "lbItem_1=0|0|1|1|0||M|9|0|0|B|1|\r\nlbItem_2=0|0|1|1\r\n"
                                 "ImgCheck_0=0|0|1|1|E|0\r\n"));
    const Template t = ReadTemplate(QStringLiteral("tpl"));
    QVERIFY(CreateKindTable(t.kind, KindColumnSources(t), KindCheckTags(t)));
    QCOMPARE(columnsOf(QStringLiteral("tpl")).size(), 8);
}

void TestTemplates::kindTableFirstColumnOfANameWins()
{
    TestHome home;
    QVERIFY(CreateKindTable(QStringLiteral("dup"),
                            {{QStringLiteral("所見"), QStringLiteral("2")},
                             {QStringLiteral("所見"), QStringLiteral("0")},
                             {QStringLiteral("x"), QStringLiteral("0")},
                             {QStringLiteral("X"), QStringLiteral("1")},
                             {QStringLiteral("id"), QStringLiteral("1")},
                             {QStringLiteral("編集日"), QStringLiteral("1")},
                             {QStringLiteral("RowID"), QStringLiteral("0")}},
                            {QStringLiteral("所見"), QStringLiteral("Ｘ")}));
    const auto columns = columnsOf(QStringLiteral("dup"));
    QStringList names;
    for (const auto &c : columns)
        names << c.first;
    // Full-width letters are not folded by the database, so Ｘ is a column of its own.
    // Fields named like a fixed column (id, 編集日) do not make or type it.
    QCOMPARE(names, (QStringList{QStringLiteral("ID"), QStringLiteral("DrID"), QStringLiteral("患者番号"),
                                 QStringLiteral("所見"), QStringLiteral("x"), QStringLiteral("Ｘ"),
                                 QStringLiteral("編集日"), QStringLiteral("終了判定")}));
    QCOMPARE(columns[3].second, QStringLiteral("TEXT"));
    QCOMPARE(columns[6].second, QStringLiteral("INTEGER"));
}

void TestTemplates::kindTableWithAwkwardNames()
{
    TestHome home;
    const QString kind = QStringLiteral("紹介'状 A");
    const QString odd = QStringLiteral("'); DROP TABLE 医師; --");
    const QString quoted = QStringLiteral("a\"b");
    QVERIFY(CreateKindTable(kind,
                            {{odd, QStringLiteral("1")},
                             {quoted, QStringLiteral("1")},
                             {QStringLiteral("select"), QStringLiteral("0")},
                             {QStringLiteral("病名 (主)"), QStringLiteral("2")}},
                            {QStringLiteral("it's")}));
    QVERIFY(KindTableExists(kind));
    // Letter case aside it is the same kind, with the same table.
    QVERIFY(KindTableExists(QStringLiteral("紹介'状 a")));
    QVERIFY(!CreateKindTable(QStringLiteral("紹介'状 a"), {}, {}));
    QVERIFY(TableNames().contains(QStringLiteral("医師")));
    const auto columns = columnsOf(kind);
    QCOMPARE(columns.size(), 10);
    QCOMPARE(columns[3].first, odd);
    QCOMPARE(columns[4].first, quoted);
    QCOMPARE(columns[5].first, QStringLiteral("select"));
    QCOMPARE(columns[7].first, QStringLiteral("it's"));

    // The table works through the shared recordset.
    QVERIFY(OpenRS(QStringLiteral("Dynaset"), QuoteIdent(kind)));
    QVERIFY(gRS.addNew());
    QVERIFY(gRS.setField(QStringLiteral("ID"), 1));
    QVERIFY(gRS.setField(odd, QStringLiteral("値")));
    QVERIFY(gRS.setField(QStringLiteral("it's"), 1));
    QVERIFY(gRS.update());
    gRS.close();

    // A name the database refuses leaves no table and reports nothing.
    QVERIFY(!CreateKindTable(QStringLiteral("sqlite_kind"), {}, {}));
    QVERIFY(!KindTableExists(QStringLiteral("sqlite_kind")));
    QVERIFY(!CreateKindTable(QString(), {}, {}));
}

void TestTemplates::wideKindTablesAreQuickOrRefusedWithAReason()
{
    TestHome home;
    auto fields = [](int count) {
        QList<KindColumnSource> list;
        for (int i = 0; i < count; ++i)
            list.append({QStringLiteral("欄%1").arg(i), QString::number(i % 3)});
        return list;
    };
    // As many columns as the database allows: made at once.
    const int most = MaxTableColumns() - 5;
    QElapsedTimer clock;
    clock.start();
    QString reason;
    QVERIFY(CreateKindTable(QStringLiteral("広い"), fields(most), {}, &reason));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(columnsOf(QStringLiteral("広い")).size(), MaxTableColumns());
    QVERIFY(reason.isEmpty());
    // ... and documents of it save.
    DocumentData doc;
    doc.kind = QStringLiteral("広い");
    doc.fields = {{QStringLiteral("欄1"), QStringLiteral("1"), QStringLiteral("文")}};
    doc.surface = QImage(4, 4, QImage::Format_RGB32);
    QVERIFY2(SaveDocument(doc, QStringLiteral("0")), qPrintable(LastSaveError()));

    // Four thousand: refused at once, saying why.
    clock.restart();
    QVERIFY(!CreateKindTable(QStringLiteral("広すぎる"), fields(4000), {QStringLiteral("箱")}, &reason));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reason, QStringLiteral("入力欄とチェックボックスが多すぎます（表の列 4006、データベースの上限 %1）。")
                         .arg(MaxTableColumns()));
    QVERIFY(!KindTableExists(QStringLiteral("広すぎる")));
}

void TestTemplates::aKindTableGainsTheColumnsItsTemplateGained()
{
    TestHome home;
    const QString kind = QStringLiteral("Referral");
    QVERIFY(CreateKindTable(kind, {{QStringLiteral("A"), QStringLiteral("0")}}, {}));
    DocumentData doc;
    doc.kind = kind;
    doc.surface = QImage(4, 4, QImage::Format_RGB32);
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));

    // Years later: a memo, a text field whose kind has a space, a check box,
    // a field of an unknown kind and one spelt like an existing column.
    const QList<KindColumnSource> fields = {{QStringLiteral("a"), QStringLiteral("1")},
                                            {QStringLiteral("C"), QStringLiteral("2")},
                                            {QStringLiteral("D"), QStringLiteral(" 1")},
                                            {QStringLiteral("X"), QStringLiteral("3")}};
    QStringList added;
    QVERIFY(ExtendKindTable(QStringLiteral("referral"), fields, {QStringLiteral("E")}, &added));
    QCOMPARE(added, (QStringList{QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E")}));
    const auto columns = columnsOf(kind);
    QCOMPARE(columns.mid(6), (QList<QPair<QString, QString>>{{QStringLiteral("C"), QStringLiteral("TEXT")},
                                                             {QStringLiteral("D"), QStringLiteral("VARCHAR(255)")},
                                                             {QStringLiteral("E"), QStringLiteral("INTEGER")}}));
    QCOMPARE(DataKindProblem(fields[3]),
             QStringLiteral("入力欄「X」のデータ種別「3」は 0（数値）、1（文字）、2（長文）のどれでもありません。"));
    QVERIFY(DataKindProblem(fields[2]).isEmpty());
    const QList<AuditRow> trail = ReadAudit(QString(), QDate(), QDate(), 10);
    QCOMPARE(trail.size(), 4);
    QCOMPARE(trail[0].operation.left(4), QStringLiteral("列追加："));
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("SELECT * FROM Referral")));
    QVERIFY(gRS.field(QStringLiteral("C")).isNull());

    doc.fields = {{QStringLiteral("C"), QStringLiteral("2"), QStringLiteral("経過")},
                  {QStringLiteral("D"), QStringLiteral(" 1"), QStringLiteral("所見")}};
    QVERIFY2(SaveDocument(doc, QStringLiteral("1")), qPrintable(LastSaveError()));
    added.clear();
    QVERIFY(ExtendKindTable(kind, fields, {QStringLiteral("E")}, &added));
    QVERIFY(added.isEmpty());

    // Beyond the database's limit: refused, saying why, and nothing added.
    QList<KindColumnSource> many;
    for (int i = 0; i < MaxTableColumns(); ++i)
        many.append({QStringLiteral("欄%1").arg(i), QStringLiteral("0")});
    QString reason;
    QVERIFY(!ExtendKindTable(kind, many, {}, nullptr, &reason));
    QVERIFY2(reason.startsWith(QStringLiteral("入力欄とチェックボックスが多すぎます")), qPrintable(reason));
    QCOMPARE(columnsOf(kind).size(), 9);
}

void TestTemplates::kindTablesAreIndexedFromTheStart()
{
    TestHome home;
    // Long names that differ only at their ends, and names that look like
    // each other's indexes.
    const QString stem = QStringLiteral("入院診療計画書兼退院療養計画書及び説明同意書様式第");
    const QStringList kinds{stem + QStringLiteral("一号"), stem + QStringLiteral("二号"), QStringLiteral("控"),
                            QStringLiteral("控_ID"), QStringLiteral("控 ID")};
    for (const QString &kind : kinds)
        QVERIFY2(CreateKindTable(kind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}), qPrintable(kind));
    for (const QString &kind : kinds) {
        const QString t = QuoteIdent(kind);
        for (const QString &sql : {QStringLiteral("SELECT MAX(ID) FROM ") + t,
                                   QStringLiteral("SELECT * FROM ") + t + QStringLiteral(" WHERE ID=1"),
                                   QStringLiteral("SELECT * FROM ") + t + QStringLiteral(" WHERE 患者番号='1'")}) {
            QSqlQuery q(gDB());
            QVERIFY(q.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + sql) && q.next());
            const QString how = q.value(3).toString();
            QVERIFY2(how.contains(QStringLiteral("INDEX")), qPrintable(sql + QStringLiteral(": ") + how));
        }
        // One row per number.
        QSqlQuery insert(gDB());
        QVERIFY(insert.exec(QStringLiteral("INSERT INTO %1 (ID) VALUES (1)").arg(t)));
        QVERIFY(!insert.exec(QStringLiteral("INSERT INTO %1 (ID) VALUES (1)").arg(t)));
    }
    QCOMPARE(columnsOf(kinds[0]).size(), 6);
}

void TestTemplates::samplesUseEveryFamilyAndPatientTag()
{
    TestHome home(true, false);
    const QStringList kinds = TemplateKinds();
    for (const char *k : {"紹介状", "診断書", "入院診療計画書"})
        QVERIFY2(kinds.contains(QString::fromUtf8(k)), k);
    QVERIFY(!kinds.contains(QStringLiteral("setting")));

    QSet<QString> patientTags;
    for (const QString &kind : kinds) {
        const Template t = ReadTemplate(kind);
        QVERIFY2(t.width > 0 && t.height > 0, qPrintable(kind));
        QVERIFY2(!t.labels.isEmpty() && !t.items.isEmpty() && !t.patientFields.isEmpty()
                     && !t.lines.isEmpty(),
                 qPrintable(kind));
        for (const auto &p : t.patientFields)
            patientTags << p.tag.value_or(QString());
        QSet<QString> itemTags;
        for (const auto &i : t.items) {
            const QString tag = i.tag.value_or(QString());
            QVERIFY2(!tag.isEmpty(), qPrintable(kind + i.fields.join(u'|')));
            QVERIFY2(!itemTags.contains(tag), qPrintable(kind + tag));
            itemTags << tag;
            // Every tagged field must be storable.
            QVERIFY2(QStringList({"0", "1", "2"}).contains(i.dataKind.value_or(QString())),
                     qPrintable(kind + tag));
        }
        for (const auto &l : t.listButtons)
            QVERIFY2(itemTags.contains(l.tag.value_or(QString())) && !l.listName.value_or(QString()).isEmpty(),
                     qPrintable(kind + l.fields.join(u'|')));
        for (const char *date : {"日付Y", "日付M", "日付D"})
            QVERIFY2(itemTags.contains(QString::fromUtf8(date)), qPrintable(kind));
    }
    const QStringList all = {"患者番号", "カナ名", "患者名", "生年", "生月", "生日", "年齢", "性別", "住所"};
    for (const QString &tag : all)
        QVERIFY2(patientTags.contains(tag), qPrintable(tag));

    const Template letter = ReadTemplate(QStringLiteral("紹介状"));
    QStringList actions;
    for (const auto &i : letter.items)
        if (i.hasClickAction())
            actions << *i.clickAction;
    for (const char *a : {"Date_Y", "Date_M", "Date_D", "プラマイ"})
        QVERIFY2(actions.contains(QString::fromUtf8(a)), a);
    QVERIFY(!letter.listButtons.isEmpty());

    QVERIFY(!ReadTemplate(QStringLiteral("診断書")).checks.isEmpty());
    const Template plan = ReadTemplate(QStringLiteral("入院診療計画書"));
    QVERIFY(plan.hasPageLines() && !plan.checks.isEmpty() && !plan.listButtons.isEmpty());
    QVERIFY(plan.height > 2 * 16000);

    QVERIFY(QFile::exists(home.data(QStringLiteral("icon/check.gif"))));
    QVERIFY(QFile::exists(home.data(QStringLiteral("icon/uncheck.gif"))));
    QVERIFY(QImage(home.data(QStringLiteral("icon/check.gif"))).width() > 0);
    QVERIFY(!ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")).isEmpty());
}

// Every element lies on the page, no two boxes overlap (input fields with their
// frames), and every text fits its box at its font size.
void TestTemplates::samplesFitTheirPages()
{
    TestHome home(true, false);
    InstallFontSubstitutes();
    for (const QString &kind : TemplateKinds()) {
        const Template t = ReadTemplate(kind);
        const QRect page(0, 0, t.width, t.height);
        QList<QPair<QRect, QString>> boxes;
        auto add = [&](const TemplateRect &r, const QStringList &fields, int margin) {
            QVERIFY2(r.has_value(), qPrintable(kind + fields.join(u'|')));
            const QRect box = margin ? r->adjusted(-margin, -margin, 15, 15) : *r;
            QVERIFY2(page.contains(*r), qPrintable(kind + fields.join(u'|')));
            for (const auto &other : boxes)
                QVERIFY2(!other.first.intersects(box),
                         qPrintable(kind + u' ' + fields.join(u'|') + QStringLiteral(" / ") + other.second));
            boxes << qMakePair(box, fields.join(u'|'));
        };
        // The texts these fields get when a document is built.
        const QHash<QString, QString> filled = {
            {QStringLiteral("患者番号"), QStringLiteral("12345678")},
            {QStringLiteral("カナ名"), QStringLiteral("ハセガワ　ケンイチロウ")},
            {QStringLiteral("患者名"), QStringLiteral("長谷川　健一郎")},
            {QStringLiteral("生年"), QStringLiteral("昭和45")},
            {QStringLiteral("生月"), QStringLiteral("12")},
            {QStringLiteral("生日"), QStringLiteral("31")},
            {QStringLiteral("年齢"), QStringLiteral("100")},
            {QStringLiteral("性別"), QStringLiteral("女")},
            {QStringLiteral("住所"), QStringLiteral("神奈川県横浜市中区山下町二丁目15番地 グランドメゾン山下公園1203号")},
            {QStringLiteral("My医師名"), QStringLiteral("佐々木　健一郎")},
            {QStringLiteral("記載者"), QStringLiteral("佐々木　健一郎")},
            {QStringLiteral("My病院名"), ReadIni(QStringLiteral("setting"), QStringLiteral("病院名"))},
            {QStringLiteral("My郵便番号"), ReadIni(QStringLiteral("setting"), QStringLiteral("〒"))},
            {QStringLiteral("My住所"), ReadIni(QStringLiteral("setting"), QStringLiteral("住所"))},
            {QStringLiteral("MyTEL"), ReadIni(QStringLiteral("setting"), QStringLiteral("TEL"))},
            {QStringLiteral("MyFAX"), ReadIni(QStringLiteral("setting"), QStringLiteral("FAX"))},
            {QStringLiteral("日付Y"), QStringLiteral("2024")}};
        // fits(e, wraps): a memo field's text may take several lines.
        auto fits = [&](const TemplateTextElement &e, bool wraps = false) {
            QVERIFY2(e.fontName && e.fontSize && e.textColor, qPrintable(kind + e.fields.join(u'|')));
            QFont font(*e.fontName);
            font.setPointSizeF(*e.fontSize);
            const QFontMetricsF fm(font);
            // Font sizes are points: at 15 twips per pixel the screen has 96 dpi.
            const double twipsPerPixel = 1440.0 / fm.fontDpi();
            QVERIFY2(fm.height() * twipsPerPixel <= e.geometry->height() + 1,
                     qPrintable(kind + e.fields.join(u'|')));
            const QString text = filled.value(e.tag.value_or(QString()), e.text.value_or(QString()));
            // A sample shows on purpose what becomes of fixed texts longer
            // than their boxes: those are tagged はみ出し.
            if (e.tag.value_or(QString()).startsWith(QStringLiteral("はみ出し")))
                return;
            const double width = e.geometry->width() / twipsPerPixel;
            if (wraps)
                QVERIFY2(fm.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text).height() * twipsPerPixel
                             <= e.geometry->height() + 1,
                         qPrintable(kind + e.fields.join(u'|')));
            else
                QVERIFY2(fm.horizontalAdvance(text) * twipsPerPixel <= e.geometry->width(),
                         qPrintable(kind + e.fields.join(u'|')));
        };
        for (const auto &l : t.labels) {
            add(l.geometry, l.fields, 0);
            fits(l);
        }
        for (const auto &i : t.items) {
            add(i.geometry, i.fields, 10);
            fits(i, i.dataKind == QStringLiteral("2"));
        }
        for (const auto &p : t.patientFields) {
            add(p.geometry, p.fields, 0);
            fits(p);
        }
        for (const auto &l : t.listButtons)
            add(l.geometry, l.fields, 0);
        for (const auto &c : t.checks)
            add(c.geometry, c.fields, 0);
        for (const auto *family : {&t.lines, &t.pageLines})
            for (const auto &l : *family) {
                QVERIFY2(l.x1 && l.y1 && l.x2 && l.y2 && l.color && l.style && l.width,
                         qPrintable(kind + l.fields.join(u'|')));
                QVERIFY(page.adjusted(0, 0, 1, 1).contains(QPoint(*l.x1, *l.y1)));
                QVERIFY(page.adjusted(0, 0, 1, 1).contains(QPoint(*l.x2, *l.y2)));
            }
    }
}

// Templates are kept parsed between documents; an edit of the file, even
// one keeping its size within the same instant, or another home's file of
// the same name, must show at once.
void TestTemplates::aTemplateChangedOnDiskIsReadAfresh()
{
    const QString kind = QStringLiteral("紹介状");
    {
        TestHome home(false, false);
        home.writeIni(kind, QStringLiteral("[DATA]\r\nWidth=1000\r\nlbItem_0=100|200|300|400\r\n"));
        QCOMPARE(ReadTemplate(kind).items.value(0).geometry, QRect(100, 200, 300, 400));
        home.writeIni(kind, QStringLiteral("[DATA]\r\nWidth=2000\r\nlbItem_0=500|600|700|800\r\n"));
        const Template edited = ReadTemplate(kind);
        QCOMPARE(edited.width, 2000);
        QCOMPARE(edited.items.value(0).geometry, QRect(500, 600, 700, 800));
        QFile::remove(IniPath(kind));
        QVERIFY(ReadTemplate(kind).items.isEmpty());
        home.writeIni(kind, QStringLiteral("[DATA]\r\nWidth=1000\r\nlbItem_0=100|200|300|400\r\n"));
        QCOMPARE(ReadTemplate(kind).width, 1000);
    }
    TestHome other(false, false);
    other.writeIni(kind, QStringLiteral("[DATA]\r\nWidth=3000\r\n"));
    const Template t = ReadTemplate(kind);
    QCOMPARE(t.width, 3000);
    QVERIFY(t.items.isEmpty());
    QCOMPARE(t.kind, kind);
}

QTEST_MAIN(TestTemplates)
#include "test_templates.moc"
