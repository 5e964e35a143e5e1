#include "AppHome.h"
#include "PdfPages.h"
#include "PreviewPages.h"
#include "SampleForms.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "app/ui/FHead.h"
#include "ui/Fonts.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "printing/PageRender.h"
#include "printing/PageSplit.h"
#include "printing/ui/FMPrintable.h"
#include "printing/ui/Fプリンタ選択.h"
#include "printing/ui/PrintHooks.h"
#include "printing/ui/PrintJob.h"
#include "printing/ui/Fプレビュー.h"
#include "storage/UserSettings.h"
#include "templates/ui/BuildDocument.h"

#include <QDialog>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPlan = QStringLiteral("入院診療計画書");
const QColor kFrameColour(128, 160, 255);
const QColor kMarkerColour(0, 0, 160);

// The sample home with the main window loaded and the two-page plan built.
struct PlanHome : AppHome
{
    PlanHome()
        : AppHome(true)
    {
        setDoctor(QStringLiteral("1"), QStringLiteral("山田　太郎"));
        PatientID = QStringLiteral("12");
        PatientName = QStringLiteral("佐藤　花子");
        loadMainWindow();
    }
    FM *build() { return AppHome::build(kPlan); }
};

// Pixels within a few steps of colour c.
int PixelsNear(const QImage &image, const QColor &c)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            n += std::abs(qRed(p[x]) - c.red()) < 24 && std::abs(qGreen(p[x]) - c.green()) < 24
                 && std::abs(qBlue(p[x]) - c.blue()) < 24;
    }
    return n;
}

// Everything on the page that must come back unchanged after printing.
struct PageState
{
    QList<QRect> geometries;
    QList<bool> shown;
    QList<bool> frames, pageLines;
    QImage surface;
    bool operator==(const PageState &) const = default;
};

PageState StateOf(FM &doc)
{
    PageState s;
    for (auto *family : {&doc.Label, &doc.LbItem, &doc.LbKanja_Data, &doc.LbList, &doc.ImgCheck})
        for (const DocLabel *e : *family) {
            s.geometries << e->geometry();
            s.shown << !e->isHidden();
        }
    for (const DocShape &f : doc.Shape枠)
        s.frames << f.visible;
    for (const DocLine &l : doc.LinePage)
        s.pageLines << l.visible;
    s.surface = doc.surface().copy();
    return s;
}

// The band [top, top + height) of the page as the screen shows it with the
// frames, markers and page lines switched off by hand.
QImage ScreenWithoutAids(FM &doc, int top, int height)
{
    QList<bool> frames, markers, lines;
    for (DocShape &f : doc.Shape枠)
        frames << std::exchange(f.visible, false);
    for (DocLabel *m : doc.LbList) {
        markers << !m->isHidden();
        m->hide();
    }
    for (DocLine &l : doc.LinePage)
        lines << std::exchange(l.visible, false);
    const QImage band = doc.canvas()->grab(TwipsToPx(QRect(0, top, doc.pageWidth(), height))).toImage();
    for (int i = 0; i < frames.size(); ++i)
        doc.Shape枠[i].visible = frames[i];
    for (int i = 0; i < markers.size(); ++i)
        doc.LbList[i]->setVisible(markers[i]);
    for (int i = 0; i < lines.size(); ++i)
        doc.LinePage[i].visible = lines[i];
    return band;
}

} // namespace

class TestPrintDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void planExportsAsShownWithoutAidsAndComesBack();
    void aidsComeBackOnlyWhereTheyWere();
    void menuEntriesAndDialogFollowTheWindow();
    void everySampleExportsEveryElementItShows();
    void previewShowsWhatThePrinterGets();
    void pdfIsNamedAfterKindPatientAndDateInTheFolderUsedLast();
};

