#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
#include "persistence/History.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "persistence/ui/HistoryWidgets.h"
#include "persistence/ui/SaveCommands.h"
#include "storage/Database.h"
#include "storage/FileJournal.h"
#include "templates/KindTable.h"
#include "templates/PageLimits.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kKind = QStringLiteral("紹介状");

void exec(const QString &sql, const QVariantList &params = {})
{
    QSqlQuery q(gDB());
    if (params.isEmpty()) { // PostgreSQL does not prepare table definitions
        QVERIFY2(q.exec(sql), qPrintable(sql + u' ' + q.lastError().text()));
        return;
    }
    QVERIFY2(q.prepare(sql), qPrintable(sql + u' ' + q.lastError().text()));
    for (const QVariant &p : params)
        q.addBindValue(p);
    QVERIFY2(q.exec(), qPrintable(sql + u' ' + q.lastError().text()));
}

// The table a built document of the kind gets: date fields, a number, a text
// and a memo field, one check box.
void makeKindTable(const QString &kind = kKind)
{
    exec(QStringLiteral("CREATE TABLE %1 (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), "
                        "日付Y INTEGER, 日付M INTEGER, 日付D INTEGER, 数 INTEGER, 所見 VARCHAR(255), "
                        "経過 TEXT, 済 INTEGER, 編集日 INTEGER, 終了判定 INTEGER)")
             .arg(QuoteIdent(kind)));
    QDir().mkpath(DocumentImageFolder(kind));
}

QImage drawnSurface(int w = 120, int h = 90)
{
    QImage surface(w, h, QImage::Format_RGB32);
    surface.fill(Qt::white);
    QPainter p(&surface);
    p.setPen(QPen(QColor(200, 30, 40), 3));
    p.drawLine(5, 5, w - 10, h - 20);
    p.setBrush(QColor(10, 120, 250));
    p.drawEllipse(20, 30, 40, 25);
    return surface;
}

DocumentData document(const QString &kind = kKind)
{
    DocumentData doc;
    doc.kind = kind;
    doc.fields = {
        {QStringLiteral("日付Y"), QStringLiteral("0"), QStringLiteral("2006")},
        {QStringLiteral("日付M"), QStringLiteral("0"), QStringLiteral("4")},
        {QStringLiteral("日付D"), QStringLiteral("0"), QStringLiteral("5")},
        {QStringLiteral("数"), QStringLiteral("0"), QStringLiteral("12")},
        {QStringLiteral("所見"), QStringLiteral("1"), QStringLiteral("0")},
        {QStringLiteral("経過"), QStringLiteral("2"), QStringLiteral("一行目\r\n二行目")},
        {QString(), QStringLiteral("1"), QStringLiteral("untagged")},
    };
    doc.checks = {{QStringLiteral("済"), QStringLiteral("1")}, {QString(), QStringLiteral("1")}};
    doc.surface = drawnSurface();
    return doc;
}

QVariantList row(int id, const QString &kind = kKind)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT DrID, 患者番号, 数, 所見, 経過, 済, 編集日, 終了判定 FROM %1 WHERE ID=?")
                  .arg(QuoteIdent(kind)));
    q.addBindValue(id);
    QVariantList values;
    if (q.exec() && q.next())
        for (int i = 0; i < 8; ++i)
            values << q.value(i);
    return values;
}

int rowCount(const QString &kind = kKind)
{
    QSqlQuery q(gDB());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(kind));
    return q.next() ? q.value(0).toInt() : -1;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

int today()
{
    const QDate d = QDate::currentDate();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

} // namespace

class TestPersistence : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newDocumentsTakeHighestNumberPlusOne();
    void savingTwiceUpdatesOneRowAndKeepsAuthor();
    void stateOnNewAndExistingRows();
    void valuesStoredFromCaptionsAndChecks();
    void missingColumnStoresNothing();
    void rowDeletedMeanwhileFailsNextSave();
    void unwritableImageFolderFailsCleanly();
    void pageImagesGetTheUsersOrdinaryFileMode();
    void imageRoundTripsPixelForPixel();
    void damagedOrMissingImageIsNotDrawnButFieldsOpen();
    void reopenRestoresFieldsAndChecks();
    void saveCommandsTellTheOutcome();
    void historyTextsOrderAndMarks();
    void historyOfManyKindsListsEveryDocument();
    void historyWidgetsDropStaleEntries();
    void numbersNeverTakeAnExistingImage();
    void fieldsTaggedLikeFixedColumnsAreNotStored();
    void kindsDifferingInLetterCaseAreOneKind();
    void quotedTagsSaveAndHugeNumbersAreNamed();
    void textsBeyondTheirColumnAreRefusedByName();
    void theLargestPageReadsBack();
    void fileStepsLeftByAStoppedProgramAreFinishedAtTheNextOpening();
};

