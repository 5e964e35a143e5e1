#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "ui/Navigation.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/DocumentImage.h"
#include "persistence/History.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/FSaveList.h"
#include "persistence/ui/PersistenceHooks.h"
#include "printing/ui/FMPrintable.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/StoreLocation.h"
#include "templates/ui/BuildDocument.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSqlQuery>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kKind = QStringLiteral("紹介状");
const QString kOther = QStringLiteral("診断書");
const QString kSaved = QStringLiteral("保存しました");
const QString kFailed = QStringLiteral("保存できませんでした");
const QString kAsk = QStringLiteral("変更されています。保存しますか？");

// Fields in element order: 0..2 the document date, 3 a text, 4 a memo,
// 5 a number; two check boxes, the second ticked by the template.
const QStringList kTemplate = {
    QStringLiteral("Width=9000"),
    QStringLiteral("Height=6000"),
    QStringLiteral("lbItem_0=300|300|900|255|0||ＭＳ 明朝|10|0|1|日付Y|0|"),
    QStringLiteral("lbItem_1=1300|300|500|255|0||ＭＳ 明朝|10|0|2|日付M|0|"),
    QStringLiteral("lbItem_2=1900|300|500|255|0||ＭＳ 明朝|10|0|3|日付D|0|"),
    QStringLiteral("lbItem_3=300|800|3000|255|0||ＭＳ 明朝|10|0|4|所見|1|"),
    QStringLiteral("lbItem_4=300|1300|6000|900|0||ＭＳ 明朝|10|0|5|経過|2|"),
    QStringLiteral("lbItem_5=300|2400|900|255|0||ＭＳ 明朝|10|0|6|数|0|"),
    QStringLiteral("ImgCheck_0=300|3000|240|240|同意|0"),
    QStringLiteral("ImgCheck_1=300|3400|240|240|説明|1"),
};

// A home with the patient current, the main window loaded and the
// persistence hooks installed, as the running program has them.
struct GlueHome : AppHome
{
    GlueHome()
    {
        setDoctor(QStringLiteral("1"), QStringLiteral("山田　太郎"));
        admit(kPatientSato);
        home.addPatient(QStringLiteral("34"), QStringLiteral("鈴木　一郎"), QStringLiteral("ｽｽﾞｷ ｲﾁﾛｳ"), 1, 19700310);
        LookupPatient(kPatientSato.id);
        home.copyCheckIcons();
        writeTemplate(kKind, kTemplate);
        writeTemplate(kOther, kTemplate);
        InstallPersistenceHooks();
        loadMainWindow();
    }
    FM &build(const QString &kind = kKind)
    {
        FM *doc = AppHome::build(kind);
        if (!doc)
            qFatal("document not built");
        return *doc;
    }
    // Types into field index through the in-place editor, leaving it open.
    static void type(FM &doc, int index, const QString &text)
    {
        doc.OpenEditor(index);
        doc.TxtInput->setText(text);
    }
    static void date(FM &doc, const QString &y, const QString &m, const QString &d)
    {
        doc.LbItem[0]->setText(y);
        doc.LbItem[1]->setText(m);
        doc.LbItem[2]->setText(d);
    }
};

QVariant value(const QString &kind, int id, const QString &column)
{
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE ID=?").arg(QuoteIdent(column), QuoteIdent(kind)));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.value(0) : QVariant();
}

int rows(const QString &kind)
{
    QSqlQuery q(gDB());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(kind)) && q.next() ? q.value(0).toInt() : -1;
}

QStringList texts(const FM &doc)
{
    QStringList out;
    for (const DocLabel *item : doc.LbItem)
        out << item->text();
    return out;
}

QStringList states(const FM &doc)
{
    QStringList out;
    for (const DocLabel *check : doc.ImgCheck)
        out << check->DataField;
    return out;
}

QStringList historyColumn(int column)
{
    QStringList out;
    for (int i = 0; i < fhead()->LV履歴->topLevelItemCount(); ++i)
        out << fhead()->LV履歴->topLevelItem(i)->text(column);
    return out;
}

