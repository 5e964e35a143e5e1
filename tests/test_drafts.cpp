#include "AppHome.h"
#include "Typing.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FreeEdit.h"
#include "patients/Patient.h"
#include "persistence/Draft.h"
#include "persistence/DocumentVersion.h"
#include "persistence/SavedDocuments.h"
#include "persistence/ui/FSaveList.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/FileJournal.h"
#include "persistence/ui/DraftKeeper.h"
#include "persistence/ui/DraftRecovery.h"
#include "persistence/ui/PersistenceHooks.h"
#include "templates/ui/BuildDocument.h"
#include "ui/IdleMessage.h"
#include "ui/Navigation.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QPainter>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kKind = QStringLiteral("紹介状");

// A home with a referral template, a doctor, two patients, the main window
// and drafts in a data folder of their own.
struct DraftHome : AppHome
{
    QTemporaryDir xdg;
    DraftHome()
    {
        qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
        home.copyCheckIcons();
        writeTemplate(kKind, {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                              QStringLiteral("lbItem_0=300|300|3000|300|0||ＭＳ 明朝|10.5|0|1|宛先|1|"),
                              QStringLiteral("lbItem_1=300|900|5000|1500|0||ＭＳ 明朝|10.5|0|2|本文|2|"),
                              QStringLiteral("lbItem_2=300|3300|1500|300|0||ＭＳ 明朝|10.5|0|3|日数|0|"),
                              QStringLiteral("ImgCheck_0=300|2700|240|240|同意|0")});
        setDoctor(QString::number(home.addDoctor(QStringLiteral("山田　太郎"))), QStringLiteral("山田　太郎"));
        admit(kPatientSato);
        admit(kPatientTanaka);
        LookupPatient(kPatientSato.id);
        InstallPersistenceHooks();
        InstallFreeEditHooks();
        nav().showMainWindow = [] { ShowMainWindow(); };
        docHooks().documentUnloaded = [] { DraftKeeper::shared().discard(); };
    }
    ~DraftHome()
    {
        DraftKeeper::shared().waitForWrite();
        if (FM *d = fm())
            d->更新チェック更新();
        UnloadFM();
        DraftKeeper::shared().discard();
    }
    FM *open()
    {
        ShowMainWindow();
        return build(kKind);
    }
    // A file where the drafts folder belongs: nothing can be written there nor read.
    static bool blockDraftFolder()
    {
        QDir().mkpath(QFileInfo(DraftFolder()).path());
        QFile blocker(DraftFolder());
        return blocker.open(QIODevice::WriteOnly);
    }
    // One look of the keeper, and its write finished.
    void settle()
    {
        DraftKeeper::shared().tick();
        DraftKeeper::shared().waitForWrite();
    }
    QStringList draftFiles() const
    {
        return QDir(DraftFolder()).entryList({QStringLiteral("*.draft")}, QDir::Files);
    }
    Draft onlyDraft() const
    {
        Draft d;
        const QStringList files = draftFiles();
        if (files.size() != 1)
            return d;
        QFile f(DraftFolder() + u'/' + files.first());
        f.open(QIODevice::ReadOnly);
        DecodeDraft(f.readAll(), d);
        return d;
    }
};

void Stroke(FM *doc, int y)
{
    if (FHead *head = fhead())
        head->SelectTool(1);
    doc->Form_MouseDown(Qt::LeftButton, {}, 600, y);
    doc->Form_MouseMove(Qt::LeftButton, {}, 5400, y);
    doc->Form_MouseUp(Qt::LeftButton, {}, 5400, y);
}

// A draft file written as the program writes it.
void WriteDraft(const QString &id, const Draft &d)
{
    QDir().mkpath(DraftFolder());
    QVERIFY(WriteFileAtomically(DraftPath(id), DraftTempPath(id), EncodeDraft(d)));
}

Draft MakeDraft(const QString &patient, const QString &patientName, const QString &text, const QDateTime &time)
{
    Draft d;
    d.doc.kind = kKind;
    d.doc.fields = {{QStringLiteral("宛先"), QStringLiteral("1"), text}, {QStringLiteral("本文"), QStringLiteral("2"), QStringLiteral("経過")}};
    d.doc.checks = {{QStringLiteral("同意"), QStringLiteral("1")}};
    QImage page(400, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).fillRect(QRect(10, 300, 50, 5), Qt::blue);
    d.pagePng = EncodePagePng(page);
    d.patientId = patient;
    d.patientName = patientName;
    d.doctorId = CurrentDrID;
    d.doctorName = CurrentDrName;
    d.appFolder = AppFolder();
    d.time = time;
    return d;
}
}

