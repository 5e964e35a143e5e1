#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "app/AppState.h"
#include "ui/Navigation.h"
#include "persistence/DocumentImage.h"
#include "persistence/ui/FSaveList.h"
#include "storage/Database.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeView>
#include <QtTest>

namespace {

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

void makeKind(const TestHome &home, const QString &kind)
{
    home.writeIni(kind, QStringLiteral("[DATA]\r\n"));
    exec(QStringLiteral("CREATE TABLE %1 (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), "
                        "日付Y INTEGER, 日付M INTEGER, 日付D INTEGER, 編集日 INTEGER, 終了判定 INTEGER)")
             .arg(QuoteIdent(kind)));
}

void addDocument(const QString &kind, int id, const QString &dr, const QString &patient,
                 int editDate, const QVariant &state, int month = 4, int day = 5)
{
    exec(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, 2006, ?, ?, ?, ?)").arg(QuoteIdent(kind)),
         {id, dr, patient, month, day, editDate, state});
}

QStringList column(const FSaveList *w, int c)
{
    QStringList texts;
    for (int i = 0; i < w->rowCount(); ++i)
        texts << w->cellText(i, c);
    return texts;
}

// Two kinds; doctor 3 has pending and finished documents, doctor 4 one of each.
struct Fixture
{
    TestHome home;
    Fixture()
    {
        home.addPatient(QStringLiteral("1001"), QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), 1, 19500101);
        home.addPatient(QStringLiteral("1002"), QStringLiteral("佐藤花子"), QStringLiteral("サトウハナコ"), 2, 19600101);
        makeKind(home, QStringLiteral("紹介状"));
        makeKind(home, QStringLiteral("診断書"));
        home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\n"));
        home.writeIni(QStringLiteral("未作成"), QStringLiteral("[DATA]\r\n")); // no table yet
        addDocument(QStringLiteral("紹介状"), 1, QStringLiteral("3"), QStringLiteral("1001"), 20061005, 0);
        addDocument(QStringLiteral("紹介状"), 2, QStringLiteral("3"), QStringLiteral("1002"), 20061101, 1, 11, 30);
        addDocument(QStringLiteral("紹介状"), 3, QStringLiteral("4"), QStringLiteral("1001"), 20061201, 0);
        addDocument(QStringLiteral("診断書"), 1, QStringLiteral("3"), QStringLiteral("9999"), 20061020, 0);
        addDocument(QStringLiteral("診断書"), 2, QStringLiteral("3"), QStringLiteral("1001"), 20060901, 0);
        addDocument(QStringLiteral("診断書"), 3, QStringLiteral("3"), QStringLiteral("1001"), 20061231, QVariant());
        addDocument(QStringLiteral("診断書"), 4, QStringLiteral("4"), QStringLiteral("1002"), 20061111, 1);
        CurrentDrID = QStringLiteral("3");
    }
};

} // namespace

class TestSaveList : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void listsCurrentDoctorsDocumentsByStateAndKind();
    void rowsShowDatesNamesAndHideId();
    void headerClicksToggleOrder();
    void deleteAsksThenRemovesRowAndImage();
    void deleteBoxesOnScreenHaveNoTitle();
    void emptyListIgnoresOkAndDelete();
    void okOpensDocumentOfItsPatient();
    void backAndCloseReturnToStart();
    void datesSortByValueAndTiesKeepKindAndTableOrder();
    void patientNumbersWithQuotesFindTheirNames();
};

void TestSaveList::cleanup()
{
    nav() = Navigation();
    if (FSaveList::exists())
        delete FSaveList::instance();
}