// pg_ctl on the private test cluster (as its owner when run as root).
bool pgCtl(const QStringList &args)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("RYDOL_PG_DIR"));
    const QStringList bins = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (dir.isEmpty() || bins.isEmpty())
        return false;
    QStringList command{QStringLiteral("/usr/lib/postgresql/") + bins.last() + QStringLiteral("/bin/pg_ctl"),
                        QStringLiteral("-D"), dir + QStringLiteral("/data"), QStringLiteral("-w")};
    command += args;
    if (::getuid() == 0)
        command = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command;
    QProcess p;
    p.start(::getuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

QImage picture(const QString &path)
{
    return QPixmap(path).toImage();
}

} // namespace

class TestSaveGlue : public QObject
{
    Q_OBJECT

private slots:
    void menuSavesPendingThenFinishedInOneRow();
    void reopenedDocumentMatchesWhatWasSaved();
    void closeQuestionYesStoresPendingDocument();
    void failedSaveStoresNothingAndKeepsDocumentOpen();
    void historyMenusFollowTheListAndThePatient();
    void historyRowOpensWithADoubleClick();
    void saveListOpensDocumentForItsPatient();
    void documentsStayWithTheirPatient();
    void damagedPageImageIsToldAndKeptAside();
    void failedSavesSayWhy();
    void oversizedPagesAndTablesAreRefusedAtOpening();
    void documentChangedElsewhereIsKeptAndSavedAsNew();
    void saveReopenAndDeleteWriteNoWarning();
    void serverRestartBetweenSavesStrandsNothing();
    void serverRefusalsSayWhy();
};

void TestSaveGlue::menuSavesPendingThenFinishedInOneRow()
{
    GlueHome h;
    FM &doc = h.build();
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("0"));
    // The editor is still open: saving commits it first.
    GlueHome::type(doc, 3, QStringLiteral("咳嗽"));
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{kSaved});
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("1"));
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("咳嗽"));
    QCOMPARE(value(kKind, 1, QStringLiteral("終了判定")).toInt(), 0);
    QVERIFY(QFile::exists(DocumentImagePath(kKind, 1)));
    QCOMPARE(historyColumn(3), QStringList{QStringLiteral("0")});

    GlueHome::type(doc, 3, QStringLiteral("軽快"));
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages, (QStringList{kSaved, kSaved}));
    QCOMPARE(rows(kKind), 1);
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("1"));
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("軽快"));
    QCOMPARE(value(kKind, 1, QStringLiteral("終了判定")).toInt(), 1);
    QCOMPARE(historyColumn(3), QStringList{QStringLiteral("1")});

    // Saved means unchanged: closing asks nothing.
    QVERIFY(UnloadFM());
    QVERIFY(h.prompts.questions.isEmpty());
}

