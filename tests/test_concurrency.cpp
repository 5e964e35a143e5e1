// Two workstations on one database, as two processes: this executable runs
// itself again as the second workstation (RYDOL_TEST_WORKER names the job).
#include "TestHome.h"

#include "app/AppState.h"
#include "patients/PatientStore.h"
#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "templates/KindTable.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <cstdio>
#include <thread>

namespace {

const QString kKind = QStringLiteral("紹介状");

DocumentData blankDocument(const QString &text, QRgb colour)
{
    DocumentData doc;
    doc.kind = kKind;
    doc.fields = {{QStringLiteral("所見"), QStringLiteral("1"), text}};
    doc.surface = QImage(40, 30, QImage::Format_RGB32);
    doc.surface.fill(colour);
    return doc;
}

// The colour that marks document i of workstation w on its page image.
QRgb mark(int w, int i)
{
    return qRgb(w == 0 ? 10 : 200, i, 77);
}

QString textOf(int id)
{
    DocumentData doc = blankDocument(QString(), 0);
    return LoadSavedDocument(kKind, id, doc) ? doc.fields[0].text : QStringLiteral("(none)");
}

// The second workstation's jobs. Prints one line per result; exit code 0
// when every step succeeded.
int runWorker(const QStringList &job)
{
    if (!OpenDB()) {
        std::fprintf(stderr, "worker: no database: %s\n", qPrintable(DatabaseOpenError()));
        return 2;
    }
    CurrentDrID = QStringLiteral("2");
    PatientID = QStringLiteral("100");
    const QString what = job.value(0);
    if (what == u"new") { // new <count> <workstation>
        const int w = job.value(2).toInt();
        for (int i = 0; i < job.value(1).toInt(); ++i) {
            DocumentData doc = blankDocument(QStringLiteral("%1-%2").arg(w).arg(i), mark(w, i));
            if (!SaveDocument(doc, QStringLiteral("0"))) {
                std::fprintf(stderr, "worker %d: save %d failed\n", w, i);
                return 1;
            }
        }
        return 0;
    }
    if (what == u"edit") { // edit <id> <text>
        DocumentData doc = blankDocument(QString(), mark(1, 1));
        if (!LoadSavedDocument(kKind, job.value(1).toInt(), doc))
            return 1;
        doc.fields[0].text = job.value(2);
        SaveFailure why = SaveFailure::None;
        return SaveDocument(doc, QStringLiteral("1"), &why) ? 0 : why == SaveFailure::Overtaken ? 4 : 1;
    }
    if (what == u"patients") { // patients <count> <workstation>
        for (int i = 0; i < job.value(1).toInt(); ++i) {
            PatientRecord p{QString(), QStringLiteral("%1-%2").arg(job.value(2)).arg(i), QStringLiteral("カナ"), 19500101, 1, QString()};
            if (!RegisterNewPatient(p))
                return 1;
        }
        return 0;
    }
    return 3;
}

QProcess *startWorker(const TestHome &home, const QString &job, const QString &pauseAt = QString())
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
    env.insert(QStringLiteral("RYDOL_TEST_WORKER"), job);
    env.insert(QStringLiteral("RYDOL_PAUSE_AT"), pauseAt);
    env.insert(QStringLiteral("RYDOL_PAUSE_FILE"), home.folder() + QStringLiteral("/paused"));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationFilePath(), {});
    return p;
}

bool finished(QProcess *p)
{
    const bool ok = (p->state() == QProcess::NotRunning || p->waitForFinished(240000)) && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
    delete p;
    return ok;
}

// Runs work here while the worker doing job stands still at step (PausePoint),
// and lets the worker go on a moment later (work may wait for what the worker
// holds). The worker's exit code; -1 when it never reached the step.
int whileStopped(const TestHome &home, const QString &job, const QString &step, const std::function<void()> &work)
{
    QProcess *p = startWorker(home, job, step);
    const QString paused = home.folder() + QStringLiteral("/paused");
    while (!QFile::exists(paused) && p->state() != QProcess::NotRunning)
        p->waitForFinished(5);
    const bool stopped = QFile::exists(paused);
    std::thread goOn([&] { QThread::msleep(1500); QFile::remove(paused); });
    if (stopped)
        work();
    goOn.join();
    p->waitForFinished(120000);
    const int code = stopped && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    delete p;
    return code;
}