// 255 characters fit a text field on every store, also when they are not
// all on the basic plane; one more is refused by name and nothing is stored.
void TestPersistence::textsBeyondTheirColumnAreRefusedByName()
{
    TestHome home;
    makeKindTable();
    DocumentData doc = document();
    doc.fields[4].text = QString(254, u'所') + QStringLiteral("𠮷");
    QVERIFY2(SaveDocument(doc, QStringLiteral("0")), qPrintable(LastSaveError()));
    QCOMPARE(row(doc.number)[3].toString(), doc.fields[4].text);
    doc.fields[4].text += u'見';
    QVERIFY(!SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(LastSaveError(), QStringLiteral("所見 の値が長すぎます（256 文字、上限 255 文字）。"));
    QCOMPARE(row(doc.number)[3].toString().size(), 256); // 255 characters, one of them a pair
}

// A page as large as a template may make, drawn in more than a palette's
// colours, is read back whole.
void TestPersistence::theLargestPageReadsBack()
{
    TestHome home;
    QImage page(TwipsToPx(kMaxPageWidthTwips), TwipsToPx(kMaxPageHeightTwips), QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int x = 0; x < 300; ++x)
        page.setPixel(x, 0, qRgb(x % 256, x / 256, 0));
    const QString path = home.data(QStringLiteral("large.png"));
    QVERIFY(page.save(path, "PNG"));
    const QImage read = ReadPngImage(path);
    QCOMPARE(read.size(), page.size());
    QCOMPARE(read.pixel(299, 0), page.pixel(299, 0));
}

void TestPersistence::init()
{
    CurrentDrID = QStringLiteral("3");
    PatientID = QStringLiteral("1001");
}

void TestPersistence::newDocumentsTakeHighestNumberPlusOne()
{
    TestHome home;
    makeKindTable();
    DocumentData first = document();
    QVERIFY(SaveDocument(first, QStringLiteral("0")));
    QCOMPARE(first.number, 1);

    exec(QStringLiteral("DELETE FROM ") + QuoteIdent(kKind));
    for (int id : {1, 2, 7})
        exec(QStringLiteral("INSERT INTO %1 (ID) VALUES (?)").arg(QuoteIdent(kKind)), {id});
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(doc.number, 8);
    QVERIFY(QFile::exists(home.data(QStringLiteral("pic_save/紹介状/8.png"))));
}

void TestPersistence::savingTwiceUpdatesOneRowAndKeepsAuthor()
{
    TestHome home;
    makeKindTable();
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    const int number = doc.number;
    exec(QStringLiteral("UPDATE %1 SET 編集日=19990101").arg(QuoteIdent(kKind)));

    CurrentDrID = QStringLiteral("9");
    PatientID = QStringLiteral("2002");
    doc.fields[3].text = QStringLiteral("77");
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    QCOMPARE(doc.number, number);
    QCOMPARE(rowCount(), 1);
    const QVariantList r = row(number);
    QCOMPARE(r[0].toString(), QStringLiteral("3"));    // DrID of the first save
    QCOMPARE(r[1].toString(), QStringLiteral("2002")); // 患者番号 on every save
    QCOMPARE(r[2].toInt(), 77);
    QCOMPARE(r[6].toInt(), today());                   // 編集日 of the last save
    QCOMPARE(filesIn(DocumentImageFolder(kKind)), QStringList{QStringLiteral("1.png")});
}

void TestPersistence::stateOnNewAndExistingRows()
{
    TestHome home;
    makeKindTable();
    struct Step { QString state; int expected; };
    // A new document saved from the close question ("") becomes pending.
    for (const Step &s : {Step{QString(), 0}, Step{QStringLiteral("0"), 0}, Step{QStringLiteral("1"), 1}}) {
        DocumentData doc = document();
        QVERIFY(SaveDocument(doc, s.state));
        QCOMPARE(row(doc.number)[7].toInt(), s.expected);
        QVERIFY(!row(doc.number)[7].isNull());
    }
    // An existing row keeps its flag on "" and can go back from finished to pending.
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    QVERIFY(SaveDocument(doc, QString()));
    QCOMPARE(row(doc.number)[7].toInt(), 1);
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(row(doc.number)[7].toInt(), 0);
    QVERIFY(SaveDocument(doc, QString()));
    QCOMPARE(row(doc.number)[7].toInt(), 0);
}

void TestPersistence::valuesStoredFromCaptionsAndChecks()
{
    TestHome home;
    makeKindTable();
    const QList<QPair<QString, int>> numbers = {
        {QStringLiteral("12"), 12}, {QString(), 0}, {QStringLiteral("１２"), 12},
        {QStringLiteral(" 42"), 42}, {QStringLiteral("-3"), -3}};
    for (const auto &[caption, expected] : numbers) {
        DocumentData doc = document();
        doc.fields[3].text = caption;
        doc.checks[0].state = QStringLiteral("0");
        QVERIFY(SaveDocument(doc, QStringLiteral("0")));
        const QVariantList r = row(doc.number);
        QCOMPARE(r[2].toInt(), expected);
        QCOMPARE(r[3].toString(), QStringLiteral("0"));
        QCOMPARE(r[4].toString(), QStringLiteral("一行目\r\n二行目"));
        QCOMPARE(r[5].toInt(), 0);
    }
    // Text that is not a whole number is not stored changed or as 0.
    const int stored = rowCount();
    for (const QString text : {"約2週間", "12日", "36.5", "＋", "abc"}) {
        DocumentData words = document();
        words.fields[3].text = text;
        QVERIFY2(!SaveDocument(words, QStringLiteral("0")), qPrintable(text));
        QCOMPARE(LastSaveError(), QStringLiteral("数 には整数を入力してください。"));
    }
    QCOMPARE(rowCount(), stored);
    // A number too large for the 32-bit column is refused, not cut.
    DocumentData big = document();
    big.fields[3].text = QStringLiteral("99999999999");
    QVERIFY(!SaveDocument(big, QStringLiteral("0")));
    QCOMPARE(big.number, 0);
}

void TestPersistence::missingColumnStoresNothing()
{
    TestHome home;
    makeKindTable();
    const QString folder = DocumentImageFolder(kKind);

    // A field added to the template after the table was made.
    DocumentData added = document();
    added.fields << FieldValue{QStringLiteral("新しい欄"), QStringLiteral("1"), QStringLiteral("x")};
    QVERIFY(!SaveDocument(added, QStringLiteral("1")));
    QCOMPARE(added.number, 0);
    QCOMPARE(rowCount(), 0);
    QVERIFY(filesIn(folder).isEmpty());

    // The same for a check box and for a data kind that is not a number.
    DocumentData check = document();
    check.checks << CheckValue{QStringLiteral("無い箱"), QStringLiteral("1")};
    QVERIFY(!SaveDocument(check, QStringLiteral("0")));
    DocumentData badKind = document();
    badKind.fields[4].dataKind = QString();
    QVERIFY(!SaveDocument(badKind, QStringLiteral("0")));
    QCOMPARE(rowCount(), 0);

    // A stored document stays as it was, image included.
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    const QByteArray before = [&] {
        QFile f(DocumentImagePath(kKind, doc.number));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    doc.fields[3].text = QStringLiteral("99");
    doc.fields << FieldValue{QStringLiteral("新しい欄"), QStringLiteral("0"), QStringLiteral("1")};
    doc.surface.fill(Qt::black);
    QVERIFY(!SaveDocument(doc, QStringLiteral("1")));
    QCOMPARE(row(doc.number)[2].toInt(), 12);
    QCOMPARE(row(doc.number)[7].toInt(), 0);
    QFile f(DocumentImagePath(kKind, doc.number));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("1.png")});

    // No table at all.
    DocumentData none = document(QStringLiteral("無い書類"));
    QVERIFY(!SaveDocument(none, QStringLiteral("0")));
    QVERIFY(filesIn(DocumentImageFolder(QStringLiteral("無い書類"))).isEmpty());
}