void TestPrintDocument::planExportsAsShownWithoutAidsAndComesBack()
{
    PlanHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    FMPrintable &printable = FMPrintable::of(*doc);
    QCOMPARE(&FMPrintable::of(*doc), &printable);
    QCOMPARE(printable.printTitle(), kPlan);
    QCOMPARE(printable.pageSizeTwips(), QSize(11900, 33680));
    QVERIFY(printable.hasPageLines());
    QCOMPARE(printable.pageLineOrdinates(), QList<int>{16840});
    const QList<PrintSheet> sheets = SplitPages(printable.pageLineOrdinates(), 33680, 1);
    QCOMPARE(sheets.size(), 2);

    // A drawing on the surface of page 2, and text typed into the 備考 field
    // whose editor is still open.
    QPainter(&doc->surface()).fillRect(TwipsToPx(QRect(8000, 30000, 2000, 1500)), QColor(0, 120, 0));
    doc->refreshCanvas();
    const int remarks = doc->LbItem.indexOf(doc->LI(QStringLiteral("備考")));
    QVERIFY(remarks >= 0);
    doc->OpenEditor(remarks);
    const QString typed = QStringLiteral("退院後は外来で経過を観察します。食事療法を継続してください。");
    doc->TxtInput->setText(typed);
    const PageState before = StateOf(*doc);
    QVERIFY(before.frames.contains(true) && before.pageLines.contains(true));

    // The colours looked for below do show on screen.
    const QImage withAids = doc->canvas()->grab().toImage();
    QVERIFY(PixelsNear(withAids, kFrameColour) > 100);
    QVERIFY(PixelsNear(withAids, kMarkerColour) > 10);
    QVERIFY(RedPixels(withAids) > 100);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(kPlan + QStringLiteral(".pdf"));
    QVERIFY(ExportPdf(printable, pdf));

    // Typed text is committed, the editor stays closed, nothing else moved.
    QCOMPARE(doc->LbItem[remarks]->text(), typed);
    QVERIFY(doc->TxtInput->isHidden());
    QVERIFY(StateOf(*doc) == before);

    QCOMPARE(PdfPageCount(pdf), int(sheets.size()));
    // Of the drawing surface only the drawing is on paper, not a page-sized
    // picture of white (which made every page several times slower to make).
    QList<QSize> large;
    for (const PdfPicture &picture : PdfPictures(pdf))
        if (picture.size.width() > 40 || picture.size.height() > 40)
            large << picture.size;
    QCOMPARE(large, QList<QSize>{TwipsToPx(QRect(8000, 30000, 2000, 1500)).size()});
    for (int i = 0; i < sheets.size(); ++i) {
        const QImage page = PdfPageImage(pdf, i + 1);
        QVERIFY(!page.isNull());
        const QImage screen = ScreenWithoutAids(*doc, sheets[i].top, sheets[i].height);
        const QImage other = ScreenWithoutAids(*doc, sheets[1 - i].top, sheets[1 - i].height);
        QPoint at;
        const double diff = PageDifference(page, screen, &at);
        QVERIFY2(diff < 6 && diff * 2 < PageDifference(page, other),
                 qPrintable(QStringLiteral("page %1 differs by %2").arg(i + 1).arg(diff)));
        QCOMPARE(at, QPoint(0, 0));
        QCOMPARE(PixelsNear(page, kFrameColour), 0);
        QCOMPARE(PixelsNear(page, kMarkerColour), 0);
        QCOMPARE(RedPixels(page), 0);
        if (i == 1) {
            const QRect field = TwipsToPx(doc->LbItem[remarks]->twips().translated(0, -sheets[1].top));
            QVERIFY2(InkShare(page.copy(field)) > 0.01, "the typed text is missing from the page");
            const QRect drawing = TwipsToPx(QRect(8000, 30000 - sheets[1].top, 2000, 1500));
            QVERIFY(PixelsNear(page.copy(drawing.adjusted(4, 4, -4, -4)), QColor(0, 120, 0)) > 1000);
        }
    }
}

void TestPrintDocument::aidsComeBackOnlyWhereTheyWere()
{
    PlanHome h;
    FM *doc = h.build();
    QVERIFY(doc);
    FMPrintable &printable = FMPrintable::of(*doc);
    // A marker and a frame that were not showing stay hidden after printing,
    // however often the aids are hidden in between.
    doc->LbList[1]->hide();
    doc->Shape枠[2].visible = false;
    DocLabel *spare = doc->LoadLbList(doc->LbList.size());
    QVERIFY(spare->isHidden());
    const PageState before = StateOf(*doc);
    printable.setEditingAidsVisible(false);
    for (const DocLabel *m : doc->LbList)
        QVERIFY(m->isHidden());
    for (const DocShape &f : doc->Shape枠)
        QVERIFY(!f.visible);
    QVERIFY(!doc->LinePage[0].visible);
    printable.setEditingAidsVisible(false);
    printable.setEditingAidsVisible(true);
    QVERIFY(StateOf(*doc) == before);
    // Showing without hiding first changes nothing.
    printable.setEditingAidsVisible(true);
    QVERIFY(StateOf(*doc) == before);

    // Only an open editor is committed: a closed one may hold stale text.
    const int ward = doc->LbItem.indexOf(doc->LI(QStringLiteral("病棟")));
    doc->OpenEditor(ward);
    doc->TxtInput->setText(QStringLiteral("古い文字"));
    doc->TxtInput->hide();
    doc->LbItem[ward]->setText(QStringLiteral("東3病棟"));
    printable.hideEditor();
    QCOMPARE(doc->LbItem[ward]->text(), QStringLiteral("東3病棟"));
    QVERIFY(doc->TxtInput->isHidden());
    printable.setEditingAidsVisible(false);
    printable.setEditingAidsVisible(true);
    QVERIFY(doc->TxtInput->isHidden());
}