class TestDrafts : public QObject
{
    Q_OBJECT

private slots:
    // Failures are told at once unless a test has the doctor typing.
    void initTestCase() { SetIdlePause(0); }
    void draftFollowsTypingDrawingAndFloatingText();
    void draftEndsWithSaveOrNoAndStaysOnFailedSave();
    void recoveryAsksNewestFirstAndRebuildsTheDocument();
    void recoveryKeepsWhatItCannotOpenAndSetsDamagedAside();
    void deletedDocumentsLeaveNoDraftAndARestoredOneSavesOverItsDocument();
    void draftFileIsCheckedOnReadingAndSyncedBeforeReplacing();
    void unusableDraftFolderIsSaidOnceAndOtherUsersDraftsAreLeftAlone();
    void aDraftFailureIsToldOnceTheDoctorStopsTyping();
};

void TestDrafts::draftFollowsTypingDrawingAndFloatingText()
{
    DraftHome h;
    FM *doc = h.open();
    QVERIFY(doc);
    h.settle();
    QVERIFY(h.draftFiles().isEmpty()); // an untouched document has no draft

    // Text typed into the open editor counts before it is committed.
    doc->OpenEditor(0);
    TypeText(doc->TxtInput, QStringLiteral("東京病院"));
    h.settle();
    Draft d = h.onlyDraft();
    QCOMPARE(d.doc.kind, kKind);
    QCOMPARE(d.doc.number, 0);
    QCOMPARE(d.doc.fields.value(0).text, QStringLiteral("東京病院"));
    QCOMPARE(d.patientId, kPatientSato.id);
    QCOMPARE(d.patientName, kPatientSato.name);
    QCOMPARE(d.doctorId, CurrentDrID);
    QVERIFY(qAbs(d.time.secsTo(QDateTime::currentDateTime())) < 5);
    // The draft lives in the user's data folder, not in DATA.
    QVERIFY(DraftKeeper::shared().currentPath().startsWith(h.xdg.path()));

    // A stroke and a ticked box; the page image is the window's, pixel for pixel.
    doc->テキスト変更();
    doc->ImgCheck_Click(0);
    doc->Mフリー編集_Click();
    Stroke(doc, 3000);
    h.settle();
    d = h.onlyDraft();
    QCOMPARE(d.doc.surface, doc->surface());
    QCOMPARE(d.doc.checks.value(0).state, QStringLiteral("1"));

    // A floating text not yet pasted travels with it.
    PlaceFloatingText(*doc, QStringLiteral("至急"), QRect(1200, 4200, 900, 300), Qt::red, 14, true, false);
    h.settle();
    d = h.onlyDraft();
    QVERIFY(d.text);
    QCOMPARE(d.text->text, QStringLiteral("至急"));
    QCOMPARE(d.text->twips, QRect(1200, 4200, 900, 300));
    QCOMPARE(d.text->color, QColor(Qt::red));
    QVERIFY(d.text->bold);

    // Nothing new: nothing written.
    const int writes = DraftKeeper::shared().writesDone();
    h.settle();
    QCOMPARE(DraftKeeper::shared().writesDone(), writes);
    QVERIFY(!QFile::exists(DraftKeeper::shared().currentPath() + QStringLiteral(".tmp")));
}