void TestSaveList::listsCurrentDoctorsDocumentsByStateAndKind()
{
    Fixture f;
    FSaveList::showList(false);
    FSaveList *w = FSaveList::instance();
    QStringList captions;
    for (QAction *a : w->MDoc)
        captions << a->text();
    QCOMPARE(captions, (QStringList{QStringLiteral("すべて"), QStringLiteral("未作成"),
                                    QStringLiteral("紹介状"), QStringLiteral("診断書")}));
    QVERIFY(w->MDoc[0]->isChecked());
    QVERIFY(w->M保留->isChecked());
    // Pending documents of doctor 3 of every kind, newest edit first.
    QCOMPARE(column(w, FSaveList::Col前回編集日),
             (QStringList{QStringLiteral("2006/10/20"), QStringLiteral("2006/10/05"), QStringLiteral("2006/09/01")}));
    QCOMPARE(column(w, FSaveList::Col書類),
             (QStringList{QStringLiteral("診断書"), QStringLiteral("紹介状"), QStringLiteral("診断書")}));

    // One kind, then finished: the kind stays chosen.
    w->MDoc_Click(3);
    QCOMPARE(column(w, FSaveList::ColID), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QVERIFY(w->MDoc[3]->isChecked() && !w->MDoc[0]->isChecked());
    w->Set終了();
    QVERIFY(w->M終了->isChecked() && !w->M保留->isChecked());
    QVERIFY(w->MDoc[3]->isChecked());
    QCOMPARE(w->rowCount(), 0); // 診断書 4 is doctor 4's
    w->MDoc_Click(0);
    QCOMPARE(column(w, FSaveList::Col書類), QStringList{QStringLiteral("紹介状")});

    // Another doctor sees only their own.
    CurrentDrID = QStringLiteral("4");
    w->M保留_Click();
    QCOMPARE(column(w, FSaveList::ColID), QStringList{QStringLiteral("3")});
}

void TestSaveList::rowsShowDatesNamesAndHideId()
{
    Fixture f;
    FSaveList::showList(true);
    FSaveList *w = FSaveList::instance();
    QCOMPARE(w->windowTitle(), QStringLiteral("保存リスト（終了データ）"));
    QCOMPARE(w->rowCount(), 1);
    QCOMPARE(w->cellText(0, FSaveList::Col前回編集日), QStringLiteral("2006/11/01"));
    QCOMPARE(w->cellText(0, FSaveList::Col日付), QStringLiteral("2006/11/30"));
    QCOMPARE(w->cellText(0, FSaveList::Col患者番号), QStringLiteral("1002"));
    QCOMPARE(w->cellText(0, FSaveList::Col患者名), QStringLiteral("佐藤花子"));
    QVERIFY(w->LVList->isColumnHidden(FSaveList::ColID));
    QStringList headers;
    for (int c = 0; c < w->LVList->model()->columnCount(); ++c)
        headers << w->LVList->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{QStringLiteral("前回編集日"), QStringLiteral("日付"), QStringLiteral("患者番号"),
                                   QStringLiteral("患者名"), QStringLiteral("書類"), QStringLiteral("ID")}));

    w->M保留_Click();
    QCOMPARE(w->windowTitle(), QStringLiteral("保存リスト（保留データ）"));
    QCOMPARE(column(w, FSaveList::Col患者名),
             (QStringList{QString(), QStringLiteral("山田太郎"), QStringLiteral("山田太郎")}));
    QCOMPARE(column(w, FSaveList::Col日付).at(1), QStringLiteral("2006/04/05"));
}

void TestSaveList::headerClicksToggleOrder()
{
    Fixture f;
    FSaveList *w = FSaveList::instance();
    auto ids = [&] { return column(w, FSaveList::Col前回編集日); };
    const QStringList newestFirst = ids();
    w->LVList->header()->sectionClicked(FSaveList::Col前回編集日);
    QStringList oldestFirst = newestFirst;
    std::reverse(oldestFirst.begin(), oldestFirst.end());
    QCOMPARE(ids(), oldestFirst);
    w->LVList_ColumnClick(FSaveList::Col前回編集日);
    QCOMPARE(ids(), newestFirst);
    // The order flips whichever column is clicked: ascending now.
    w->LVList_ColumnClick(FSaveList::Col患者番号);
    QCOMPARE(column(w, FSaveList::Col患者番号),
             (QStringList{QStringLiteral("1001"), QStringLiteral("1001"), QStringLiteral("9999")}));
    w->LVList_ColumnClick(FSaveList::Col患者番号);
    QCOMPARE(column(w, FSaveList::Col患者番号).first(), QStringLiteral("9999"));
}

void TestSaveList::deleteAsksThenRemovesRowAndImage()
{
    Fixture f;
    ScriptedPrompter prompts;
    const QString image = DocumentImagePath(QStringLiteral("診断書"), 1);
    QDir().mkpath(DocumentImageFolder(QStringLiteral("診断書")));
    QFile png(image);
    QVERIFY(png.open(QIODevice::WriteOnly));
    png.close();

    FSaveList *w = FSaveList::instance();
    QCOMPARE(w->cellText(w->currentRow(), FSaveList::ColID), QStringLiteral("1"));
    prompts.answers = {false};
    w->Cmd削除->click();
    QCOMPARE(prompts.questions, QStringList{QStringLiteral("削除してもいいですか？")});
    QCOMPARE(prompts.titles, QStringList{QString()});
    QCOMPARE(w->rowCount(), 3);

    prompts.clear();
    prompts.answers = {true};
    w->Cmd削除_Click();
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("削除しました")});
    QCOMPARE(w->rowCount(), 2);
    QVERIFY(!QFile::exists(image));
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM 診断書 WHERE ID=1")) && q.next());
    QCOMPARE(q.value(0).toInt(), 0);

    q.finish();

    // A table that cannot be deleted from: the row stays, the failure is told.
    QCOMPARE(w->cellText(w->currentRow(), FSaveList::Col書類), QStringLiteral("紹介状"));
    exec(QStringLiteral("DROP TABLE 紹介状"));
    prompts.clear();
    prompts.answers = {true};
    w->Cmd削除_Click();
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("削除できませんでした")});
    QCOMPARE(w->rowCount(), 2);
}