int count(const QString &sql)
{
    QSqlQuery q(gDB());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void newDocumentsFromTwoWorkstationsGetTheirOwnNumbers();
    void aSaveOvertakenByAnotherWorkstationStoresNothing();
    void onlyRealPatientChangesAreRecorded();
    void patientsRegisteredAtOnceNeverShareANumber();
    void aWorkstationStartingMeanwhileLeavesSavesWhole();
    void aSaveStoppedAtAnyStepNeverMixesADocument();
    void aReopenWhileAnotherSaveStandsShowsOneSaveWhole();
    void aPatientRegisteredWhileAnotherIsGetsANumberOfItsOwn();
    void aReSaveGoesOnWhileANewSaveHoldsItsNumber();
    void keptStatementsOutliveAnotherWorkstationsNewColumn();
};

void TestConcurrency::newDocumentsFromTwoWorkstationsGetTheirOwnNumbers()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    CloseDB(); // this process only looks afterwards
    constexpr int kEach = 200;
    QProcess *a = startWorker(home, QStringLiteral("new %1 0").arg(kEach));
    QProcess *b = startWorker(home, QStringLiteral("new %1 1").arg(kEach));
    const bool okA = finished(a);
    const bool okB = finished(b);
    QVERIFY(okA && okB);
    QVERIFY(OpenDB());

    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(kKind)), 2 * kEach);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(DISTINCT ID) FROM ") + QuoteIdent(kKind)), 2 * kEach);
    QCOMPARE(count(QStringLiteral("SELECT MAX(ID) FROM ") + QuoteIdent(kKind)), 2 * kEach);
    QSet<QString> texts;
    for (int id = 1; id <= 2 * kEach; ++id) {
        const QString text = textOf(id);
        texts.insert(text);
        // Each number's page image is the one its own row was saved with.
        const QImage page(DocumentImagePath(kKind, id));
        const QStringList parts = text.split(u'-');
        QVERIFY2(!page.isNull(), qPrintable(QString::number(id)));
        QCOMPARE(page.pixel(5, 5), mark(parts.value(0).toInt(), parts.value(1).toInt()));
    }
    QCOMPARE(texts.size(), 2 * kEach);
    QCOMPARE(QDir(DocumentImageFolder(kKind)).entryList(QDir::Files | QDir::Hidden).size(), 2 * kEach);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM 操作履歴")), 2 * kEach);
}