void TestPersistence::rowDeletedMeanwhileFailsNextSave()
{
    TestHome home;
    makeKindTable();
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    exec(QStringLiteral("DELETE FROM ") + QuoteIdent(kKind));
    QVERIFY(!SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(doc.number, 1);
    QCOMPARE(rowCount(), 0);
}

void TestPersistence::unwritableImageFolderFailsCleanly()
{
    TestHome home;
    makeKindTable();
    // A file where the kind's folder should be: nothing can be written there.
    QDir(DocumentImageFolder(kKind)).removeRecursively();
    QFile blocker(DocumentImageFolder(kKind));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DocumentData doc = document();
    QVERIFY(!SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(doc.number, 0);
    QCOMPARE(rowCount(), 0);

    // A read-only pic_save, where the permissions hold (not for root).
    QFile::remove(DocumentImageFolder(kKind));
    const QString picSave = home.data(QStringLiteral("pic_save"));
    QFile::setPermissions(picSave, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(picSave + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) {
        DocumentData again = document();
        QVERIFY(!SaveDocument(again, QStringLiteral("0")));
        QCOMPARE(again.number, 0);
        QCOMPARE(rowCount(), 0);
    }
    QFile::setPermissions(picSave, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// On a DATA folder shared by several accounts, the others can read the page
// images as they can read any other file the user creates.
void TestPersistence::pageImagesGetTheUsersOrdinaryFileMode()
{
    TestHome home;
    makeKindTable();
    const mode_t previous = ::umask(0);
    for (const mode_t mask : {mode_t(022), mode_t(002), mode_t(077)}) {
        ::umask(mask);
        DocumentData doc = document();
        const bool saved = SaveDocument(doc, QStringLiteral("0"));
        ::umask(previous);
        QVERIFY(saved);
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(DocumentImagePath(kKind, doc.number)).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0666 & ~mask);
        ::umask(0);
    }
    ::umask(previous);
}

void TestPersistence::imageRoundTripsPixelForPixel()
{
    TestHome home;
    makeKindTable();
    DocumentData doc = document();
    doc.surface = drawnSurface(794, 1123);
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    const QString path = DocumentImagePath(kKind, doc.number);
    QCOMPARE(QImage(path).size(), QSize(794, 1123));

    QImage blank(794, 1123, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QVERIFY(LoadPngImage(path, blank));
    QCOMPARE(blank, doc.surface);
    // Strokes on white are stored as a palette image...
    QCOMPARE(QImage(path).format(), QImage::Format_Indexed8);

    // ...a page with more colours than a palette holds (a pasted photo) as it is.
    QPainter photo(&doc.surface);
    for (int x = 0; x < 400; ++x)
        photo.fillRect(x, 0, 1, 200, QColor(x % 256, (x * 7) % 256, x / 2));
    photo.end();
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    blank.fill(Qt::white);
    QVERIFY(LoadPngImage(path, blank));
    QCOMPARE(blank, doc.surface);

    // A later save replaces the image.
    doc.surface.fill(QColor(1, 2, 3));
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    QCOMPARE(QImage(path).pixelColor(400, 500), QColor(1, 2, 3));
}

void TestPersistence::damagedOrMissingImageIsNotDrawnButFieldsOpen()
{
    TestHome home;
    makeKindTable();
    DocumentData saved = document();
    QVERIFY(SaveDocument(saved, QStringLiteral("0")));
    const QString path = DocumentImagePath(kKind, saved.number);
    QFile png(path);
    QVERIFY(png.open(QIODevice::ReadOnly));
    const QByteArray bytes = png.readAll();
    png.close();

    QImage white(120, 90, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QList<QByteArray> damaged = {bytes.left(bytes.size() / 2), bytes.left(7),
                                       QByteArray("GIF89a not a png"), QByteArray()};
    for (const QByteArray &content : damaged) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        QImage surface = white;
        QVERIFY(!LoadPngImage(path, surface));
        QCOMPARE(surface, white);

        DocumentData reopened = document();
        for (FieldValue &field : reopened.fields)
            field.text.clear();
        reopened.surface = white;
        QVERIFY(OpenSavedDocument(reopened, saved.number));
        QCOMPARE(reopened.fields[3].text, QStringLiteral("12"));
    }
    QFile::remove(path);
    QImage surface = white;
    QVERIFY(!LoadPngImage(path, surface));
    QCOMPARE(surface, white);
}

void TestPersistence::reopenRestoresFieldsAndChecks()
{
    TestHome home;
    makeKindTable();
    DocumentData saved = document();
    saved.fields[3].text = QString();  // number 0 reopens empty
    QVERIFY(SaveDocument(saved, QStringLiteral("0")));
    exec(QStringLiteral("UPDATE %1 SET 経過=NULL").arg(QuoteIdent(kKind)));

    DocumentData built = document();
    for (FieldValue &field : built.fields)
        field.text = QStringLiteral("builder");
    built.fields << FieldValue{QStringLiteral("無い欄"), QStringLiteral("1"), QStringLiteral("builder")};
    built.checks[0].state = QStringLiteral("0");
    QVERIFY(LoadSavedDocument(kKind, saved.number, built));
    QCOMPARE(built.number, saved.number);
    QCOMPARE(built.fields[0].text, QStringLiteral("2006"));
    QCOMPARE(built.fields[1].text, QStringLiteral("4"));
    QCOMPARE(built.fields[3].text, QString());              // number 0
    QCOMPARE(built.fields[4].text, QStringLiteral("0"));    // text "0" stays
    QCOMPARE(built.fields[5].text, QString());              // memo without a value
    QCOMPARE(built.fields[6].text, QStringLiteral("builder")); // untagged
    QCOMPARE(built.fields[7].text, QStringLiteral("builder")); // no column
    QCOMPARE(built.checks[0].state, QStringLiteral("1"));

    // No row with the number: the builder's values stay, the number is taken.
    DocumentData missing = document();
    QVERIFY(!LoadSavedDocument(kKind, 99, missing));
    QCOMPARE(missing.number, 99);
    QCOMPARE(missing.fields[3].text, QStringLiteral("12"));
}

void TestPersistence::saveCommandsTellTheOutcome()
{
    TestHome home;
    makeKindTable();
    ScriptedPrompter prompts;
    DocumentData doc = document();
    QVERIFY(SaveFromMenu(doc, QStringLiteral("1")));
    QVERIFY(SaveOnClose(doc));
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("保存しました")});
    QCOMPARE(row(doc.number)[7].toInt(), 1);

    DocumentData broken = document();
    broken.fields << FieldValue{QStringLiteral("新しい欄"), QStringLiteral("1"), QString()};
    prompts.clear();
    QVERIFY(!SaveFromMenu(broken, QStringLiteral("0")));
    QVERIFY(!SaveOnClose(broken));
    QCOMPARE(prompts.messages, (QStringList{QStringLiteral("保存できませんでした"), QStringLiteral("保存できませんでした")}));
    QCOMPARE(broken.number, 0);
    QCOMPARE(rowCount(), 1);
}

void TestPersistence::historyTextsOrderAndMarks()
{
    TestHome home;
    home.writeIni(QStringLiteral("紹介状"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("診断書"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("未使用"), QStringLiteral("[DATA]\r\n")); // no table yet
    home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\n"));
    makeKindTable(QStringLiteral("紹介状"));
    makeKindTable(QStringLiteral("診断書"));
    const QString insert = QStringLiteral("INSERT INTO %1 (ID, 患者番号, 日付Y, 日付M, 日付D, 終了判定) VALUES (?, ?, ?, ?, ?, ?)");
    exec(insert.arg(QuoteIdent(QStringLiteral("紹介状"))), {1, QStringLiteral("1001"), 2006, 11, 30, 1});
    exec(insert.arg(QuoteIdent(QStringLiteral("紹介状"))), {2, QStringLiteral("1002"), 2001, 1, 1, 0});
    exec(insert.arg(QuoteIdent(QStringLiteral("診断書"))), {5, QStringLiteral("1001"), 2006, 4, 5, 0});
    exec(insert.arg(QuoteIdent(QStringLiteral("診断書"))), {6, QStringLiteral("1001"), 2007, 1, 2, QVariant()});
    // A table without date columns is still listed.
    exec(QStringLiteral("CREATE TABLE 古い書類 (ID INTEGER, 患者番号 VARCHAR(50), 終了判定 INTEGER)"));
    exec(QStringLiteral("INSERT INTO 古い書類 VALUES (3, '1001', 1)"));
    home.writeIni(QStringLiteral("古い書類"), QStringLiteral("[DATA]\r\n"));

    PatientID = QStringLiteral("1001");
    const QList<HistoryRow> rows = LoadPatientHistory();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].date, QStringLiteral(".00.00"));
    QCOMPARE(rows[1].date, QStringLiteral("2006.04.05"));
    QCOMPARE(rows[1].id, QStringLiteral("5"));
    QCOMPARE(rows[1].kind, QStringLiteral("診断書"));
    QCOMPARE(rows[2].date, QStringLiteral("2006.11.30"));
    QCOMPARE(rows[3].state, QString());

    QCOMPARE(HistoryMenuCaption(rows[1], HistoryMarks::MainWindow), QStringLiteral("△2006.04.05  診断書"));
    QCOMPARE(HistoryMenuCaption(rows[1], HistoryMarks::DocumentWindow), QStringLiteral("△　2006.04.05  診断書"));
    QCOMPARE(HistoryMenuCaption(rows[2], HistoryMarks::MainWindow), QStringLiteral("○2006.11.30  紹介状"));
    QCOMPARE(HistoryMenuCaption(rows[3], HistoryMarks::DocumentWindow), QStringLiteral("○　2007.01.02  診断書"));

    PatientID = QStringLiteral("無い患者");
    QVERIFY(LoadPatientHistory().isEmpty());
}

// More kinds than one statement reads, and one table the patient's number
// cannot be compared with on the server (a number column): every other
// kind's document is listed, in date order.
void TestPersistence::historyOfManyKindsListsEveryDocument()
{
    TestHome home;
    QStringList kinds;
    for (int i = 0; i < 130; ++i) {
        const QString kind = QStringLiteral("書類%1").arg(i);
        makeKindTable(kind);
        exec(QStringLiteral("INSERT INTO %1 (ID, 患者番号, 日付Y, 日付M, 日付D, 終了判定) VALUES (?, 'P-1', ?, 1, 1, 1)")
                 .arg(QuoteIdent(kind)),
             {i + 1, 2200 - i});
        kinds << kind;
        if (i == 60) {
            exec(QStringLiteral("CREATE TABLE 番号表 (ID INTEGER, 患者番号 INTEGER, 日付Y INTEGER, 終了判定 INTEGER)"));
            kinds << QStringLiteral("番号表");
        }
    }
    const QList<HistoryRow> rows = LoadPatientHistory(QStringLiteral("P-1"), kinds);
    QCOMPARE(rows.size(), 130);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].kind, QStringLiteral("書類%1").arg(129 - i));
        QCOMPARE(rows[i].date, QStringLiteral("%1.01.01").arg(2071 + i));
        QCOMPARE(rows[i].id, QString::number(130 - i));
    }

    // The 保存リスト of them all, with a kind keeping its date in text fields
    // among them: every document, in the kinds' order.
    exec(QStringLiteral("CREATE TABLE 文字日付 (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), 日付Y VARCHAR(10), "
                        "日付M VARCHAR(10), 日付D VARCHAR(10), 編集日 INTEGER, 終了判定 INTEGER)"));
    exec(QStringLiteral("INSERT INTO 文字日付 VALUES (7, '1', 'P-1', '2006', '04', '05', 20060405, 1)"));
    kinds.insert(30, QStringLiteral("文字日付"));
    for (const QString &kind : kinds)
        if (kind != u"番号表") // without a doctor column: not listed
            exec(QStringLiteral("UPDATE %1 SET DrID='1'").arg(QuoteIdent(kind)));
    const QList<SavedDocumentRow> listed = LoadSavedDocuments(OneKindPerTable(kinds), QStringLiteral("1"), 1);
    QCOMPARE(listed.size(), 131);
    QCOMPARE(listed[30].kind, QStringLiteral("文字日付"));
    QCOMPARE(listed[30].date.text(), QStringLiteral("2006/04/05"));
    QCOMPARE(listed[31].kind, QStringLiteral("書類30"));
    QCOMPARE(listed[130].kind, QStringLiteral("書類129"));
}