void TestSaveGlue::reopenedDocumentMatchesWhatWasSaved()
{
    GlueHome h;
    FM &doc = h.build();
    GlueHome::date(doc, QStringLiteral("2006"), QStringLiteral("4"), QStringLiteral("5"));
    doc.LbItem[3]->setText(QStringLiteral("0"));
    doc.LbItem[4]->setText(QStringLiteral("一行目\n二行目 & 三"));
    doc.LbItem[5]->setText(QStringLiteral("0"));
    doc.ImgCheck_Click(0);
    doc.ImgCheck_Click(1);
    {
        QPainter p(&doc.surface());
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 30, 40), 3));
        p.drawLine(10, 10, 500, 300);
        p.setBrush(QColor(10, 120, 250, 128));
        p.drawEllipse(100, 60, 120, 80);
    }
    doc.DocumentChanged = true;
    const QImage drawn = doc.surface().convertToFormat(QImage::Format_RGB32);
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{kSaved});
    QVERIFY(UnloadFM());

    // A different document first, so that nothing is left over from the original.
    FM &other = h.build(kOther);
    QCOMPARE(fhead()->M履歴.captions(), QStringList{QStringLiteral("△2006.04.05  紹介状")});
    fhead()->M履歴[0]->trigger();

    FM *reopened = fm();
    QVERIFY(reopened && reopened != &other);
    QCOMPARE(reopened->Tag, kKind);
    // A text "0" stays "0"; only the number field shows 0 as empty.
    QCOMPARE(texts(*reopened), QStringList({"2006", "4", "5", "0", "一行目\n二行目 & 三", ""}));
    QCOMPARE(states(*reopened), QStringList({"1", "0"}));
    QCOMPARE(reopened->ImgCheck[0]->picture().toImage(), picture(h.home.data(QStringLiteral("icon/check.gif"))));
    QCOMPARE(reopened->ImgCheck[1]->picture().toImage(), picture(h.home.data(QStringLiteral("icon/uncheck.gif"))));
    QCOMPARE(reopened->surface().convertToFormat(QImage::Format_RGB32), drawn);
    QCOMPARE(reopened->Lb登録番号->text(), QStringLiteral("1"));
    QVERIFY(!reopened->更新チェック());

    // The reopened box toggles from its stored state, and a save updates the same row.
    reopened->ImgCheck_Click(0);
    QCOMPARE(reopened->ImgCheck[0]->DataField, QStringLiteral("0"));
    reopened->M保存[1]->trigger();
    QCOMPARE(rows(kKind), 1);
    QCOMPARE(value(kKind, 1, QStringLiteral("同意")).toInt(), 0);

    // From the document window's own history menu as well; closing asks nothing.
    h.prompts.clear();
    QCOMPARE(reopened->M履歴.captions(), QStringList{QStringLiteral("○　2006.04.05  紹介状")});
    reopened->M履歴[0]->trigger();
    QVERIFY(h.prompts.asked.isEmpty());
    QVERIFY(fm() != reopened);
    QCOMPARE(texts(*fm()).at(3), QStringLiteral("0"));
    QCOMPARE(fm()->surface().convertToFormat(QImage::Format_RGB32), drawn);
    QVERIFY(UnloadFM());
    QVERIFY(h.prompts.asked.isEmpty());

    // A field the template gained since the save gets its column when the
    // document is reopened, so that what is typed there is stored.
    h.writeTemplate(kKind, kTemplate + QStringList{QStringLiteral("lbItem_6=300|4500|900|255|0||ＭＳ 明朝|10|0|7|追記|1|")});
    fhead()->M履歴[0]->trigger();
    QVERIFY(fm() && fm()->LbItem.size() == 7);
    fm()->LbItem[6]->setText(QStringLiteral("後から"));
    h.prompts.answers = {true}; // a finished document's new version
    fm()->M保存[1]->trigger();
    QCOMPARE(value(kKind, 1, QStringLiteral("追記")).toString(), QStringLiteral("後から"));
    QVERIFY(UnloadFM());
}

void TestSaveGlue::closeQuestionYesStoresPendingDocument()
{
    GlueHome h;
    FM &doc = h.build();
    GlueHome::type(doc, 3, QStringLiteral("閉じる前"));
    h.prompts.answers = {true};
    QVERIFY(UnloadFM());
    QCOMPARE(h.prompts.questions, QStringList{kAsk});
    QVERIFY(h.prompts.messages.isEmpty());
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("閉じる前"));
    QCOMPARE(value(kKind, 1, QStringLiteral("終了判定")), QVariant(0));
    QCOMPARE(historyColumn(3), QStringList{QStringLiteral("0")});
    QVERIFY(fhead()->M履歴[0]->text().startsWith(QStringLiteral("△")));
}