// The real boxes, answered by a click on Yes or OK: the question and
// the confirmation of a deletion carry no title, the save message the program's.
void TestSaveList::deleteBoxesOnScreenHaveNoTitle()
{
    Fixture f;
    FSaveList *w = FSaveList::instance();
    w->show();
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen << box->text() + QStringLiteral("|") + box->windowTitle().trimmed();
        QAbstractButton *yes = box->button(QMessageBox::Yes);
        (yes ? yes : box->button(QMessageBox::Ok))->click();
    });
    answer.start(20);
    w->Cmd削除_Click();
    prompter().message(QStringLiteral("保存しました"));
    answer.stop();
    QCOMPARE(seen, (QStringList{QStringLiteral("削除してもいいですか？|"), QStringLiteral("削除しました|"),
                                QStringLiteral("保存しました|Rydol")}));
    QCOMPARE(w->rowCount(), 2);
}

void TestSaveList::emptyListIgnoresOkAndDelete()
{
    Fixture f;
    ScriptedPrompter prompts;
    int opened = 0;
    nav().openSavedDocument = [&](const QString &, int) { ++opened; };
    CurrentDrID = QStringLiteral("4");
    FSaveList *w = FSaveList::instance();
    QCOMPARE(w->rowCount(), 1);
    prompts.answers = {true};
    w->Cmd削除_Click();
    QCOMPARE(w->rowCount(), 0);
    prompts.clear();
    w->Cmd削除_Click();
    w->CmdOK_Click();
    QVERIFY(prompts.asked.isEmpty());
    QCOMPARE(opened, 0);
    QVERIFY(FSaveList::exists());
}

void TestSaveList::okOpensDocumentOfItsPatient()
{
    Fixture f;
    QString kind;
    int id = 0;
    int starts = 0;
    nav().openSavedDocument = [&](const QString &k, int i) { kind = k; id = i; };
    nav().showStart = [&] { ++starts; };
    FSaveList::showList(false);
    FSaveList *w = FSaveList::instance();
    w->selectRow(1);
    w->CmdOK->click();
    QCOMPARE(kind, QStringLiteral("紹介状"));
    QCOMPARE(id, 1);
    QCOMPARE(PatientID, QStringLiteral("1001"));
    QCOMPARE(PatientName, QStringLiteral("山田太郎"));
    QCOMPARE(starts, 0);
    QVERIFY(w->isHidden());

    // A patient without a row: no patient is current, the document still opens.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!FSaveList::exists());
    w = FSaveList::instance();
    w->selectRow(0);
    w->LVList_DblClick();
    QCOMPARE(kind, QStringLiteral("診断書"));
    QCOMPARE(id, 1);
    QCOMPARE(PatientID, QString());

    // Enter opens the selected row as a double click does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w = FSaveList::instance();
    w->selectRow(2);
    QTest::keyClick(w->LVList, Qt::Key_Return);
    QCOMPARE(kind, QStringLiteral("診断書"));
    QCOMPARE(id, 2);
    QVERIFY(w->isHidden());
}

void TestSaveList::backAndCloseReturnToStart()
{
    Fixture f;
    int starts = 0;
    nav().showStart = [&] { ++starts; };
    FSaveList::showList(false);
    FSaveList::instance()->Cmd戻る->click();
    QCOMPARE(starts, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!FSaveList::exists());
    FSaveList::showList(true);
    FSaveList::instance()->close();
    QCOMPARE(starts, 2);
}