void TestPersistence::historyWidgetsDropStaleEntries()
{
    TestHome home;
    home.writeIni(QStringLiteral("A&B"), QStringLiteral("[DATA]\r\n"));
    makeKindTable(QStringLiteral("A&B"));
    const QString insert = QStringLiteral("INSERT INTO %1 (ID, 患者番号, 日付Y, 日付M, 日付D, 終了判定) VALUES (?, ?, 2006, ?, 1, ?)")
                               .arg(QuoteIdent(QStringLiteral("A&B")));
    for (int i = 1; i <= 3; ++i)
        exec(insert, {i, QStringLiteral("1001"), i, i % 2});
    exec(insert, {4, QStringLiteral("2002"), 9, 1});

    QTreeWidget list;
    SetupHistoryList(&list);
    QMenu mainMenu, docMenu;
    QString openedKind;
    int openedId = 0;
    const OpenHistoryEntry open = [&](const QString &kind, int id) { openedKind = kind; openedId = id; };

    PatientID = QStringLiteral("1001");
    RefreshPatientHistory(&list, &mainMenu, open);
    FillHistoryMenu(&docMenu, &list, open);
    QCOMPARE(list.topLevelItemCount(), 3);
    QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("2006.01.01"));
    QCOMPARE(list.topLevelItem(0)->text(3), QStringLiteral("1"));
    QCOMPARE(list.topLevelItem(0)->toolTip(2), QStringLiteral("A&B")); // the kind whole, where it is cut short
    QCOMPARE(mainMenu.actions().size(), 3);
    QCOMPARE(mainMenu.actions()[1]->text(), QStringLiteral("△2006.02.01  A&&B"));
    QCOMPARE(docMenu.actions()[2]->text(), QStringLiteral("○　2006.03.01  A&&B"));
    docMenu.actions()[1]->trigger();
    QCOMPARE(openedKind, QStringLiteral("A&B"));
    QCOMPARE(openedId, 2);

    // Another patient with one document: nothing of the first one remains.
    PatientID = QStringLiteral("2002");
    RefreshPatientHistory(&list, &mainMenu, open);
    FillHistoryMenu(&docMenu, &list, open);
    QCOMPARE(list.topLevelItemCount(), 1);
    QCOMPARE(mainMenu.actions().size(), 1);
    QCOMPARE(docMenu.actions().size(), 1);
    QCOMPARE(docMenu.actions()[0]->text(), QStringLiteral("○　2006.09.01  A&&B"));

    // No documents: one entry with an empty caption that opens nothing.
    PatientID = QStringLiteral("3003");
    openedId = 0;
    RefreshPatientHistory(&list, &mainMenu, open);
    FillHistoryMenu(&docMenu, &list, open);
    QCOMPARE(list.topLevelItemCount(), 0);
    QCOMPARE(mainMenu.actions().size(), 1);
    QCOMPARE(mainMenu.actions()[0]->text(), QString());
    docMenu.actions()[0]->trigger();
    QCOMPARE(openedId, 0);
}