void TestDrafts::draftEndsWithSaveOrNoAndStaysOnFailedSave()
{
    DraftHome h;
    FM *doc = h.open();
    QVERIFY(doc);
    doc->LbItem[0]->setText(QStringLiteral("東京病院"));
    doc->OpenEditor(2); // a number in full-width digits is stored folded; the closed editor keeps it unfolded
    TypeText(doc->TxtInput, QStringLiteral("１２"));
    h.settle();
    QCOMPARE(h.draftFiles().size(), 1);
    doc->M保存_Click(0);
    QCOMPARE(h.prompts.messages.last(), QStringLiteral("保存しました"));
    QVERIFY(h.draftFiles().isEmpty());
    h.settle();
    QVERIFY(h.draftFiles().isEmpty());

    // Changed and typed back: no unsaved change, no draft.
    doc->LbItem[0]->setText(QStringLiteral("大阪病院"));
    h.settle();
    QCOMPARE(h.draftFiles().size(), 1);
    QCOMPARE(h.onlyDraft().doc.number, 1);
    QCOMPARE(h.onlyDraft().state, QStringLiteral("0"));
    doc->LbItem[0]->setText(QStringLiteral("東京病院"));
    h.settle();
    QVERIFY(h.draftFiles().isEmpty());

    // A save that fails on close keeps the window and its draft.
    doc->LbItem[0]->setText(QStringLiteral("大阪病院"));
    h.settle();
    doc->LbItem[1]->Tag = QStringLiteral("存在しない列");
    h.prompts.answers = {true};
    QVERIFY(!UnloadFM());
    QCOMPARE(h.draftFiles().size(), 1);
    doc->LbItem[1]->Tag = QStringLiteral("本文");

    // No to the close question throws the work and the draft away.
    h.prompts.answers = {false};
    QVERIFY(UnloadFM());
    QCOMPARE(h.prompts.questions.last(), QStringLiteral("変更されています。保存しますか？"));
    QVERIFY(h.draftFiles().isEmpty());
}

void TestDrafts::recoveryAsksNewestFirstAndRebuildsTheDocument()
{
    DraftHome h;
    const QDateTime older(QDate(2026, 12, 7), QTime(9, 5));
    const QDateTime newer(QDate(2026, 12, 7), QTime(17, 30));
    Draft a = MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("古い方"), older);
    Draft b = MakeDraft(kPatientTanaka.id, kPatientTanaka.name, QStringLiteral("新しい方"), newer);
    // b belongs to saved document 7 (building the window makes the table).
    b.doc.number = 7;
    QVERIFY(h.open());
    QVERIFY(UnloadFM());
    QSqlQuery row(gDB());
    QVERIFY(row.prepare(QStringLiteral("INSERT INTO \"紹介状\" (ID, DrID, \"患者番号\") VALUES (7, ?, ?)")));
    row.addBindValue(CurrentDrID);
    row.addBindValue(kPatientTanaka.id);
    QVERIFY(row.exec());
    b.text = DraftText{QStringLiteral("要確認"), QRect(600, 4500, 1200, 300), Qt::blue, 12, false, true};
    Draft other = MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("別の医師"), newer.addSecs(60));
    other.doctorId = QStringLiteral("999");
    WriteDraft(QStringLiteral("a"), a);
    WriteDraft(QStringLiteral("b"), b);
    WriteDraft(QStringLiteral("other"), other);
    // A draft whose window is open in a running program is not offered.
    Draft live = MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("使用中"), newer.addSecs(120));
    WriteDraft(QStringLiteral("live"), live);
    QLockFile liveLock(DraftLockPath(QStringLiteral("live")));
    QVERIFY(liveLock.tryLock(0));

    // No to the newest, yes to the next.
    h.prompts.answers = {false, true};
    QVERIFY(RecoverDrafts(CurrentDrID));
    QCOMPARE(h.prompts.questions,
             (QStringList{QStringLiteral("保存されていない書類があります（紹介状・田中　次郎・2026/12/07 17:30）。復元しますか？\n「いいえ」を選ぶと、この内容は破棄されます。"),
                          QStringLiteral("保存されていない書類があります（紹介状・佐藤　花子・2026/12/07 09:05）。復元しますか？\n「いいえ」を選ぶと、この内容は破棄されます。")}));
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("b"))));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("other"))));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("live"))));

    // The main window shows the draft's patient and the document as it was.
    QCOMPARE(PatientID, kPatientSato.id);
    QVERIFY(fhead() && fhead()->isVisible());
    FM *doc = fm();
    QVERIFY(doc);
    QCOMPARE(doc->Tag, kKind);
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("古い方"));
    QCOMPARE(doc->LbItem[1]->text(), QStringLiteral("経過"));
    QCOMPARE(doc->ImgCheck[0]->DataField, QStringLiteral("1"));
    QCOMPARE(doc->surface().pixelColor(30, 302), QColor(Qt::blue));
    QCOMPARE(doc->surface().pixelColor(30, 310), QColor(Qt::white));
    QCOMPARE(doc->Lb登録番号->text(), QStringLiteral("0"));
    QVERIFY(doc->更新チェック());
    QVERIFY(!doc->canUndoDrawing()); // the restored drawing is the first state

    // The restored document keeps writing the same draft; closing asks.
    doc->LbItem[1]->setText(QStringLiteral("経過良好"));
    h.settle();
    QCOMPARE(DraftKeeper::shared().currentPath(), DraftPath(QStringLiteral("a")));
    h.prompts.answers = {false};
    QVERIFY(UnloadFM());
    QCOMPARE(h.prompts.questions.last(), QStringLiteral("変更されています。保存しますか？"));
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("a"))));

    // The number and the floating text come back too.
    liveLock.unlock();
    QFile::remove(DraftPath(QStringLiteral("live")));
    b.time = newer;
    WriteDraft(QStringLiteral("b"), b);
    h.prompts.clear();
    h.prompts.answers = {true};
    QVERIFY(RecoverDrafts(CurrentDrID));
    doc = fm();
    QCOMPARE(doc->Lb登録番号->text(), QStringLiteral("7"));
    QCOMPARE(doc->LbMoji->text(), QStringLiteral("要確認"));
    QVERIFY(!doc->LbMoji->isHidden());
    QCOMPARE(doc->LbMoji->twips(), QRect(600, 4500, 1200, 300));
    QVERIFY(doc->LbMoji->fontUnderline());
    QCOMPARE(PatientID, kPatientTanaka.id);
}