void TestPrintDocument::menuEntriesAndDialogFollowTheWindow()
{
    PlanHome h;
    InstallPrintHooks();
    QVERIFY(docHooks().showPrintDialog && docHooks().exportPdf);
    FM *doc = h.build();
    QVERIFY(doc);
    const QList<QAction *> entries = doc->MAction->actions();
    QVERIFY(entries.size() > 2);
    QCOMPARE(entries[0], doc->M印刷);
    QCOMPARE(entries[1], doc->MPDF出力);
    QCOMPARE(entries[1]->text(), QStringLiteral("PDFに出力"));

    int exports = 0;
    docHooks().exportPdf = [&exports] { ++exports; };
    doc->MPDF出力->trigger();
    QCOMPARE(exports, 1);

    doc->M印刷->trigger();
    QPointer<QDialog> dialog = doc->findChild<QDialog *>();
    QVERIFY(dynamic_cast<Fプリンタ選択 *>(dialog.data()));
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());

    // The document window goes (a new document, closing): the dialog goes too.
    doc->更新チェック更新();
    QVERIFY(UnloadFM());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!dialog);
}

void TestPrintDocument::everySampleExportsEveryElementItShows()
{
    const QStringList kinds = SampleKinds();
    for (const QString &kind : {QStringLiteral("紹介状"), QStringLiteral("診断書"), kPlan, QStringLiteral("経過報告書")})
        QVERIFY2(kinds.contains(kind), qPrintable(kinds.join(u' ')));
    SampleFormsHome h;
    QTemporaryDir dir;
    int undrawn = 0;
    for (const QString &kind : kinds) {
        FM *doc = h.buildFilled(kind);
        QVERIFY2(doc, qPrintable(kind));
        FMPrintable &printable = FMPrintable::of(*doc);
        const QList<PrintSheet> sheets = DocumentSheets(printable, 1);
        const QList<PageElement> elements = InkedElements(*doc);
        const QString pdf = dir.filePath(kind + QStringLiteral(".pdf"));
        const bool wasUndrawn = doc->drawnSurface().isNull();
        undrawn += wasUndrawn;
        QVERIFY(ExportPdf(printable, pdf));
        // Printing a page nothing was drawn on makes no page-sized picture of it.
        QCOMPARE(doc->drawnSurface().isNull(), wasUndrawn);
        QCOMPARE(PdfPageCount(pdf), int(sheets.size()));
        for (int i = 0; i < sheets.size(); ++i) {
            const QImage screen = ScreenBand(*doc, sheets[i].top, sheets[i].height);
            const QImage paper = PdfPageImage(pdf, i + 1);
            QVERIFY(!paper.isNull());
            const QStringList missing = ElementsMissingOnPaper(screen, paper, QPoint(0, 0), elements, sheets[i].top);
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("%1 page %2 lacks on paper:\n").arg(kind).arg(i + 1)
                                                   + missing.join(u'\n')));
            // Nothing runs beyond its page: elements crossing the page line
            // or the page's edge are cut there as on screen.
            QCOMPARE(InkOutsideBand(paper, QPoint(0, 0), screen.size()), 0.0);
        }
        if (qEnvironmentVariableIsSet("RYDOL_KEEP_PDF"))
            QFile::copy(pdf, qEnvironmentVariable("RYDOL_KEEP_PDF") + u'/' + kind + QStringLiteral(".pdf"));
    }
    QVERIFY(undrawn > 0);
}