void TestPersistence::numbersNeverTakeAnExistingImage()
{
    TestHome home;
    makeKindTable();
    // The database was lost or replaced; the drawings of documents 1 to 5
    // (and a damaged one of 9 kept aside) are still there, and something
    // named 7.png.
    const QString folder = DocumentImageFolder(kKind);
    for (const QString name : {"1.png", "2.png", "3.png", "4.png", "5.png", "9.damaged-20260101-101010.png",
                               "notes.png", "x9999.png"})
        writeFile(folder + u'/' + name, "old drawing " + name.toUtf8());
    QVERIFY(QDir(folder).mkdir(QStringLiteral("7.png")));
    DocumentData doc = document();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    QCOMPARE(doc.number, 6);
    DocumentData seventh = document();
    QVERIFY(SaveDocument(seventh, QStringLiteral("0")));
    QCOMPARE(seventh.number, 8);
    QCOMPARE(readFile(folder + QStringLiteral("/1.png")), QByteArray("old drawing 1.png"));
    QCOMPARE(readFile(folder + QStringLiteral("/5.png")), QByteArray("old drawing 5.png"));

    // Rows stored by other means past the numbers given so far, a little
    // and far beyond: the next number follows them.
    for (const int stored : {20, 50000}) {
        exec(QStringLiteral("INSERT INTO %1 (ID) VALUES (%2)").arg(QuoteIdent(kKind)).arg(stored));
        DocumentData after = document();
        QVERIFY(SaveDocument(after, QStringLiteral("0")));
        QCOMPARE(after.number, stored + 1);
    }

    // The last number there is: the save says why and stores nothing.
    exec(QStringLiteral("INSERT INTO %1 (ID) VALUES (2147483647)").arg(QuoteIdent(kKind)));
    const QStringList before = filesIn(folder);
    ScriptedPrompter prompts;
    DocumentData next = document();
    QVERIFY(!SaveFromMenu(next, QStringLiteral("0")));
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("保存できませんでした\n書類番号が上限の 2147483647 に達しています。")});
    QCOMPARE(next.number, 0);
    QCOMPARE(rowCount(), 7);
    QCOMPARE(filesIn(folder), before);
    // Existing documents still save.
    doc.fields[3].text = QStringLiteral("13");
    QVERIFY(SaveDocument(doc, QStringLiteral("1")));
    QCOMPARE(row(6)[2].toInt(), 13);
}