void TestConcurrency::aSaveOvertakenByAnotherWorkstationStoresNothing()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    CurrentDrID = QStringLiteral("1");
    PatientID = QStringLiteral("100");
    DocumentData first = blankDocument(QStringLiteral("初版"), mark(0, 0));
    QVERIFY(SaveDocument(first, QStringLiteral("0")));
    QCOMPARE(first.number, 1);

    // Both workstations have document 1 open; the other one saves first.
    DocumentData mine = blankDocument(QString(), mark(0, 1));
    QVERIFY(LoadSavedDocument(kKind, 1, mine));
    QVERIFY(finished(startWorker(home, QStringLiteral("edit 1 他端末の文"))));
    mine.fields[0].text = QStringLiteral("私の文");
    SaveFailure why = SaveFailure::None;
    QVERIFY(!SaveDocument(mine, QStringLiteral("0"), &why));
    QCOMPARE(why, SaveFailure::Overtaken);
    QCOMPARE(textOf(1), QStringLiteral("他端末の文"));
    QCOMPARE(QImage(DocumentImagePath(kKind, 1)).pixel(1, 1), mark(1, 1));
    QCOMPARE(mine.number, 1);

    // Saved as a new document the text is kept.
    mine.number = 0;
    mine.version = 0;
    QVERIFY(SaveDocument(mine, QStringLiteral("0"), &why));
    QCOMPARE(mine.number, 2);
    QCOMPARE(textOf(2), QStringLiteral("私の文"));
    QCOMPARE(textOf(1), QStringLiteral("他端末の文"));

    // A save by the same window goes on working; a reopened stale copy does not.
    DocumentData stale = blankDocument(QString(), mark(0, 2));
    QVERIFY(LoadSavedDocument(kKind, 2, stale));
    mine.fields[0].text = QStringLiteral("私の文・改");
    QVERIFY(SaveDocument(mine, QStringLiteral("1")));
    QVERIFY(!SaveDocument(stale, QStringLiteral("1"), &why));
    QCOMPARE(why, SaveFailure::Overtaken);

    // A document deleted meanwhile is not brought back by a window that
    // still holds it, and a new document does not take its number.
    QVERIFY(LoadSavedDocument(kKind, 2, stale));
    QVERIFY(DeleteSavedDocument(kKind, 2));
    DocumentData other = blankDocument(QStringLiteral("新しい3番"), mark(0, 3));
    QVERIFY(SaveDocument(other, QStringLiteral("0")));
    QCOMPARE(other.number, 3);
    QVERIFY(!SaveDocument(stale, QStringLiteral("1"), &why));
    QCOMPARE(why, SaveFailure::Overtaken);
    QCOMPARE(textOf(3), QStringLiteral("新しい3番"));
    QCOMPARE(textOf(2), QStringLiteral("(none)"));

    // One 操作履歴 row per stored change, none for the refused saves.
    const QList<AuditRow> trail = ReadAudit(QString(), QDate(), QDate(), 100);
    QStringList ops;
    for (const AuditRow &r : trail)
        ops.prepend(r.operation + u' ' + r.documentId);
    QCOMPARE(ops, (QStringList{QStringLiteral("新規保存 1"), QStringLiteral("終了に変更 1"), QStringLiteral("新規保存 2"),
                               QStringLiteral("終了に変更 2"), QStringLiteral("削除 2"), QStringLiteral("新規保存 3")}));
}

void TestConcurrency::onlyRealPatientChangesAreRecorded()
{
    TestHome home;
    PatientRecord patient{QStringLiteral("8"), QStringLiteral("山本 花"), QStringLiteral("ヤマモト ハナ"), 19600102, 2,
                          QStringLiteral("東京都")};
    QVERIFY(StorePatient(patient));
    // Chosen again and again from the search list: the same values go back.
    QVERIFY(StorePatient(patient));
    QVERIFY(StorePatient(patient));
    patient.address = QStringLiteral("神奈川県");
    QVERIFY(StorePatient(patient));
    QCOMPARE(ReadPatient(QStringLiteral("8"))->address, QStringLiteral("神奈川県"));
    QStringList ops;
    for (const AuditRow &r : ReadAudit(QString(), QDate(), QDate(), 100))
        ops.prepend(r.operation + u' ' + r.patientId);
    QCOMPARE(ops, (QStringList{QStringLiteral("患者登録 8"), QStringLiteral("患者変更 8")}));
}

void TestConcurrency::patientsRegisteredAtOnceNeverShareANumber()
{
    TestHome home;
    home.addPatient(QStringLiteral("7"), QStringLiteral("先客"), QStringLiteral("センキャク"), 1, 19500101);
    CloseDB();
    constexpr int kEach = 40;
    QProcess *a = startWorker(home, QStringLiteral("patients %1 A").arg(kEach));
    QProcess *b = startWorker(home, QStringLiteral("patients %1 B").arg(kEach));
    const bool okA = finished(a);
    const bool okB = finished(b);
    QVERIFY(okA && okB);
    QVERIFY(OpenDB());
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Kanja_Data")), 2 * kEach + 1);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(DISTINCT Name) FROM Kanja_Data")), 2 * kEach + 1);
    QVERIFY(OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select * From Kanja_Data Where ID=?"), {QStringLiteral("7")}));
    QCOMPARE(gRS.text(QStringLiteral("Name")), QStringLiteral("先客"));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM 操作履歴")), 2 * kEach);
}