void TestSaveList::datesSortByValueAndTiesKeepKindAndTableOrder()
{
    TestHome home;
    home.writeIni(QStringLiteral("紹介状"), QStringLiteral("[DATA]\r\n"));
    home.writeIni(QStringLiteral("診断書"), QStringLiteral("[DATA]\r\n"));
    // 診断書 keeps its date in text fields, as a template may well do.
    exec(QStringLiteral("CREATE TABLE 紹介状 (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), 日付Y INTEGER, "
                        "日付M INTEGER, 日付D INTEGER, 編集日 INTEGER, 終了判定 INTEGER)"));
    exec(QStringLiteral("CREATE TABLE 診断書 (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), 日付Y VARCHAR(255), "
                        "日付M VARCHAR(255), 日付D VARCHAR(255), 編集日 INTEGER, 終了判定 INTEGER)"));
    const QString insert = QStringLiteral("INSERT INTO %1 VALUES (?, '3', '1001', ?, ?, ?, ?, 0)");
    exec(insert.arg(QStringLiteral("診断書")), {1, QStringLiteral("2006"), QStringLiteral("4"), QStringLiteral("5"), 20061005});
    exec(insert.arg(QStringLiteral("紹介状")), {1, 999, 12, 31, 9991231});
    exec(insert.arg(QStringLiteral("紹介状")), {2, 2007, 1, 1, 20061005});
    exec(insert.arg(QStringLiteral("診断書")), {2, QStringLiteral("令和5"), QStringLiteral("1"), QStringLiteral("2"), QVariant()});
    exec(insert.arg(QStringLiteral("紹介状")), {3, 2006, 11, 30, 20061005});
    exec(insert.arg(QStringLiteral("診断書")), {3, QStringLiteral("2006"), QStringLiteral("12"), QStringLiteral("1"), 20070101});
    CurrentDrID = QStringLiteral("3");

    FSaveList *w = FSaveList::instance();
    auto ids = [&] {
        QStringList kindAndId;
        for (int i = 0; i < w->rowCount(); ++i)
            kindAndId << w->cellText(i, FSaveList::Col書類) + w->cellText(i, FSaveList::ColID);
        return kindAndId;
    };
    // Newest first by date, so the year 999 comes after 2006 and the edit
    // date never set comes last; the three of 2006/10/05 keep the kinds'
    // order, then the table's.
    QCOMPARE(column(w, FSaveList::Col前回編集日),
             (QStringList{QStringLiteral("2007/01/01"), QStringLiteral("2006/10/05"), QStringLiteral("2006/10/05"),
                          QStringLiteral("2006/10/05"), QStringLiteral("999/12/31"), QString()}));
    QCOMPARE(ids(), (QStringList{QStringLiteral("診断書3"), QStringLiteral("紹介状2"), QStringLiteral("紹介状3"),
                                 QStringLiteral("診断書1"), QStringLiteral("紹介状1"), QStringLiteral("診断書2")}));

    // Document dates by value as well, whether stored as numbers or as text;
    // a year that is no number comes first.
    w->LVList_ColumnClick(FSaveList::Col日付);
    QCOMPARE(column(w, FSaveList::Col日付),
             (QStringList{QStringLiteral("令和5/01/02"), QStringLiteral("999/12/31"), QStringLiteral("2006/04/05"),
                          QStringLiteral("2006/11/30"), QStringLiteral("2006/12/01"), QStringLiteral("2007/01/01")}));
    w->LVList_ColumnClick(FSaveList::Col日付);
    QCOMPARE(column(w, FSaveList::Col日付).first(), QStringLiteral("2007/01/01"));

    // Equal dates keep the order they had (now by document date), in both directions.
    const QStringList byDocumentDate{QStringLiteral("紹介状2"), QStringLiteral("紹介状3"), QStringLiteral("診断書1")};
    w->LVList_ColumnClick(FSaveList::Col前回編集日);
    QCOMPARE(ids().mid(2, 3), byDocumentDate);
    QCOMPARE(ids().first(), QStringLiteral("診断書2"));
    w->LVList_ColumnClick(FSaveList::Col前回編集日);
    QCOMPARE(ids().mid(1, 3), byDocumentDate);
}

void TestSaveList::patientNumbersWithQuotesFindTheirNames()
{
    TestHome home;
    makeKind(home, QStringLiteral("紹介状"));
    const QStringList patients{QStringLiteral("A\"1\\"), QStringLiteral("B'2"), QStringLiteral("[3]"),
                               QStringLiteral("1001")};
    for (int i = 0; i < patients.size(); ++i) {
        home.addPatient(patients[i], QStringLiteral("患者%1").arg(i), QStringLiteral("カンジャ"), 1, 19500101);
        addDocument(QStringLiteral("紹介状"), i + 1, QStringLiteral("3"), patients[i], 20061001 + i, 0);
    }
    addDocument(QStringLiteral("紹介状"), 9, QStringLiteral("3"), QStringLiteral("1001 "), 20060101, 0);
    CurrentDrID = QStringLiteral("3");
    FSaveList *w = FSaveList::instance();
    QCOMPARE(column(w, FSaveList::Col患者番号),
             (QStringList{QStringLiteral("1001"), QStringLiteral("[3]"), QStringLiteral("B'2"),
                          QStringLiteral("A\"1\\"), QStringLiteral("1001 ")}));
    QCOMPARE(column(w, FSaveList::Col患者名),
             (QStringList{QStringLiteral("患者3"), QStringLiteral("患者2"), QStringLiteral("患者1"),
                          QStringLiteral("患者0"), QString()}));
}

QTEST_MAIN(TestSaveList)
#include "test_savelist.moc"