void TestPersistence::fieldsTaggedLikeFixedColumnsAreNotStored()
{
    TestHome home;
    QList<KindColumnSource> fields;
    for (const QString tag : {"ID", "drid", "患者番号", "編集日", "終了判定", "所見"})
        fields.append({tag, QStringLiteral("1")});
    QVERIFY(CreateKindTable(kKind, fields, {QStringLiteral("Id"), QStringLiteral("済")}));
    QCOMPARE(TableColumns(kKind).join(u' ').toLower(), QStringLiteral("id drid 患者番号 所見 済 編集日 終了判定"));
    QDir().mkpath(DocumentImageFolder(kKind));

    // Three documents whose fields say ID 5, doctor 99, patient 777.
    QList<int> numbers;
    for (int i = 0; i < 3; ++i) {
        DocumentData doc;
        doc.kind = kKind;
        for (const QString tag : {"ID", "drid", "患者番号", "編集日", "終了判定"})
            doc.fields.append({tag, QStringLiteral("1"), tag == u"ID" ? QStringLiteral("5") : QStringLiteral("99")});
        doc.fields[2].text = QStringLiteral("777");
        doc.fields.append({QStringLiteral("所見"), QStringLiteral("1"), QString::number(i)});
        doc.checks = {{QStringLiteral("Id"), QStringLiteral("1")}, {QStringLiteral("済"), QStringLiteral("1")}};
        doc.surface = drawnSurface();
        doc.surface.setPixelColor(0, 0, QColor(i, 0, 0));
        QVERIFY(SaveDocument(doc, QStringLiteral("0")));
        numbers << doc.number;
    }
    QCOMPARE(numbers, QList<int>({1, 2, 3}));
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("SELECT ID, DrID, 患者番号, 所見, 編集日, 終了判定 FROM 紹介状 ORDER BY ID")));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), i + 1);
        QCOMPARE(q.value(1).toString(), QStringLiteral("3"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("1001"));
        QCOMPARE(q.value(3).toString(), QString::number(i));
        QCOMPARE(q.value(4).toInt(), today());
        QCOMPARE(q.value(5).toInt(), 0);
        QCOMPARE(QImage(DocumentImagePath(kKind, i + 1)).pixelColor(0, 0), QColor(i, 0, 0));
    }
}