void TestConcurrency::aWorkstationStartingMeanwhileLeavesSavesWhole()
{
    // While one workstation saves, others start again and again: each start
    // finishes what an interrupted save left, and must not take a save under
    // way for one.
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    CloseDB();
    constexpr int kSaves = 120;
    QProcess *saver = startWorker(home, QStringLiteral("new %1 1").arg(kSaves));
    int starts = 0;
    while (saver->state() != QProcess::NotRunning && !saver->waitForFinished(0)) {
        QVERIFY2(OpenDB(), qPrintable(DatabaseOpenError()));
        CloseDB();
        ++starts;
    }
    QVERIFY(finished(saver));
    QVERIFY(starts > 5);
    QVERIFY(OpenDB());
    for (int id = 1; id <= kSaves; ++id) {
        const QImage page(DocumentImagePath(kKind, id));
        QVERIFY2(!page.isNull(), qPrintable(QStringLiteral("document %1 of %2 has no image").arg(id).arg(kSaves)));
        QCOMPARE(page.pixel(5, 5), mark(1, textOf(id).split(u'-').value(1).toInt()));
    }
    QCOMPARE(QDir(DocumentImageFolder(kKind)).entryList(QDir::Files | QDir::Hidden).size(), kSaves);
}

void TestConcurrency::aSaveStoppedAtAnyStepNeverMixesADocument()
{
    // Another workstation's save of document 1 stands still at each of its
    // steps while this one saves or deletes the document.
    const char *steps[] = {"image-written", "version-claimed", "row-written", "committed", "file-step-done"};
    for (int s = 0; s < 5; ++s)
        for (const bool deleting : {false, true}) {
            TestHome home;
            QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
            DocumentData doc = blankDocument(QStringLiteral("初版"), mark(0, 0));
            QVERIFY(SaveDocument(doc, QStringLiteral("0")));
            bool mine = false;
            const int other = whileStopped(home, QStringLiteral("edit 1 A"), QString::fromLatin1(steps[s]), [&] {
                doc = blankDocument(QString(), mark(0, 1));
                LoadSavedDocument(kKind, 1, doc);
                doc.fields[0].text = QStringLiteral("B");
                mine = deleting ? DeleteSavedDocument(kKind, 1) : SaveDocument(doc, QStringLiteral("1"));
            });
            // Before the other save committed one of the two is refused (4);
            // after it both are stored, this one last.
            const bool committed = s >= 3;
            const QString text = deleting ? QStringLiteral("(none)") : mine ? QStringLiteral("B") : QStringLiteral("A");
            const QStringList files = QDir(DocumentImageFolder(kKind)).entryList(QDir::Files | QDir::Hidden);
            const QString where = QStringLiteral("%1 %2: %3 %4 %5 %6").arg(steps[s]).arg(deleting).arg(other).arg(mine).arg(textOf(1), files.join(u' '));
            QVERIFY2((other == 0 || (!committed && other == 4)) && (deleting || committed ? mine : mine != (other == 0)), qPrintable(where));
            QVERIFY2(textOf(1) == text && files == (deleting ? QStringList() : QStringList{QStringLiteral("1.png")}), qPrintable(where));
            QVERIFY2(deleting || QImage(DocumentImagePath(kKind, 1)).pixel(1, 1) == (mine ? mark(0, 1) : mark(1, 1)), qPrintable(where));
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM FileJournal")), 0);
        }
}

void TestConcurrency::aReopenWhileAnotherSaveStandsShowsOneSaveWhole()
{
    // This workstation reads document 1 as a reopen does (the page on its
    // own, then the row) while another one's save of it stands still: the
    // fields and the page shown must be of one save, and no change reported.
    for (const char *step : {"row-written", "committed", "file-step-done"}) {
        TestHome home;
        QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
        DocumentData first = blankDocument(QStringLiteral("初版"), mark(0, 0));
        QVERIFY(SaveDocument(first, QStringLiteral("0")));
        DocumentData opened = blankDocument(QString(), 0);
        PageFile page;
        Authenticity found = Authenticity::Unknown;
        const int other = whileStopped(home, QStringLiteral("edit 1 A"), QString::fromLatin1(step), [&] {
            page = ReadPageFile(DocumentImagePath(kKind, 1));
            RowValues row;
            if (LoadSavedDocument(kKind, 1, opened, &row))
                found = CheckReopenedDocument(kKind, 1, row, opened.version, page);
        });
        const QString text = opened.fields[0].text;
        const QString where = QStringLiteral("%1: %2 %3 %4").arg(step, text).arg(page.image.pixel(1, 1), 0, 16).arg(int(found));
        QVERIFY2(other == 0 && found == Authenticity::Intact, qPrintable(where));
        QVERIFY2(page.image.pixel(1, 1) == (text == u"A" ? mark(1, 1) : mark(0, 0)), qPrintable(where));
    }
}