void TestDrafts::recoveryKeepsWhatItCannotOpenAndSetsDamagedAside()
{
    DraftHome h;
    const QDateTime t(QDate(2026, 12, 7), QTime(10, 0));
    Draft noTemplate = MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("x"), t);
    noTemplate.doc.kind = QStringLiteral("診断書");
    Draft noPatient = MakeDraft(QStringLiteral("4040"), QStringLiteral("消えた　患者"), QStringLiteral("y"), t.addSecs(-60));
    WriteDraft(QStringLiteral("t"), noTemplate);
    WriteDraft(QStringLiteral("p"), noPatient);
    // A draft cut short and one with a flipped byte.
    QByteArray bytes = EncodeDraft(MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("z"), t));
    QFile cut(DraftPath(QStringLiteral("cut")));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    bytes[bytes.size() / 3] = char(bytes[bytes.size() / 3] ^ 0x40);
    QFile flipped(DraftPath(QStringLiteral("flip")));
    QVERIFY(flipped.open(QIODevice::WriteOnly));
    flipped.write(bytes);
    flipped.close();
    // What a write cut off by a crash leaves beside a whole draft.
    QFile temp(DraftTempPath(QStringLiteral("t")));
    QVERIFY(temp.open(QIODevice::WriteOnly));
    temp.write("RYDOL-DRAFT\n half");
    temp.close();

    QVERIFY(!RecoverDrafts(CurrentDrID));
    QVERIFY(h.prompts.questions.isEmpty());
    QCOMPARE(h.prompts.messages.size(), 4);
    QVERIFY(h.prompts.messages.filter(QStringLiteral("書類の様式「診断書」が見つかりません")).size() == 1);
    QVERIFY(h.prompts.messages.filter(QStringLiteral("患者（ID 4040）が見つかりません")).size() == 1);
    QCOMPARE(h.prompts.messages.filter(QStringLiteral("下書きが壊れている")).size(), 2);
    QCOMPARE(PatientID, kPatientSato.id); // the current patient is left as it was
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("t"))));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("p"))));
    QVERIFY(!QFile::exists(DraftTempPath(QStringLiteral("t"))));
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("cut"))));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("cut")) + QStringLiteral(".corrupt")));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("flip")) + QStringLiteral(".corrupt")));
    QVERIFY(!fm());

    // Once the template is back, the draft opens.
    h.home.writeIni(QStringLiteral("診断書"), QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\n"
                                                             "lbItem_0=300|300|3000|300|0||ＭＳ 明朝|10.5|0|1|宛先|1|\r\n"));
    h.prompts.clear();
    h.prompts.answers = {true};
    QVERIFY(RecoverDrafts(CurrentDrID));
    QCOMPARE(fm()->Tag, QStringLiteral("診断書"));
    QCOMPARE(fm()->LbItem[0]->text(), QStringLiteral("x"));
}