void TestSaveGlue::failedSaveStoresNothingAndKeepsDocumentOpen()
{
    GlueHome h;
    // A file stands where the kind's image folder belongs: no page can be stored.
    QDir().mkpath(QFileInfo(DocumentImageFolder(kKind)).path());
    QFile blocker(DocumentImageFolder(kKind));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("失われてはならない"));
    doc.M保存[0]->trigger();
    const QString failed = kFailed + QStringLiteral("\nページの画像を書き込めませんでした。\n") + DocumentImageFolder(kKind);
    QCOMPARE(h.prompts.messages, QStringList{failed});
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("0"));
    QCOMPARE(rows(kKind), 0);
    QCOMPARE(QDir(DocumentImageFolder(kKind)).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(doc.更新チェック());
    QCOMPARE(fhead()->LV履歴->topLevelItemCount(), 0);

    // Yes to the question before a new document: told, kept open, nothing built.
    h.prompts.clear();
    h.prompts.answers = {true};
    fhead()->MDoc_Click(1);
    QCOMPARE(h.prompts.asked, (QStringList{kAsk, failed}));
    QCOMPARE(fm(), &doc);
    QCOMPARE(doc.Tag, kKind);
    QCOMPARE(doc.LbItem[3]->text(), QStringLiteral("失われてはならない"));
    QCOMPARE(rows(kKind), 0);

    // Closing the window the same way; No then lets it go.
    h.prompts.clear();
    h.prompts.answers = {true, false};
    doc.M終了_Click();
    QCOMPARE(fm(), &doc);
    doc.M終了_Click();
    QCOMPARE(h.prompts.asked, (QStringList{kAsk, failed, kAsk}));
    QCOMPARE(fm(), nullptr);
}

void TestSaveGlue::historyMenusFollowTheListAndThePatient()
{
    GlueHome h;
    FM &first = h.build();
    GlueHome::date(first, QStringLiteral("2006"), QStringLiteral("11"), QStringLiteral("30"));
    first.M保存[1]->trigger();

    // A second document dated earlier sorts first; the open window's menu
    // follows the list, so each entry still opens its own document.
    h.prompts.clear();
    FM &second = h.build(kOther);
    QCOMPARE(second.M履歴.captions(), QStringList{QStringLiteral("○　2006.11.30  紹介状")});
    GlueHome::date(second, QStringLiteral("2006"), QStringLiteral("4"), QStringLiteral("5"));
    second.M保存[0]->trigger();
    QCOMPARE(historyColumn(0), (QStringList{"2006.04.05", "2006.11.30"}));
    QCOMPARE(historyColumn(2), (QStringList{kOther, kKind}));
    QCOMPARE(fhead()->M履歴.captions(),
             (QStringList{QStringLiteral("△2006.04.05  診断書"), QStringLiteral("○2006.11.30  紹介状")}));
    QCOMPARE(second.M履歴.captions(),
             (QStringList{QStringLiteral("△　2006.04.05  診断書"), QStringLiteral("○　2006.11.30  紹介状")}));
    second.M履歴[1]->trigger();
    QCOMPARE(fm()->Tag, kKind);
    QCOMPARE(fm()->LbItem[1]->text(), QStringLiteral("11"));

    // Another patient: nothing of the first one stays in any history.
    LookupPatient(QStringLiteral("34"));
    fheadInstance().MDIForm_Load();
    QCOMPARE(fhead()->LV履歴->topLevelItemCount(), 0);
    QCOMPARE(fhead()->M履歴.captions(), QStringList{QString()});
    QVERIFY(fm());
    QCOMPARE(fm()->M履歴.captions(), QStringList{QString()});
    fhead()->M履歴[0]->trigger();
    QVERIFY(fm()->Tag.isEmpty()); // the empty entry does nothing
    FM &fresh = h.build(kOther);
    QCOMPARE(fresh.M履歴.captions(), QStringList{QString()});
}