void TestConcurrency::aPatientRegisteredWhileAnotherIsGetsANumberOfItsOwn()
{
    TestHome home;
    PatientRecord mine{QString(), QStringLiteral("乙"), QStringLiteral("カナ"), 19500101, 1, QString()};
    bool stored = false;
    QCOMPARE(whileStopped(home, QStringLiteral("patients 1 A"), QStringLiteral("patient-number-chosen"),
                          [&] { stored = RegisterNewPatient(mine); }), 0);
    QVERIFY(stored);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Kanja_Data")), 2);
}

void TestConcurrency::aReSaveGoesOnWhileANewSaveHoldsItsNumber()
{
    if (!TestOnServer())
        QSKIP("the embedded file lets one workstation write at a time");
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    DocumentData doc = blankDocument(QStringLiteral("初版"), mark(0, 0));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    bool beforeTheOther = false;
    QCOMPARE(whileStopped(home, QStringLiteral("new 1 1"), QStringLiteral("number-claimed"), [&] {
        doc.fields[0].text = QStringLiteral("改訂");
        beforeTheOther = SaveDocument(doc, QStringLiteral("1")) && QFile::exists(home.folder() + QStringLiteral("/paused"));
    }), 0);
    QVERIFY(beforeTheOther);
    QCOMPARE(textOf(1), QStringLiteral("改訂"));
    QCOMPARE(textOf(2), QStringLiteral("1-0"));
}

// Statements stay prepared on the connection from save to save; another
// workstation whose template gained a field adds its column meanwhile.
void TestConcurrency::keptStatementsOutliveAnotherWorkstationsNewColumn()
{
    TestHome home;
    QVERIFY(CreateKindTable(kKind, {{QStringLiteral("所見"), QStringLiteral("1")}}, {}));
    DocumentData doc = blankDocument(QStringLiteral("一回目"), qRgb(1, 2, 3));
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    doc.fields[0].text = QStringLiteral("二回目");
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));

    QSqlDatabase other;
    if (TestOnServer()) {
        other = home.otherConnection(QStringLiteral("other"));
    } else {
        other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(home.data(QStringLiteral("Rydol.db")));
        QVERIFY(other.open());
    }
    {
        QSqlQuery alter(other);
        QVERIFY2(alter.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN 追記 VARCHAR(255)").arg(QuoteIdent(kKind))),
                 qPrintable(alter.lastError().text()));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));

    doc.fields[0].text = QStringLiteral("三回目");
    QVERIFY(SaveDocument(doc, QStringLiteral("0")));
    DocumentData fresh = blankDocument(QStringLiteral("新しい"), qRgb(4, 5, 6));
    QVERIFY(SaveDocument(fresh, QStringLiteral("0")));
    QCOMPARE(textOf(doc.number), QStringLiteral("三回目"));
    QCOMPARE(textOf(fresh.number), QStringLiteral("新しい"));
    QCOMPARE(CheckSavedDocument(kKind, doc.number), Authenticity::Intact);
    QCOMPARE(CheckSavedDocument(kKind, fresh.number), Authenticity::Intact);
    QCOMPARE(KeptVersions(kKind, doc.number).size(), 3);
}

int main(int argc, char *argv[])
{
    const QByteArray worker = qgetenv("RYDOL_TEST_WORKER");
    if (!worker.isEmpty()) {
        QGuiApplication app(argc, argv);
        return runWorker(QString::fromUtf8(worker).split(u' '));
    }
    QGuiApplication app(argc, argv);
    TestConcurrency test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_concurrency.moc"