void TestPrintDocument::previewShowsWhatThePrinterGets()
{
    // The two-page sample of our own, filled in: the preview has the pages of
    // the PDF, and they show everything the screen shows.
    SampleFormsHome h;
    FM *doc = h.buildFilled(QStringLiteral("経過報告書"));
    QVERIFY(doc);
    FMPrintable &printable = FMPrintable::of(*doc);
    const QList<PrintSheet> sheets = DocumentSheets(printable, 1);
    QCOMPARE(sheets.size(), 2);
    const QList<PageElement> elements = InkedElements(*doc);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("経過報告書.pdf"));
    QVERIFY(ExportPdf(printable, pdf));

    QPointer<Fプレビュー> preview = new Fプレビュー(&printable, ExportPageLayout(printable), {}, doc);
    preview->show();
    QCOMPARE(preview->pageCount(), PdfPageCount(pdf));
    for (int i = 0; i < sheets.size(); ++i) {
        const QImage shown = PreviewPageImage(*preview, i + 1);
        const QImage printed = PdfPageImage(pdf, i + 1);
        // The same paper, give or take the rounding of its last pixel.
        QVERIFY(std::abs(shown.width() - printed.width()) <= 1 && std::abs(shown.height() - printed.height()) <= 1);
        QPoint at;
        const double diff = PageDifference(printed, shown, &at);
        QVERIFY2(diff < 2 && diff * 2 < PageDifference(PdfPageImage(pdf, 2 - i), shown),
                 qPrintable(QStringLiteral("preview page %1 differs by %2").arg(i + 1).arg(diff)));
        QCOMPARE(at, QPoint(0, 0));
        const QImage screen = ScreenBand(*doc, sheets[i].top, sheets[i].height);
        const QStringList missing = ElementsMissingOnPaper(screen, shown, QPoint(0, 0), elements, sheets[i].top);
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("preview page %1 lacks:\n").arg(i + 1) + missing.join(u'\n')));
    }
    QVERIFY(doc->Shape枠[0].visible);
    preview->Cmd戻る_Click();
    QTRY_VERIFY(preview.isNull());
}

void TestPrintDocument::pdfIsNamedAfterKindPatientAndDateInTheFolderUsedLast()
{
    PlanHome h;
    ScriptedPrompter &prompts = h.prompts;
    FM *doc = h.build();
    QVERIFY(doc);
    FMPrintable &printable = FMPrintable::of(*doc);
    doc->LI(QStringLiteral("日付Y"))->setText(QStringLiteral("2006"));
    doc->LI(QStringLiteral("日付M"))->setText(QStringLiteral("04"));
    doc->LI(QStringLiteral("日付D"))->setText(QStringLiteral("05"));
    const QString name = QStringLiteral("入院診療計画書_12_佐藤花子_20060405.pdf");
    QTemporaryDir home, dir;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", realHome); });
    const auto folderUsedLast = [] {
        return GetSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("PdfFolder"));
    };

    // At first in the home folder, or in Documents where there is one. A name
    // without the suffix gets it.
    ExportPdfWithDialog(printable);
    QCOMPARE(prompts.proposedFiles, QStringList{home.filePath(name)});
    QCOMPARE(prompts.titles, QStringList{QStringLiteral("PDFに出力")});
    QVERIFY(prompts.messages.isEmpty()); // cancelled: nothing written, nothing said
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    prompts.clear();
    prompts.files << dir.filePath(QStringLiteral("計画書"));
    ExportPdfWithDialog(printable);
    QCOMPARE(prompts.proposedFiles, QStringList{home.filePath(QStringLiteral("Documents/") + name)});
    const QString written = dir.filePath(QStringLiteral("計画書.pdf"));
    QCOMPARE(PdfPageCount(written), 2);
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("PDFを保存しました。\n") + written});

    // Then in the folder used last, remembered for the user.
    QCOMPARE(folderUsedLast(), dir.path());
    prompts.clear();
    ExportPdfWithDialog(printable);
    QCOMPARE(prompts.proposedFiles, QStringList{dir.filePath(name)});

    // A folder that cannot be written to: the user is told so and why; the
    // page comes back and the folder used last stays.
    // (The kernel's process folder takes no new files, not even from root.)
    const QString target = QStringLiteral("/proc/計画書.pdf");
    prompts.clear();
    prompts.files << target;
    ExportPdfWithDialog(printable);
    QCOMPARE(prompts.messages,
             QStringList{QStringLiteral("PDFを保存できませんでした。\nこのフォルダにはファイルを作れません。")});
    QVERIFY(!QFile::exists(target));
    QCOMPARE(folderUsedLast(), dir.path());
    QVERIFY(doc->Shape枠[0].visible);

    // A folder used last that is gone: back to Documents. A document without
    // a date is dated today; without a patient the name has no patient.
    SaveSetting(QStringLiteral("RL"), QStringLiteral("ST"), QStringLiteral("PdfFolder"), dir.filePath(QStringLiteral("消えた")));
    doc->LI(QStringLiteral("日付M"))->setText(QString());
    PatientID.clear();
    PatientName.clear();
    doc->患者番号.clear();
    doc->患者名.clear();
    prompts.clear();
    ExportPdfWithDialog(printable);
    QCOMPARE(prompts.proposedFiles,
             QStringList{home.filePath(QStringLiteral("Documents/入院診療計画書_%1.pdf")
                                           .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))))});
}

QTEST_MAIN(TestPrintDocument)
#include "test_print_document.moc"