void TestSaveGlue::historyRowOpensWithADoubleClick()
{
    GlueHome h;
    FM &first = h.build();
    GlueHome::date(first, QStringLiteral("2006"), QStringLiteral("11"), QStringLiteral("30"));
    first.LbItem[3]->setText(QStringLiteral("一通目"));
    first.M保存[1]->trigger();
    FM &second = h.build(kOther);
    GlueHome::date(second, QStringLiteral("2006"), QStringLiteral("4"), QStringLiteral("5"));
    second.LbItem[3]->setText(QStringLiteral("二通目"));
    second.M保存[0]->trigger();
    GlueHome::type(second, 3, QStringLiteral("書きかけ"));

    FHead &head = fheadInstance();
    head.show();
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    QTreeWidget *list = head.LV履歴;
    QCOMPARE(historyColumn(2), (QStringList{kOther, kKind}));
    // The pointer on the second row, as the user double-clicks it: the changed
    // document asks first, as the history menu does.
    h.prompts.clear();
    h.prompts.answers = {false};
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    QVERIFY(row.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QCOMPARE(h.prompts.questions, QStringList{kAsk});
    QVERIFY(fm() && fm() != &second);
    QCOMPARE(fm()->Tag, kKind);
    QCOMPARE(fm()->Lb登録番号->text(), QStringLiteral("1"));
    QCOMPARE(fm()->LbItem[3]->text(), QStringLiteral("一通目"));
    QVERIFY(!fm()->更新チェック());

    // A double-click below the last row opens nothing.
    FM *open = fm();
    h.prompts.clear();
    const QPoint below(row.center().x(), list->viewport()->height() - 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    QCOMPARE(fm(), open);
    QVERIFY(h.prompts.asked.isEmpty());
    head.hide();
}

void TestSaveGlue::saveListOpensDocumentForItsPatient()
{
    GlueHome h;
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("一覧から"));
    doc.M保存[0]->trigger();
    QVERIFY(UnloadFM());
    fhead()->hide();
    LookupPatient(QStringLiteral("34"));
    fheadInstance().MDIForm_Load();
    nav().showMainWindow = [] { ShowMainWindow(); };

    FSaveList *list = FSaveList::instance();
    QCOMPARE(list->rowCount(), 1);
    list->selectRow(0);
    list->CmdOK_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!FSaveList::exists());

    QCOMPARE(PatientID, QStringLiteral("12"));
    QVERIFY(fhead()->isVisible());
    QCOMPARE(historyColumn(1), QStringList{QStringLiteral("1")});
    QVERIFY(fm() && fm()->isVisible());
    QCOMPARE(fm()->Tag, kKind);
    QCOMPARE(fm()->LbItem[3]->text(), QStringLiteral("一覧から"));
    QCOMPARE(fm()->Lb登録番号->text(), QStringLiteral("1"));
    QVERIFY(!fm()->更新チェック());
}

// A document is stored and named as its own patient's whoever the bar turns
// to, and a stale history entry never opens another patient's document.
void TestSaveGlue::documentsStayWithTheirPatient()
{
    GlueHome h;
    FM &doc = h.build();
    doc.M保存[0]->trigger();
    GlueHome::type(doc, 3, QStringLiteral("追記"));
    h.prompts.clear();
    h.prompts.answers = {true};
    LookupPatient(QStringLiteral("34"));
    ShowMainWindow();
    QCOMPARE(h.prompts.questions, QStringList{kAsk});
    QCOMPARE(value(kKind, 1, QStringLiteral("患者番号")).toString(), kPatientSato.id);
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("追記"));
    QVERIFY(fm()->Tag.isEmpty());
    QCOMPARE(fhead()->Lb基本情報[0]->text(), QStringLiteral("34"));

    // Patient 12's history was read before number 1 became patient 34's.
    LookupPatient(kPatientSato.id);
    ShowMainWindow();
    const QString owner = QStringLiteral("UPDATE %1 SET 患者番号='%2' WHERE ID=1").arg(QuoteIdent(kKind));
    QVERIFY(QSqlQuery(gDB()).exec(owner.arg(QStringLiteral("34"))));
    h.prompts.clear();
    fhead()->M履歴[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("この書類は別の患者の書類に変わっているため、開けません。")});
    QVERIFY(!fm() || fm()->Tag.isEmpty());
    QCOMPARE(fhead()->LV履歴->topLevelItemCount(), 0);

    // Opened from the list for a patient no longer registered, it keeps its number.
    QVERIFY(QSqlQuery(gDB()).exec(owner.arg(QStringLiteral("9999"))));
    LookupPatient(QStringLiteral("9999"));
    nav().showMainWindow = [] { ShowMainWindow(); };
    OpenSavedDocumentInMainWindow(kKind, 1);
    QVERIFY(fm() && fm()->Tag == kKind);
    fm()->M保存[0]->trigger();
    QCOMPARE(value(kKind, 1, QStringLiteral("患者番号")).toString(), QStringLiteral("9999"));
    QVERIFY(FMPrintable(*fm()).pdfFileName().contains(QStringLiteral("9999")));
}