void TestPersistence::kindsDifferingInLetterCaseAreOneKind()
{
    TestHome home;
    // As on Windows, where abc.ini and ABC.ini name one file: the first
    // spelling that made the table names the table and the folder.
    for (const auto &[first, second] : {std::pair{QStringLiteral("abc"), QStringLiteral("ABC")},
                                        std::pair{QStringLiteral("ｒｅｐｏｒｔ"), QStringLiteral("ＲＥＰＯＲＴ")}}) {
        makeKindTable(first);
        QVERIFY(KindTableExists(second));
        QVERIFY(!CreateKindTable(second, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
        QCOMPARE(DocumentImageFolder(second), DocumentImageFolder(first));

        DocumentData a = document(first), b = document(second);
        b.surface.fill(Qt::green);
        QVERIFY(SaveDocument(a, QStringLiteral("0")));
        QVERIFY(SaveDocument(b, QStringLiteral("0")));
        QCOMPARE(QList<int>({a.number, b.number}), QList<int>({1, 2}));
        QCOMPARE(rowCount(first), 2);
        QCOMPARE(filesIn(DocumentImageFolder(first)), QStringList({"1.png", "2.png"}));
        QVERIFY(!QFileInfo::exists(home.data(QStringLiteral("pic_save/") + second)));

        DocumentData reopened = document(first);
        reopened.surface.fill(Qt::white);
        QVERIFY(OpenSavedDocument(reopened, 2));
        QCOMPARE(reopened.surface.pixelColor(0, 0), QColor(Qt::green));

        const QList<HistoryRow> rows = LoadPatientHistory(PatientID, {second, first});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].kind, second);
        // A draft of a document asks whether its row is still there.
        QCOMPARE(SavedDocumentExists(second, 2), Existence::Yes);
        QCOMPARE(SavedDocumentExists(second, 3), Existence::No);
    }
    QCOMPARE(LoadSavedDocuments(QStringLiteral("ABC"), CurrentDrID, 0).size(), 2);
}