namespace {
// Saves a new document with text, changes it to text + "・改" and returns the
// draft the keeper writes for that change, left on disk as draft id as a
// crash would leave it.
Draft CrashAfterChangingSaved(DraftHome &h, const QString &text, const QString &id)
{
    FM *doc = h.open();
    if (!doc)
        return {};
    doc->LbItem[0]->setText(text);
    doc->M保存_Click(0);
    doc->LbItem[0]->setText(text + QStringLiteral("・改"));
    h.settle();
    Draft d;
    QFile written(DraftKeeper::shared().currentPath());
    if (!written.open(QIODevice::ReadOnly) || !DecodeDraft(written.readAll(), d))
        return {};
    written.close();
    h.prompts.answers = {false};
    UnloadFM();
    h.prompts.clear();
    WriteDraft(id, d);
    return d;
}

QString StoredText(int id)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT \"宛先\" FROM \"紹介状\" WHERE ID=?"));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("(none)");
}
}

// Deleting a document ends its drafts, whether it is deleted in this
// program's saved list or elsewhere; a draft of a document that still exists
// is saved over that document again.
void TestDrafts::deletedDocumentsLeaveNoDraftAndARestoredOneSavesOverItsDocument()
{
    DraftHome h;
    const Draft one = CrashAfterChangingSaved(h, QStringLiteral("一通目"), QStringLiteral("one"));
    QCOMPARE(one.doc.number, 1);
    QCOMPARE(one.doc.version, StoredVersion(kKind, 1));
    QVERIFY(one.doc.version > 0);
    Draft two = CrashAfterChangingSaved(h, QStringLiteral("二通目"), QStringLiteral("two"));
    QCOMPARE(two.doc.number, 2);
    const Draft three = CrashAfterChangingSaved(h, QStringLiteral("三通目"), QStringLiteral("three"));
    QCOMPARE(three.doc.number, 3);
    two.time = two.time.addSecs(3600); // the newest, asked about first
    WriteDraft(QStringLiteral("two"), two);

    // 削除 in the saved list.
    FSaveList::showList(false);
    FSaveList *list = FSaveList::instance();
    int row = -1;
    for (int i = 0; i < list->rowCount(); ++i)
        if (list->cellText(i, FSaveList::ColID) == u"1")
            row = i;
    QVERIFY(row >= 0);
    list->selectRow(row);
    h.prompts.answers = {true};
    list->Cmd削除_Click();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("削除しました")});
    delete list;
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("one"))));
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("two"))));

    // Deleted on another workstation: this one's draft is still there, but
    // it is not offered back.
    QVERIFY(DeleteSavedDocument(kKind, 2));
    h.prompts.clear();
    h.prompts.answers = {true};
    QVERIFY(RecoverDrafts(CurrentDrID));
    QCOMPARE(h.prompts.questions,
             QStringList{QStringLiteral("保存されていない書類があります（紹介状・佐藤　花子・")
                         + three.time.toString(QStringLiteral("yyyy/MM/dd HH:mm")) + QStringLiteral("）。復元しますか？\n「いいえ」を選ぶと、この内容は破棄されます。")});
    QVERIFY(h.prompts.messages.isEmpty());
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("two"))));

    // The third comes back under its number and is saved over it.
    FM *doc = fm();
    QVERIFY(doc);
    QCOMPARE(doc->Lb登録番号->text(), QStringLiteral("3"));
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("三通目・改"));
    doc->M保存_Click(0);
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("保存しました")});
    QCOMPARE(doc->Lb登録番号->text(), QStringLiteral("3"));
    QCOMPARE(StoredText(3), QStringLiteral("三通目・改"));
    QCOMPARE(StoredText(4), QStringLiteral("(none)"));
    QVERIFY(h.draftFiles().isEmpty());

    // A kind spelt in other letter case is the same kind.
    Draft other = one;
    other.doc.kind = QStringLiteral("Ｋｉｎｄ");
    other.doc.number = 7;
    WriteDraft(QStringLiteral("other"), other);
    DiscardDraftsOf(QStringLiteral("ｋｉｎｄ"), 7);
    QVERIFY(!QFile::exists(DraftPath(QStringLiteral("other"))));
}