void TestSaveGlue::damagedPageImageIsToldAndKeptAside()
{
    GlueHome h;
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("所見あり"));
    doc.surface().fill(Qt::yellow);
    doc.M保存[0]->trigger();
    QVERIFY(UnloadFM());
    const QString path = DocumentImagePath(kKind, 1);
    const QString folder = DocumentImageFolder(kKind);
    QFile png(path);
    QVERIFY(png.open(QIODevice::ReadWrite));
    const QByteArray cut = png.read(60); // a PNG cut short
    png.resize(0);
    png.write(cut);
    png.close();

    const QString unreadable = QStringLiteral("ページの画像を読み込めませんでした。");
    // The image is not the one saved: that is told too.
    const QString changed = QStringLiteral("この書類は保存後に変更された可能性があります。");
    h.prompts.clear();
    fhead()->M履歴[0]->trigger();
    FM *reopened = fm();
    QVERIFY(reopened);
    QCOMPARE(h.prompts.messages, (QStringList{unreadable, changed}));
    QCOMPARE(reopened->LbItem[3]->text(), QStringLiteral("所見あり"));
    QVERIFY(!reopened->更新チェック());

    // The next save keeps the damaged file beside the new one.
    reopened->LbItem[3]->setText(QStringLiteral("書き直し"));
    reopened->surface().fill(Qt::cyan);
    reopened->M保存[0]->trigger();
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0], QStringLiteral("1.damaged-") + files[0].mid(10, 15) + QStringLiteral(".png"));
    QFile aside(folder + u'/' + files[0]);
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), cut);
    QCOMPARE(QImage(path).pixelColor(5, 5), QColor(Qt::cyan));
    // Later saves replace the image as usual.
    reopened->M保存[1]->trigger();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);

    // A missing image is told too; there is nothing to keep aside.
    QVERIFY(UnloadFM());
    QVERIFY(QFile::remove(path));
    h.prompts.clear();
    fhead()->M履歴[0]->trigger();
    QCOMPARE(h.prompts.messages, (QStringList{unreadable, changed}));
    QCOMPARE(ReadAudit(QString(), QDate(), QDate(), 1).value(0).operation, QStringLiteral("保存後の変更を検出"));
    QCOMPARE(fm()->LbItem[3]->text(), QStringLiteral("書き直し"));
    h.prompts.answers = {true}; // saving the finished document again
    fm()->M保存[1]->trigger();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
}

void TestSaveGlue::failedSavesSayWhy()
{
    GlueHome h;
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("最初"));
    doc.LbItem[5]->setText(QStringLiteral("3000000000"));
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{kFailed + QStringLiteral("\n数 の値が大きすぎます。")});
    QCOMPARE(rows(kKind), 0);
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("0"));
    doc.LbItem[5]->setText(QStringLiteral("12"));
    doc.M保存[0]->trigger();
    QCOMPARE(rows(kKind), 1);

    // Where the page image goes there is a folder: the row stays as it was too.
    const QString path = DocumentImagePath(kKind, 1);
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    doc.LbItem[3]->setText(QStringLiteral("変えた"));
    h.prompts.clear();
    doc.M保存[1]->trigger();
    const QString noImage = kFailed + QStringLiteral("\nページの画像を書き込めませんでした。\n") + path;
    QCOMPARE(h.prompts.messages, QStringList{noImage});
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("最初"));
    QCOMPARE(value(kKind, 1, QStringLiteral("終了判定")).toInt(), 0);
    QCOMPARE(QDir(DocumentImageFolder(kKind)).entryList(QDir::Files | QDir::Hidden), QStringList());

    // The close question says it the same way and keeps the document.
    h.prompts.clear();
    h.prompts.answers = {true, false};
    QVERIFY(!UnloadFM());
    QCOMPARE(h.prompts.asked, (QStringList{kAsk, noImage}));
    QCOMPARE(fm(), &doc);
}