void TestPersistence::quotedTagsSaveAndHugeNumbersAreNamed()
{
    TestHome home;
    const QString quoted = QStringLiteral("所見\"甲\"");
    QVERIFY(CreateKindTable(kKind, {{quoted, QStringLiteral("1")}, {QStringLiteral("数"), QStringLiteral("0")}}, {}));
    QDir().mkpath(DocumentImageFolder(kKind));
    DocumentData doc;
    doc.kind = kKind;
    doc.fields = {{quoted, QStringLiteral("1"), QStringLiteral("引用 \"ok\"")}, {QStringLiteral("数"), QStringLiteral("0"), QStringLiteral("2147483647")}};
    doc.surface = drawnSurface();
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    DocumentData back = doc;
    back.fields[0].text.clear();
    QVERIFY(LoadSavedDocument(kKind, doc.number, back));
    QCOMPARE(back.fields[0].text, QStringLiteral("引用 \"ok\""));
    QCOMPARE(back.fields[1].text, QStringLiteral("2147483647"));

    // Beyond the 32-bit range either way: the field is named, nothing changes.
    ScriptedPrompter prompts;
    for (const QString number : {"2147483648", "-2147483649", "99999999999999999999999円"}) {
        prompts.clear();
        DocumentData big = doc;
        big.fields[0].text = QStringLiteral("変えた");
        big.fields[1].text = number;
        QVERIFY(!SaveFromMenu(big, QStringLiteral("1")));
        QCOMPARE(prompts.messages, QStringList{QStringLiteral("保存できませんでした\n数 の値が大きすぎます。")});
        DocumentData fresh = big;
        fresh.number = 0;
        QVERIFY(!SaveDocument(fresh, QStringLiteral("1")));
    }
    QCOMPARE(rowCount(), 1);
    QVERIFY(LoadSavedDocument(kKind, doc.number, back));
    QCOMPARE(back.fields[0].text, QStringLiteral("引用 \"ok\""));
}

void TestPersistence::fileStepsLeftByAStoppedProgramAreFinishedAtTheNextOpening()
{
    TestHome home;
    makeKindTable();
    DocumentData one = document();
    one.surface.fill(Qt::red);
    DocumentData two = document();
    two.surface.fill(Qt::green);
    QVERIFY(SaveDocument(one, QStringLiteral("0")) && SaveDocument(two, QStringLiteral("0")));
    const QString folder = DocumentImageFolder(kKind);
    const QString onePath = DocumentImagePath(kKind, 1);
    const QString twoPath = DocumentImagePath(kKind, 2);

    // A re-save of 1 and a delete of 2 committed, and the program stopped
    // before it moved the files; a third save never got to commit.
    QImage blue(120, 90, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const QString committed = folder + QStringLiteral("/.saving-aaaaaa.tmp");
    const QString abandoned = folder + QStringLiteral("/.saving-bbbbbb.tmp");
    QVERIFY(blue.save(committed, "PNG") && blue.save(abandoned, "PNG"));
    QVERIFY(BeginTrans());
    QVERIFY(HoldFileSteps());
    exec(QStringLiteral("UPDATE %1 SET 所見=? WHERE ID=1").arg(QuoteIdent(kKind)), {QStringLiteral("青")});
    exec(QStringLiteral("DELETE FROM %1 WHERE ID=?").arg(QuoteIdent(kKind)), {2});
    QVERIFY(RecordFileStep(onePath, committed, QString()));
    QVERIFY(RecordFileStep(twoPath, QString(), QString()));
    QVERIFY(CommitTrans());
    CloseDB();

    QVERIFY(OpenDB());
    QCOMPARE(QImage(onePath).pixelColor(3, 3), QColor(Qt::blue));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("1.png")});
    QSqlQuery left(gDB());
    QVERIFY(left.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(QStringLiteral("FileJournal"))) && left.next());
    QCOMPARE(left.value(0).toInt(), 0);
}

QTEST_MAIN(TestPersistence)
#include "test_persistence.moc"
