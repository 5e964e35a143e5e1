// The kept versions of a document can be listed, looked at read-only and
// printed as what they are; a finished document is not changed unasked.
#include "AppHome.h"
#include "PdfPages.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/KeptVersions.h"
#include "persistence/ui/F版一覧.h"
#include "persistence/ui/PersistenceHooks.h"
#include "printing/PageRender.h"
#include "printing/ui/FMPrintable.h"
#include "ui/Navigation.h"

#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kKind = QStringLiteral("紹介状");
const QString kFinishedAsk = QStringLiteral("この書類は終了データです。変更すると新しい版として保存されます。よろしいですか？");

struct VersionHome : AppHome
{
    VersionHome()
    {
        setDoctor(QString::number(home.addDoctor(QStringLiteral("山田　太郎"))), QStringLiteral("山田　太郎"));
        admit(kPatientSato);
        admit(kPatientTanaka);
        LookupPatient(kPatientSato.id);
        home.copyCheckIcons();
        writeTemplate(kKind, {QStringLiteral("Width=6000"), QStringLiteral("Height=4000"),
                              QStringLiteral("lbItem_0=300|300|3000|255|0||ＭＳ 明朝|10|0|1|所見|1|"),
                              QStringLiteral("ImgCheck_0=300|900|240|240|同意|0")});
        InstallPersistenceHooks();
        nav().showMainWindow = [] { ShowMainWindow(); };
        loadMainWindow(true);
    }
    // Saves text and a page of colour as state (0 or 1).
    static void save(FM &doc, const QString &text, QRgb colour, int state)
    {
        doc.LbItem[0]->setText(text);
        doc.surface().fill(colour);
        doc.M保存[state]->trigger();
    }
};

} // namespace

class TestVersions : public QObject
{
    Q_OBJECT

private slots:
    void oldVersionIsListedShownReadOnlyAndPrintedAsSuch();
    void savingAFinishedDocumentAgainAsksFirst();
};

void TestVersions::oldVersionIsListedShownReadOnlyAndPrintedAsSuch()
{
    VersionHome h;
    FM &doc = *h.build(kKind);
    VersionHome::save(doc, QStringLiteral("初診"), qRgb(255, 0, 0), 0);
    VersionHome::save(doc, QStringLiteral("再診"), qRgb(0, 255, 0), 0);
    VersionHome::save(doc, QStringLiteral("軽快"), qRgb(0, 0, 255), 1);

    // The history's context menu offers the list of versions.
    QTreeWidget *history = fhead()->LV履歴;
    const QPoint at = history->visualRect(history->model()->index(0, 0)).center();
    emit history->customContextMenuRequested(at);
    QMenu *menu = history->findChild<QMenu *>();
    QVERIFY(menu && menu->actions().size() == 1 && menu->actions()[0]->text() == QStringLiteral("版の一覧"));
    menu->actions()[0]->trigger();
    F版一覧 *versions = F版一覧::current();
    QVERIFY(versions && versions->LV版->topLevelItemCount() == 3);
    for (const QString &row : {QStringLiteral("1△"), QStringLiteral("2△"), QStringLiteral("3○")}) {
        const QTreeWidgetItem *item = versions->LV版->topLevelItem(row.left(1).toInt() - 1);
        QCOMPARE(item->text(F版一覧::Col版) + item->text(F版一覧::Col状態), row);
        QCOMPARE(item->text(F版一覧::Col医師), QStringLiteral("山田　太郎"));
        QVERIFY(!item->text(F版一覧::Col日時).isEmpty());
    }

    // Opened from another patient's bar, version 1 comes with its own patient, read-only.
    LookupPatient(kPatientTanaka.id);
    versions->LV版->setCurrentItem(versions->LV版->topLevelItem(0));
    versions->Cmd開く->click();
    QCOMPARE(PatientID, kPatientSato.id);
    FM *old = fm();
    QVERIFY(old && old->OldVersion == 1);
    QCOMPARE(old->windowTitle(), QStringLiteral("紹介状 第1版（旧版）"));
    QCOMPARE(old->LbItem[0]->text(), QStringLiteral("初診"));
    QCOMPARE(old->surface().pixel(5, 5), qRgb(255, 0, 0));
    QVERIFY(!old->M保存[0]->isEnabled() && !old->M保存[1]->isEnabled());
    old->LbItem_Click(0);
    old->ImgCheck_Click(0);
    QVERIFY(!old->TxtInput.ifMade() || old->TxtInput->isHidden());
    QCOMPARE(old->ImgCheck[0]->DataField, QStringLiteral("0"));

    // Its PDF says which version it is, and is named as that version.
    QVERIFY2(FMPrintable::of(*old).pdfFileName().endsWith(QStringLiteral("_第1版.pdf")),
             qPrintable(FMPrintable::of(*old).pdfFileName()));
    const QString pdf = h.home.folder() + QStringLiteral("/old.pdf");
    QVERIFY(ExportPdf(FMPrintable::of(*old), pdf));
    QVERIFY(PdfText(pdf).contains(QStringLiteral("第1版（旧版） 印刷日 ") + QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))));

    // Nothing it holds is saved, and it closes without a question.
    old->M保存_Click(1);
    old->LbItem[0]->setText(QStringLiteral("書き換え"));
    h.prompts.clear();
    QVERIFY(UnloadFM());
    QVERIFY(h.prompts.asked.isEmpty());
    QCOMPARE(KeptVersions(kKind, 1).size(), 3);

    // The newest version is the document itself, editable as ever.
    QVERIFY(OpenKeptVersion(kKind, 1, 3));
    QVERIFY(fm() && !fm()->OldVersion && fm()->LbItem[0]->text() == QStringLiteral("軽快"));
    QVERIFY(FMPrintable::of(*fm()).footerLine().isEmpty());
    QVERIFY(!FMPrintable::of(*fm()).pdfFileName().contains(QStringLiteral("版")));
}

void TestVersions::savingAFinishedDocumentAgainAsksFirst()
{
    VersionHome h;
    FM &doc = *h.build(kKind);
    VersionHome::save(doc, QStringLiteral("確定"), qRgb(255, 255, 255), 1);
    h.prompts.clear();

    // No stores nothing and says nothing, from the menu and from the close question alike.
    VersionHome::save(doc, QStringLiteral("変更"), qRgb(255, 255, 255), 0);
    QCOMPARE(h.prompts.questions, QStringList{kFinishedAsk});
    QVERIFY(h.prompts.messages.isEmpty());
    h.prompts.answers = {true, false};
    QVERIFY(!UnloadFM());
    QCOMPARE(h.prompts.questions.last(), kFinishedAsk);
    QVERIFY(h.prompts.messages.isEmpty());
    QCOMPARE(KeptVersions(kKind, 1).size(), 1);

    h.prompts.clear();
    h.prompts.answers = {true};
    doc.M保存[1]->trigger();
    QCOMPARE(h.prompts.messages, QStringList{QStringLiteral("保存しました")});
    QCOMPARE(RowValueOf(KeptVersions(kKind, 1).last().values, QStringLiteral("所見")), QStringLiteral("変更"));
}

QTEST_MAIN(TestVersions)
#include "test_versions.moc"