void TestSaveGlue::oversizedPagesAndTablesAreRefusedAtOpening()
{
    GlueHome h;
    FM &doc = h.build();
    // Ten A4 pages' worth is the most either way.
    h.home.writeIni(QStringLiteral("巨大"), QStringLiteral("[DATA]\r\nWidth=9000\r\nHeight=10000000\r\n"));
    h.home.writeIni(QStringLiteral("横長"), QStringLiteral("[DATA]\r\nWidth=119061\r\nHeight=9000\r\n"));
    h.prompts.clear();
    QVERIFY(!BuildDocument(QStringLiteral("巨大")));
    QVERIFY(!BuildDocument(QStringLiteral("横長")));
    QCOMPARE(h.prompts.messages,
             QStringList({QStringLiteral("書類の大きさ（幅 9000、高さ 10000000 twip）が上限（幅 119060、高さ 168380 twip）を超えているため、開けません。"),
                          QStringLiteral("書類の大きさ（幅 119061、高さ 9000 twip）が上限（幅 119060、高さ 168380 twip）を超えているため、開けません。")}));
    QCOMPARE(fm(), &doc);
    QCOMPARE(doc.Tag, kKind);
    QVERIFY(!TableNames().contains(QStringLiteral("巨大")));

    // More tagged fields than a table can have columns: said when the document opens.
    QStringList lines{QStringLiteral("[DATA]"), QStringLiteral("Width=9000"), QStringLiteral("Height=9000")};
    for (int i = 0; i < MaxTableColumns(); ++i)
        lines << QStringLiteral("lbItem_%1=0|0|100|100|0||ＭＳ 明朝|10|0|%1|欄%1|1|").arg(i);
    h.home.writeIni(QStringLiteral("欄だらけ"), lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    h.prompts.clear();
    QVERIFY(BuildDocument(QStringLiteral("欄だらけ")));
    QCOMPARE(h.prompts.messages,
             QStringList{QStringLiteral("この書類の表を作れないため、保存できません。\n"
                                        "入力欄とチェックボックスが多すぎます（表の列 %1、データベースの上限 %2）。")
                             .arg(MaxTableColumns() + 5)
                             .arg(MaxTableColumns())});
    QCOMPARE(fm()->LbItem.size(), MaxTableColumns());
}

void TestSaveGlue::documentChangedElsewhereIsKeptAndSavedAsNew()
{
    GlueHome h;
    FM &doc = h.build();
    GlueHome::type(doc, 3, QStringLiteral("初診"));
    doc.M保存[0]->trigger();
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("1"));

    // Another workstation reopens document 1 and saves it first.
    DocumentData other = CollectDocument(doc);
    QVERIFY(LoadSavedDocument(kKind, 1, other));
    other.fields[3].text = QStringLiteral("他端末で追記");
    QVERIFY(SaveDocument(other, QStringLiteral("1")));

    GlueHome::type(doc, 3, QStringLiteral("失われてはならない"));
    h.prompts.messages.clear();
    h.prompts.answers = {true}; // the other workstation finished it
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("この書類は他の端末で更新されています。保存できませんでした。")});
    QCOMPARE(fm(), &doc);
    QCOMPARE(doc.LbItem[3]->text(), QStringLiteral("失われてはならない"));
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("他端末で追記"));
    QCOMPARE(rows(kKind), 1);

    // The same window saves it as a new document, without retyping.
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages.last(), kSaved);
    QCOMPARE(doc.Lb登録番号->text(), QStringLiteral("2"));
    QCOMPARE(value(kKind, 2, QStringLiteral("所見")).toString(), QStringLiteral("失われてはならない"));
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("他端末で追記"));

    // Overtaken on closing: the question's save says so and the window stays.
    DocumentData third = CollectDocument(doc);
    QVERIFY(LoadSavedDocument(kKind, 2, third));
    QVERIFY(SaveDocument(third, QStringLiteral("0")));
    GlueHome::type(doc, 3, QStringLiteral("閉じる前"));
    h.prompts.answers = {true};
    QVERIFY(!UnloadFM());
    QCOMPARE(h.prompts.messages.last(), QStringLiteral("この書類は他の端末で更新されています。保存できませんでした。"));
    QCOMPARE(doc.LbItem[3]->text(), QStringLiteral("閉じる前"));
    h.prompts.answers = {true};
    QVERIFY(UnloadFM());
    QCOMPARE(rows(kKind), 3);
    QCOMPARE(value(kKind, 3, QStringLiteral("所見")).toString(), QStringLiteral("閉じる前"));
}