void TestDrafts::draftFileIsCheckedOnReadingAndSyncedBeforeReplacing()
{
    DraftHome h;
    const QString text = QStringLiteral("至急返信");
    const Draft d = MakeDraft(kPatientSato.id, kPatientSato.name, text, QDateTime::currentDateTime());
    // One character of a field changed on the disk: damaged, not restored as written.
    QByteArray bytes = EncodeDraft(d);
    QByteArray stored;
    {
        QDataStream out(&stored, QIODevice::WriteOnly);
        out << text;
    }
    const qsizetype at = bytes.indexOf(stored);
    QVERIFY(at > 0);
    bytes[at + stored.size() - 1] = char(bytes[at + stored.size() - 1] ^ 0x01);
    Draft read;
    QVERIFY(!DecodeDraft(bytes, read));

    // The new file is on the disk before it replaces the old one; the
    // replacement is flushed after.
    WriteDraft(QStringLiteral("a"), d);
    QStringList order;
    SetSyncObserver([&](const QString &path) { order << path; });
    SetDraftWriteProbe([&](int stage) {
        if (stage == 2)
            order << QStringLiteral("replace");
    });
    WriteDraft(QStringLiteral("a"), d);
    SetSyncObserver({});
    SetDraftWriteProbe({});
    QCOMPARE(order, (QStringList{DraftTempPath(QStringLiteral("a")), QStringLiteral("replace"), DraftFolder()}));
}

void TestDrafts::unusableDraftFolderIsSaidOnceAndOtherUsersDraftsAreLeftAlone()
{
    DraftHome h;
    QVERIFY(h.blockDraftFolder());
    FM *doc = h.open();
    QVERIFY(doc);
    doc->LbItem[0]->setText(QStringLiteral("東京病院"));
    h.settle();
    const QStringList said{QStringLiteral("下書きを保存できません: ") + DraftFolder()};
    QCOMPARE(h.prompts.messages, said);
    doc->LbItem[0]->setText(QStringLiteral("大阪病院"));
    h.settle();
    QVERIFY(!RecoverDrafts(CurrentDrID));
    QCOMPARE(h.prompts.messages, said);
    // Once the folder can be made, the draft is written.
    QVERIFY(QFile::remove(DraftFolder()));
    h.settle();
    QCOMPARE(h.draftFiles().size(), 1);

    // Another user's draft in the same folder is neither offered nor set aside.
    WriteDraft(QStringLiteral("theirs"), MakeDraft(kPatientSato.id, kPatientSato.name, QStringLiteral("他人"),
                                                   QDateTime::currentDateTime()));
    if (::chown(QFile::encodeName(DraftPath(QStringLiteral("theirs"))).constData(), 65534, 65534) != 0)
        QSKIP("only root can give a file to another user");
    h.prompts.clear();
    QVERIFY(!RecoverDrafts(CurrentDrID));
    QVERIFY(h.prompts.questions.isEmpty());
    QVERIFY(h.prompts.messages.isEmpty());
    QVERIFY(QFile::exists(DraftPath(QStringLiteral("theirs"))));
}

void TestDrafts::aDraftFailureIsToldOnceTheDoctorStopsTyping()
{
    DraftHome h;
    SetIdlePause(1000); // far longer than the gaps between keystrokes, even on a busy machine
    QVERIFY(h.blockDraftFolder());
    FM *doc = h.open();
    QVERIFY(doc);
    doc->OpenEditor(0);
    // The write fails while the doctor types: a box now would take the
    // next keystrokes.
    QTest::keyClicks(doc->TxtInput, QStringLiteral("abc"));
    h.settle();
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(100);
        QTest::keyClick(doc->TxtInput, Qt::Key_X);
    }
    QVERIFY(h.prompts.messages.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(h.prompts.messages, QStringList{QStringLiteral("下書きを保存できません: ") + DraftFolder()}, 3000);
    QCOMPARE(doc->TxtInput->text(), QStringLiteral("abcxxxx"));
    SetIdlePause(0);
}

QTEST_MAIN(TestDrafts)
#include "test_drafts.moc"