QTEST_MAIN(TestSaveGlue)
#include "test_save_glue.moc"

namespace {
QStringList g_warnings;
void keepWarning(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << text;
}
} // namespace

void TestSaveGlue::saveReopenAndDeleteWriteNoWarning()
{
    GlueHome h;
    g_warnings.clear();
    const QtMessageHandler before = qInstallMessageHandler(keepWarning);
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("静か"));
    doc.M保存[0]->trigger();
    fhead()->M履歴[0]->trigger();
    fm()->M保存[1]->trigger();
    QVERIFY(UnloadFM());
    QVERIFY(DeleteSavedDocument(kKind, 1));
    qInstallMessageHandler(before);
    QCOMPARE(h.prompts.messages, (QStringList{kSaved, kSaved}));
    QCOMPARE(rows(kKind), 0);
    QCOMPARE(g_warnings, QStringList());
}

void TestSaveGlue::serverRestartBetweenSavesStrandsNothing()
{
    if (!TestOnServer())
        QSKIP("needs the test server");
    GlueHome h;
    FM &doc = h.build();
    doc.LbItem[3]->setText(QStringLiteral("一回目"));
    doc.M保存[0]->trigger();
    QVERIFY(pgCtl({QStringLiteral("restart"), QStringLiteral("-m"), QStringLiteral("fast")}));
    doc.LbItem[3]->setText(QStringLiteral("再起動の後"));
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, (QStringList{kSaved, kSaved}));
    QCOMPARE(value(kKind, 1, QStringLiteral("所見")).toString(), QStringLiteral("再起動の後"));
    // The history's statements, kept prepared on the connection before the
    // restart, are prepared again on the new one.
    QCOMPARE(LoadPatientHistory().size(), 1);

    // While the server is down the save is told why and stores nothing; once
    // it is back the next save goes through.
    QVERIFY(pgCtl({QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("fast")}));
    h.prompts.clear();
    doc.LbItem[3]->setText(QStringLiteral("止まっている間"));
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages,
             QStringList{kFailed + QStringLiteral("\nサーバーに接続できません: サーバーに届きません（止まっているか、アドレスが違います）。")});
    QVERIFY(pgCtl({QStringLiteral("start"), QStringLiteral("-o"),
                   QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -c max_connections=60")
                       .arg(QString::fromLocal8Bit(qgetenv("RYDOL_PG_DIR")))}));
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages.last(), kSaved);
    QCOMPARE(rows(kKind), 1);
    QCOMPARE(value(kKind, 1, QStringLiteral("終了判定")).toInt(), 1);
}

void TestSaveGlue::serverRefusalsSayWhy()
{
    if (!TestOnServer())
        QSKIP("the embedded file holds any length and knows no users");
    GlueHome h;
    FM &doc = h.build();
    doc.LbItem[3]->setText(QString(256, u'長'));
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{kFailed + QStringLiteral("\n所見 の値が長すぎます（256 文字、上限 255 文字）。")});

    // A user who may read the documents but not add any.
    const QString clerk = QStringLiteral("clerk_%1").arg(QCoreApplication::applicationPid());
    QSqlQuery q(gDB());
    QVERIFY(q.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(clerk)));
    QVERIFY(q.exec(QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO %1").arg(clerk)));
    QVERIFY(q.exec(QStringLiteral("REVOKE INSERT ON %1 FROM %2").arg(QuoteIdent(kKind), clerk)));
    StoreLocation location = ParseStoreLocation(h.home.serverUrl());
    location.user = clerk;
    QVERIFY(OpenServer(location));
    h.prompts.clear();
    doc.LbItem[3]->setText(QStringLiteral("短い"));
    doc.M保存[0]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{kFailed + QStringLiteral("\nデータベースの権限がありません（permission denied for table 紹介状）。")});
    QCOMPARE(rows(kKind), 0);
}
