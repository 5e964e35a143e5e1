#include "PdfPages.h"
#include "PreviewPages.h"
#include "SampleDocument.h"
#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "ui/Fonts.h"
#include "printing/PageRender.h"
#include "printing/PageSplit.h"
#include "printing/PdfName.h"
#include "printing/ui/Fプレビュー.h"
#include "printing/ui/Fプリンタ選択.h"
#include "printing/ui/PrintJob.h"
#include "storage/Ini.h"
#include "app/Units.h"
#include "document/ui/DocElements.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct PrintCall
{
    QString printer;
    int copies;
};
QList<PrintCall> g_calls;
bool g_printResult = true;

bool fakePrint(PrintableDocument &, const QString &printer, int copies, QString *error)
{
    g_calls << PrintCall{printer, copies};
    if (!g_printResult && error)
        *error = QStringLiteral("テスト");
    return g_printResult;
}

// A printer selection for doc that offers printers, the first the system's
// default, and prints through fakePrint.
Fプリンタ選択 *FakePrinterDialog(PrintableDocument &doc, const QStringList &printers, QWidget *parent = nullptr)
{
    auto *dlg = new Fプリンタ選択(&doc, parent);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters(printers, printers.value(0));
    return dlg;
}

QString storedPrinter()
{
    return ReadIni(QStringLiteral("setting"), QStringLiteral("Printer"));
}

// A page of widgets, 10800 x 16200 twips, with page lines where given.
class WidgetPage : public QWidget, public PrintableDocument
{
public:
    explicit WidgetPage(const QList<int> &pageLines = {}, int heightTwips = 16200)
        : m_lines(pageLines)
    {
        resize(TwipsToPx(QPoint(10800, heightTwips)).x(), TwipsToPx(QPoint(0, heightTwips)).y());
    }
    QSize pageSizeTwips() const override { return QSize(int(PxToTwips(width())), int(PxToTwips(height()))); }
    bool hasPageLines() const override { return !m_lines.isEmpty(); }
    QList<int> pageLineOrdinates() const override { return m_lines; }
    void setEditingAidsVisible(bool) override {}
    void hideEditor() override {}
    void render(QPainter &painter, const QRect &source) override { RenderWidgetTwips(this, painter, source); }

    // A label of the document at twips.
    DocLabel *label(const QRect &twips, const QString &text)
    {
        auto *l = new DocLabel(this, 0);
        l->setFontName(QStringLiteral("ＭＳ Ｐ明朝"));
        l->setFontSize(10.5);
        l->setTwips(twips);
        l->setText(text);
        l->show();
        return l;
    }

private:
    QList<int> m_lines;
};

// The smallest rectangle holding every pure white pixel.
QRect WhiteBounds(const QImage &image)
{
    QRect white;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == 0xffffffffu)
                white |= QRect(x, y, 1, 1);
    return white;
}

const QString kOverflow = QStringLiteral("この文は枠よりずっと長いので、折り返しても枠の下にはみ出します。折り返した残りは切れます。");

// Share of ink in the part twips of a page rasterised at screen resolution.
double InkAt(const QImage &page, const QRect &twips)
{
    return InkShare(page.copy(TwipsToPx(twips)));
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void init()
    {
        g_calls.clear();
        g_printResult = true;
    }

    void copiesText_data();
    void copiesText();
    void pagesFollowPageLinesEachPageCopiesInARow();
    void pagesWithoutPageLinesOrOddOrdinates();
    void printerChoice();

    void printingHidesAidsAndPutsEverythingBack();
    void printerThatIsGoneIsReportedAndDocumentRestored();
    void pdfExportMatchesTheScreenPageByPage();
    void pdfExportFailureKeepsTheOldFile();
    void textOverflowingItsBoxLeavesLaterElementsOnPaper();
    void elementsCrossingAPageLineAreCutThere();

    void dialogPreselectsStoredPrinter();
    void dialogKeepsMissingStoredPrinterUnlessAnotherIsChosen();
    void dialogWithoutPrintersOffersOnlyCancel();
    void dialogCopiesAndFailures();
    void dialogListsInstalledPrintersAndClosesWithItsDocument();
    void previewShowsThePagesAsPrintedAndPrintsFromThere();
    void previewGoesWithItsDocumentAndWorksWithoutAPrinter();
    void previewShowsOneSheetWithTheContentAtThePrintersOffset();

    void pdfFileNames();
};

void TestPrinting::copiesText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("copies");
    QTest::addColumn<QString>("up");
    QTest::addColumn<QString>("down");
    QTest::newRow("one") << "1" << 1LL << "2" << "1";
    QTest::newRow("three") << "3" << 3LL << "4" << "2";
    QTest::newRow("abc") << "abc" << 0LL << "1" << "abc";
    QTest::newRow("empty") << "" << 0LL << "1" << "";
    QTest::newRow("zero") << "0" << 0LL << "1" << "0";
    QTest::newRow("negative") << "-3" << -3LL << "1" << "-3";
    QTest::newRow("half to even 2.5") << "2.5" << 2LL << "3" << "1";
    QTest::newRow("half to even 3.5") << "3.5" << 4LL << "5" << "3";
    QTest::newRow("trailing text") << " 5部" << 5LL << "6" << "4";
    QTest::newRow("at the bound") << "99" << 99LL << "99" << "98";
    QTest::newRow("huge") << "999999" << 999999LL << "99" << "99";
    QTest::newRow("absurd") << QString(400, u'9') << (LLONG_MAX / 2) << "99" << "99";
}

void TestPrinting::copiesText()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, copies);
    QCOMPARE(CopiesFromText(text), copies);
    QTEST(CopiesUp(text), "up");
    QTEST(CopiesDown(text), "down");
}

void TestPrinting::pagesFollowPageLinesEachPageCopiesInARow()
{
    const QList<PrintSheet> sheets = SplitPages({16000, 32000}, 48000, 2);
    const QList<PrintSheet> expected{{1, 1, 0, 16000},     {1, 2, 0, 16000},
                                     {2, 1, 16000, 16000}, {2, 2, 16000, 16000},
                                     {3, 1, 32000, 16000}, {3, 2, 32000, 16000}};
    QCOMPARE(sheets, expected);
    // The last page runs to the bottom of the document.
    QCOMPARE(SplitPages({16000}, 40000, 1).last(), (PrintSheet{2, 1, 16000, 24000}));
}

void TestPrinting::pagesWithoutPageLinesOrOddOrdinates()
{
    QCOMPARE(SplitPages({}, 16000, 3),
             (QList<PrintSheet>{{1, 1, 0, 16000}, {1, 2, 0, 16000}, {1, 3, 0, 16000}}));
    QVERIFY(SplitPages({}, 16000, 0).isEmpty());
    QVERIFY(SplitPages({16000}, 32000, -3).isEmpty());
    QVERIFY(SplitPages({}, 0, 1).isEmpty());
    // Page lines are taken in element order; each page ends at the nearest
    // page line below its start.
    QCOMPARE(SplitPages({32000, 16000}, 48000, 1),
             (QList<PrintSheet>{{1, 1, 0, 16000}, {2, 1, 32000, 16000}, {3, 1, 16000, 16000}}));
    // A page line at or below the bottom makes no blank sheet.
    QCOMPARE(SplitPages({16000, 48000, 60000}, 48000, 1).size(), 2);
}

void TestPrinting::printerChoice()
{
    const QStringList installed{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    PrinterChoice c = ChoosePrinter(installed, QStringLiteral("B"), QStringLiteral("C"));
    QCOMPARE(c.index, 2);
    QVERIFY(!c.storedMissing);
    c = ChoosePrinter(installed, QStringLiteral("B"), QString());
    QCOMPARE(c.index, 1);
    QVERIFY(!c.storedMissing);
    c = ChoosePrinter(installed, QStringLiteral("B"), QStringLiteral("c"));
    QCOMPARE(c.index, 1);
    QVERIFY(c.storedMissing);
    c = ChoosePrinter(installed, QString(), QStringLiteral("Gone"));
    QCOMPARE(c.index, 0);
    c = ChoosePrinter({}, QString(), QStringLiteral("Gone"));
    QCOMPARE(c.index, -1);
}

void TestPrinting::printingHidesAidsAndPutsEverythingBack()
{
    SampleDocument doc({16200, 32400}, 40500);
    const QList<QRect> before = doc.childGeometries();
    const QImage drawingBefore = doc.grab().toImage();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        PrintAidsHidden hidden(doc);
        const QList<PrintSheet> sheets = SplitPages(doc.pageLineOrdinates(), 40500, 2);
        QVERIFY(WriteSheetsPdf(doc, sheets, ExportPageLayout(doc), &buffer));
    }
    QCOMPARE(doc.rendered,
             (QList<QRect>{QRect(0, 0, 10800, 16200), QRect(0, 0, 10800, 16200),
                           QRect(0, 16200, 10800, 16200), QRect(0, 16200, 10800, 16200),
                           QRect(0, 32400, 10800, 8100), QRect(0, 32400, 10800, 8100)}));
    QVERIFY(!doc.aidsVisibleAtRender.contains(true));
    QVERIFY(!doc.editorVisibleAtRender.contains(true));
    QCOMPARE(doc.aidsHidden, 1);
    QCOMPARE(doc.aidsShown, 1);
    QVERIFY(doc.aidsVisible);
    QVERIFY(!doc.marker->isHidden());
    QVERIFY(doc.editor->isHidden()); // the editor stays hidden, as after a commit
    QCOMPARE(doc.childGeometries(), before);
    doc.editor->show();
    QCOMPARE(doc.grab().toImage(), drawingBefore);
    QVERIFY(buffer.data().startsWith("%PDF"));
}

void TestPrinting::printerThatIsGoneIsReportedAndDocumentRestored()
{
    SampleDocument doc;
    QString error;
    QVERIFY(!PrintDocument(doc, QStringLiteral("RydolNoSuchPrinter"), 1, &error));
    QVERIFY(error.contains(QStringLiteral("RydolNoSuchPrinter")));
    QVERIFY(doc.aidsVisible);
    QCOMPARE(doc.aidsHidden, doc.aidsShown);
    // Nothing to print is not a failure, whatever the printer.
    QVERIFY(PrintDocument(doc, QStringLiteral("RydolNoSuchPrinter"), 0, &error));
    QVERIFY(doc.rendered.isEmpty());
    QVERIFY(doc.aidsVisible);
}

void TestPrinting::pdfExportMatchesTheScreenPageByPage()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("紹介状.pdf"));
    SampleDocument doc;
    QVERIFY(ExportPdf(doc, pdf));
    QVERIFY(doc.aidsVisible);
    QCOMPARE(PdfPageCount(pdf), 2);
    QVERIFY2(PdfFonts(pdf).contains(QStringLiteral("IPA")), qPrintable(PdfFonts(pdf)));

    const QList<QPair<int, int>> bands{{0, 16200}, {16200, 16200}};
    QImage pages[2];
    for (int i = 0; i < 2; ++i) {
        pages[i] = PdfPageImage(pdf, i + 1);
        QVERIFY(!pages[i].isNull());
        QCOMPARE(pages[i].size(), QSize(794, 1123)); // A4 at 96 dpi
        const QImage screen = doc.screenBand(bands[i].first, bands[i].second);
        QVERIFY(InkShare(screen) > 0.005);
        QPoint at;
        const double diff = PageDifference(pages[i], screen, &at);
        QVERIFY2(diff < 6, qPrintable(QStringLiteral("page %1 differs by %2").arg(i + 1).arg(diff)));
        QCOMPARE(at, QPoint(0, 0)); // no margins: the page starts at the corner
        QCOMPARE(RedPixels(pages[i]), 0);
    }
    if (qEnvironmentVariableIsSet("RYDOL_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("RYDOL_KEEP_PDF") + QStringLiteral("/export.pdf"));
    // The pages really are different parts of the document.
    QVERIFY(PageDifference(pages[1], doc.screenBand(0, 16200)) > 2 * PageDifference(pages[1], doc.screenBand(16200, 16200)));

    // Without page lines the whole document is one page.
    SampleDocument single({}, 15000);
    const QString one = dir.filePath(QStringLiteral("one.pdf"));
    QVERIFY(ExportPdf(single, one));
    QCOMPARE(PdfPageCount(one), 1);
}

void TestPrinting::pdfExportFailureKeepsTheOldFile()
{
    QTemporaryDir dir;
    SampleDocument doc;
    QVERIFY(!ExportPdf(doc, dir.filePath(QStringLiteral("no/such/folder/x.pdf"))));
    QVERIFY(doc.aidsVisible);
    // A document with nothing to print leaves an existing file as it was.
    const QString path = dir.filePath(QStringLiteral("old.pdf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    SampleDocument empty({}, 0);
    QVERIFY(!ExportPdf(empty, path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old"));
}

void TestPrinting::textOverflowingItsBoxLeavesLaterElementsOnPaper()
{
    // Labels whose text overflows their boxes (ours and Qt's own), then
    // elements painted after them, above and to the left of them.
    WidgetPage page;
    page.label(QRect(6000, 9000, 1500, 300), kOverflow);
    auto *qtLabel = new QLabel(kOverflow, &page);
    qtLabel->setWordWrap(true);
    qtLabel->setGeometry(TwipsToPx(QRect(6000, 11000, 1500, 300)));
    const QList<QRect> later{QRect(600, 600, 3000, 300), QRect(600, 3000, 3000, 300), QRect(3000, 6000, 2000, 450)};
    page.label(later[0], QStringLiteral("左上の項目"));
    (new QLabel(QStringLiteral("左の項目"), &page))->setGeometry(TwipsToPx(later[1]));
    (new QPushButton(QStringLiteral("×"), &page))->setGeometry(TwipsToPx(later[2]));
    page.show();

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("overflow.pdf"));
    QVERIFY(ExportPdf(page, pdf));
    const QImage paper = PdfPageImage(pdf, 1);
    for (const QRect &r : later)
        QVERIFY2(InkAt(paper, r) > 0.02, qPrintable(QStringLiteral("blank at %1,%2").arg(r.x()).arg(r.y())));
    QVERIFY(InkAt(paper, QRect(6000, 9000, 1500, 300)) > 0.02);

    // The same page rendered by hand onto a scaled printer painter that
    // holds a clip already.
    const QString clipped = dir.filePath(QStringLiteral("clipped.pdf"));
    {
        QPdfWriter writer(clipped);
        writer.setResolution(1200);
        writer.setPageLayout(ExportPageLayout(page));
        QPainter painter(&writer);
        painter.scale(1200 / 96.0, 1200 / 96.0);
        painter.setClipRect(QRect(QPoint(0, 0), page.size()));
        RenderWidgetTwips(&page, painter, QRect(QPoint(0, 0), page.pageSizeTwips()));
        painter.fillRect(TwipsToPx(QRect(600, 14000, 3000, 600)), Qt::black); // the clip is back
        painter.setClipRect(QRect(0, 0, 10, 10));
        painter.fillRect(TwipsToPx(QRect(600, 15000, 3000, 600)), Qt::black);
    }
    const QImage byHand = PdfPageImage(clipped, 1);
    for (const QRect &r : later)
        QVERIFY(InkAt(byHand, r) > 0.02);
    QVERIFY(InkAt(byHand, QRect(600, 14000, 3000, 600)) > 0.9);
    QCOMPARE(InkAt(byHand, QRect(600, 15000, 3000, 600)), 0.0);
}

void TestPrinting::elementsCrossingAPageLineAreCutThere()
{
    // A black box across the page line at 8000 twips, with text in it.
    WidgetPage page({8000});
    DocLabel *box = page.label(QRect(1500, 7400, 4500, 1200), kOverflow);
    box->setTransparent(false);
    box->setBackColor(Qt::black);
    page.show();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("cross.pdf"));
    QVERIFY(ExportPdf(page, pdf));
    QCOMPARE(PdfPageCount(pdf), 2);
    const QImage first = PdfPageImage(pdf, 1), second = PdfPageImage(pdf, 2);
    // Page 1 ends at the page line; page 2 starts with the rest of the box.
    QVERIFY(InkAt(first, QRect(1500, 7400, 4500, 600)) > 0.9);
    QCOMPARE(InkAt(first, QRect(0, 8000 + 30, 10800, 600)), 0.0);
    QVERIFY(InkAt(second, QRect(1500, 0, 4500, 600)) > 0.9);
    QCOMPARE(InkAt(second, QRect(1500, 600 + 30, 4500, 1200)), 0.0);
}

void TestPrinting::dialogPreselectsStoredPrinter()
{
    TestHome home;
    SampleDocument doc;
    WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), QStringLiteral("Laser2"));
    auto *dlg = new Fプリンタ選択(&doc);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters({QStringLiteral("Laser1"), QStringLiteral("Laser2")}, QStringLiteral("Laser1"));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("プリンタ選択"));
    QCOMPARE(dlg->Comboプリンタ名->count(), 2);
    QCOMPARE(dlg->Comboプリンタ名->itemData(1).toInt(), 1);
    QCOMPARE(dlg->currentPrinter(), QStringLiteral("Laser2"));
    QCOMPARE(dlg->Txt部数->text(), QStringLiteral("1"));
    dlg->UpDown_UpClick();
    dlg->UpDown_UpClick();
    dlg->UpDown_DownClick();
    QCOMPARE(dlg->Txt部数->text(), QStringLiteral("2"));
    emit dlg->Comboプリンタ名->activated(0);
    QPointer<QDialog> alive(dlg);
    dlg->Cmd印刷_Click();
    QCOMPARE(g_calls.size(), 1);
    QCOMPARE(g_calls[0].printer, QStringLiteral("Laser1"));
    QCOMPARE(g_calls[0].copies, 2);
    QCOMPARE(storedPrinter(), QStringLiteral("Laser1"));
    QTRY_VERIFY(alive.isNull());

    // Nothing stored: the default printer is shown and stored after printing.
    WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), QString());
    dlg = new Fプリンタ選択(&doc);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters({QStringLiteral("Laser1"), QStringLiteral("Laser2")}, QStringLiteral("Laser2"));
    QCOMPARE(dlg->currentPrinter(), QStringLiteral("Laser2"));
    dlg->Cmd印刷_Click();
    QCOMPARE(storedPrinter(), QStringLiteral("Laser2"));
}

void TestPrinting::dialogKeepsMissingStoredPrinterUnlessAnotherIsChosen()
{
    TestHome home;
    SampleDocument doc;
    WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), QStringLiteral("Ward3"));
    auto *dlg = new Fプリンタ選択(&doc);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters({QStringLiteral("Laser1"), QStringLiteral("Laser2")}, QStringLiteral("Laser2"));
    QCOMPARE(dlg->currentPrinter(), QStringLiteral("Laser2"));
    dlg->Cmd印刷_Click();
    QCOMPARE(g_calls.last().printer, QStringLiteral("Laser2"));
    QCOMPARE(storedPrinter(), QStringLiteral("Ward3"));

    dlg = new Fプリンタ選択(&doc);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters({QStringLiteral("Laser1"), QStringLiteral("Laser2")}, QStringLiteral("Laser2"));
    emit dlg->Comboプリンタ名->activated(0);
    dlg->Cmd印刷_Click();
    QCOMPARE(g_calls.last().printer, QStringLiteral("Laser1"));
    QCOMPARE(storedPrinter(), QStringLiteral("Laser1"));
}

void TestPrinting::dialogWithoutPrintersOffersOnlyCancel()
{
    TestHome home;
    SampleDocument doc;
    auto *dlg = new Fプリンタ選択(&doc);
    dlg->setPrintFunction(&fakePrint);
    dlg->loadPrinters({}, QString());
    dlg->show();
    QVERIFY(dlg->Lbプリンタなし->isVisible());
    QCOMPARE(dlg->Lbプリンタなし->text(), QStringLiteral("プリンタがありません"));
    QVERIFY(!dlg->Cmd印刷->isVisible());
    QVERIFY(dlg->Cmdキャンセル->isVisible());
    QCOMPARE(dlg->Cmdキャンセル->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QPointer<QDialog> alive(dlg);
    dlg->Cmd印刷_Click(); // even when reached, prints nothing
    QVERIFY(g_calls.isEmpty());
    QTRY_VERIFY(alive.isNull());
    QVERIFY(doc.aidsVisible);
}

void TestPrinting::dialogCopiesAndFailures()
{
    TestHome home;
    ScriptedPrompter prompts;
    SampleDocument doc;
    auto *dlg = FakePrinterDialog(doc, {QStringLiteral("Laser1")});
    QPointer<QDialog> alive(dlg);

    // Too many: refused with a word, the dialog stays for a correction.
    dlg->Txt部数->setText(QStringLiteral("999999"));
    dlg->Cmd印刷_Click();
    QVERIFY(g_calls.isEmpty());
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("部数は99部までです。")});
    QVERIFY(!alive.isNull());

    // Not a number: nothing is printed, but the printer is remembered.
    dlg->Txt部数->setText(QStringLiteral("abc"));
    dlg->Cmd印刷_Click();
    QCOMPARE(g_calls.size(), 1);
    QCOMPARE(g_calls[0].copies, 0);
    QCOMPARE(storedPrinter(), QStringLiteral("Laser1"));
    QTRY_VERIFY(alive.isNull());

    // A printer that refuses: the user is told, the document is whole again.
    dlg = new Fプリンタ選択(&doc);
    dlg->loadPrinters({QStringLiteral("RydolNoSuchPrinter")}, QString());
    prompts.clear();
    dlg->Cmd印刷_Click();
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY(prompts.messages[0].startsWith(QStringLiteral("印刷できませんでした。")));
    QVERIFY(doc.aidsVisible);
    QVERIFY(!doc.marker->isHidden());
}

void TestPrinting::dialogListsInstalledPrintersAndClosesWithItsDocument()
{
    TestHome home;
    auto *doc = new SampleDocument;
    QPointer<Fプリンタ選択> dlg = new Fプリンタ選択(doc, doc);
    const QStringList installed = QPrinterInfo::availablePrinterNames();
    QCOMPARE(dlg->Comboプリンタ名->count(), installed.size());
    for (int i = 0; i < installed.size(); ++i)
        QCOMPARE(dlg->Comboプリンタ名->itemText(i), installed[i]);
    QCOMPARE(dlg->Cmd印刷->isEnabled(), !installed.isEmpty());
    if (!installed.isEmpty() && installed.contains(QPrinterInfo::defaultPrinterName()))
        QCOMPARE(dlg->currentPrinter(), QPrinterInfo::defaultPrinterName());

    // Without a parent the dialog still follows its document away.
    QPointer<QDialog> orphan = new Fプリンタ選択(doc);
    delete doc;
    QVERIFY(dlg.isNull());
    QTRY_VERIFY(orphan.isNull());
}

void TestPrinting::previewShowsThePagesAsPrintedAndPrintsFromThere()
{
    TestHome home;
    ScriptedPrompter prompts;
    SampleDocument doc;
    auto *dlg = FakePrinterDialog(doc, {QStringLiteral("Laser1")});
    dlg->show();
    QCOMPARE(dlg->Cmdプレビュー->text(), QStringLiteral("プレビュー"));
    QVERIFY(dlg->Cmdプレビュー->isVisible());
    QVERIFY(dlg->Cmd印刷->isVisible() && dlg->Cmdキャンセル->isVisible());
    QVERIFY(dlg->Cmd印刷->isDefault());
    dlg->Txt部数->setText(QStringLiteral("2"));

    dlg->Cmdプレビュー->click();
    QPointer<Fプレビュー> preview = dlg->preview();
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("印刷プレビュー"));
    QCOMPARE(preview->windowModality(), Qt::WindowModal);
    // One copy, page by page, drawn as printing draws it: without the aids
    // and the editor; the aids come back afterwards.
    QCOMPARE(preview->pageCount(), 2);
    QCOMPARE(doc.rendered, (QList<QRect>{QRect(0, 0, 10800, 16200), QRect(0, 16200, 10800, 16200)}));
    QVERIFY(!doc.aidsVisibleAtRender.contains(true));
    QVERIFY(!doc.editorVisibleAtRender.contains(true));
    QVERIFY(doc.aidsVisible);

    // The preview's pages are the printed pages.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    QVERIFY(ExportPdf(doc, pdf));
    QCOMPARE(PdfPageCount(pdf), preview->pageCount());
    for (int page = 1; page <= 2; ++page) {
        const QImage shown = PreviewPageImage(*preview, page);
        const QImage printed = PdfPageImage(pdf, page);
        // The same paper, give or take the rounding of its last pixel.
        QVERIFY(std::abs(shown.width() - printed.width()) <= 1 && std::abs(shown.height() - printed.height()) <= 1);
        QPoint at;
        const double diff = PageDifference(printed, shown, &at);
        QVERIFY2(diff < 2 && diff * 3 < PageDifference(PdfPageImage(pdf, 3 - page), shown),
                 qPrintable(QStringLiteral("preview page %1 differs by %2").arg(page).arg(diff)));
        QCOMPARE(at, QPoint(0, 0));
        QVERIFY(InkShare(shown) > 0.001);
        QCOMPARE(RedPixels(shown), 0);
    }
    QVERIFY(PreviewPageImage(*preview, 3).isNull());

    // Turning the pages.
    QCOMPARE(preview->Lbページ->text(), QStringLiteral("1 / 2 ページ"));
    QVERIFY(!preview->Cmd前のページ->isEnabled());
    preview->Cmd次のページ->click();
    QCOMPARE(preview->currentPage(), 2);
    QCOMPARE(preview->Lbページ->text(), QStringLiteral("2 / 2 ページ"));
    QVERIFY(!preview->Cmd次のページ->isEnabled());
    preview->Cmd前のページ->click();
    QCOMPARE(preview->currentPage(), 1);
    preview->Cmd拡大->click();
    preview->Cmd次のページ->click();
    QCOMPARE(preview->Lbページ->text(), QStringLiteral("2 / 2 ページ"));
    if (qEnvironmentVariableIsSet("RYDOL_SHOT_DIR"))
        preview->grab().save(qEnvironmentVariable("RYDOL_SHOT_DIR") + QStringLiteral("/preview.png"));

    // Back: nothing is printed and the printer selection stays as it was.
    preview->Cmd戻る->click();
    QTRY_VERIFY(preview.isNull());
    QVERIFY(g_calls.isEmpty());
    QPointer<QDialog> alive(dlg);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->Txt部数->text(), QStringLiteral("2"));

    // Printing from the preview prints as 印刷 does and closes both.
    dlg->Cmdプレビュー->click();
    preview = dlg->preview();
    QVERIFY(preview);
    preview->Cmd印刷->click();
    QCOMPARE(g_calls.size(), 1);
    QCOMPARE(g_calls[0].printer, QStringLiteral("Laser1"));
    QCOMPARE(g_calls[0].copies, 2);
    QCOMPARE(storedPrinter(), QStringLiteral("Laser1"));
    QTRY_VERIFY(alive.isNull());
    QTRY_VERIFY(preview.isNull());
    QVERIFY(prompts.messages.isEmpty());
}

void TestPrinting::previewGoesWithItsDocumentAndWorksWithoutAPrinter()
{
    TestHome home;
    // Without printers the pages are shown on the PDF's paper; nothing is
    // printed from there.
    SampleDocument doc;
    auto *dlg = new Fプリンタ選択(&doc);
    dlg->loadPrinters({}, QString());
    dlg->show();
    QVERIFY(dlg->Cmdプレビュー->isVisible() && dlg->Cmdプレビュー->isDefault());
    dlg->Cmdプレビュー_Click();
    QVERIFY(dlg->preview());
    QCOMPARE(dlg->preview()->pageCount(), 2);
    QCOMPARE(dlg->preview()->pageLayout().pageSize().id(), QPageSize::A4);
    QVERIFY(dlg->preview()->Cmd印刷->isHidden());
    dlg->close();

    // The document goes while its preview is open: the preview goes too,
    // and nothing is printed.
    auto *gone = new SampleDocument;
    dlg = FakePrinterDialog(*gone, {QStringLiteral("Laser1")}, gone);
    dlg->Cmdプレビュー_Click();
    QPointer<Fプレビュー> preview = dlg->preview();
    QVERIFY(preview);
    // A second click replaces the preview rather than stacking another.
    dlg->Cmdプレビュー_Click();
    QTRY_VERIFY(preview.isNull());
    preview = dlg->preview();
    QVERIFY(preview);
    delete gone;
    QTRY_VERIFY(preview.isNull());
    QVERIFY(g_calls.isEmpty());
}

void TestPrinting::previewShowsOneSheetWithTheContentAtThePrintersOffset()
{
    // A printer that cannot print within 20 mm of the paper's left edge and
    // 15 mm of its top; a document with one inch of black at its corner.
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 10, 10),
                             QPageLayout::Millimeter);
    WidgetPage doc;
    auto *inch = new QWidget(&doc);
    inch->setGeometry(0, 0, 96, 96);
    inch->setStyleSheet(QStringLiteral("background: black"));
    QPointer<Fプレビュー> preview = new Fプレビュー(&doc, layout, {});
    preview->show();
    // The paper shown (the only white) and the inch on it, in 96ths of an inch.
    QImage shown;
    QRect paper;
    auto inchOnPaper = [&] {
        shown = preview->Preview->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        paper = WhiteBounds(shown);
        const double scale = paper.width() / (210 / 25.4 * 96);
        const QRect ink = InkBounds(shown, paper);
        return QRectF(QPointF(ink.topLeft() - paper.topLeft()) / scale, QSizeF(ink.size()) / scale);
    };
    // One sheet of A4, whole, the inch exactly where the printer puts it, and
    // nothing else on it: no outline of the printable area.
    const QRectF printed(20 / 25.4 * 96, 15 / 25.4 * 96, 96, 96);
    QRectF at = inchOnPaper();
    QVERIFY2((at.topLeft() - printed.topLeft()).manhattanLength() < 3 && std::abs(at.width() - 96) < 2
                 && std::abs(at.height() - 96) < 2,
             qPrintable(QStringLiteral("%1 x %2 at %3, %4").arg(at.width()).arg(at.height()).arg(at.x()).arg(at.y())));
    QVERIFY(std::abs(double(paper.width()) / paper.height() - 210.0 / 297) < 0.01);
    // Around it, one edge line and an even ground: no shadow.
    const QRect ground = paper.adjusted(-3, -3, 3, 3);
    QVERIFY(shown.rect().contains(ground));
    QSet<QRgb> colours;
    for (int x = ground.left(); x <= ground.right(); ++x)
        colours << shown.pixel(x, ground.top()) << shown.pixel(x, ground.bottom());
    for (int y = ground.top(); y <= ground.bottom(); ++y)
        colours << shown.pixel(ground.left(), y) << shown.pixel(ground.right(), y);
    QCOMPARE(colours.size(), 1);
    // Across the width: larger, the inch still in its place.
    const int wholeWidth = paper.width();
    preview->Cmd拡大->setChecked(true);
    QVERIFY((inchOnPaper().topLeft() - printed.topLeft()).manhattanLength() < 3 && paper.width() > wholeWidth);
    preview->close();
}

void TestPrinting::pdfFileNames()
{
    QCOMPARE(PdfFileName(QStringLiteral("紹介状"), QStringLiteral("1001"), QStringLiteral("佐藤　花子"), QDate(2026, 12, 8)),
             QStringLiteral("紹介状_1001_佐藤花子_20261208.pdf"));
    // Nothing that a file name cannot hold, and no hidden file.
    QCOMPARE(PdfFileName(QStringLiteral("..診断書"), QStringLiteral("12/3"), QStringLiteral("A:B*C?\\\t\"<>|"),
                         QDate(2006, 4, 5)),
             QStringLiteral("診断書_12_3_A_B_C_______20060405.pdf"));
    // No patient, no date: the parts are left out.
    QCOMPARE(PdfFileName(QStringLiteral("診断書"), QString(), QStringLiteral(" "), QDate()), QStringLiteral("診断書.pdf"));
    QCOMPARE(PdfFileName(QStringLiteral("診断書"), QString(), QString(), QDate(2006, 4, 5)),
             QStringLiteral("診断書_20060405.pdf"));
    QCOMPARE(PdfFileName(QString(), QString(), QString(), QDate()), QStringLiteral("document.pdf"));
    // A name far too long for a file system is shortened.
    const QString longName = PdfFileName(QStringLiteral("紹介状"), QStringLiteral("7"), QString(200, QChar(0x9577)),
                                         QDate(2006, 4, 5));
    QVERIFY(longName.toUtf8().size() < 255);
    QVERIFY(longName.endsWith(QStringLiteral("_20060405.pdf")));
    // Nor is a character of two UTF-16 units (𠮷) cut in half.
    const QString yoshi = QStringLiteral("𠮷");
    QCOMPARE(PdfFileName(QString(), QString(), QStringLiteral("田") + yoshi.repeated(15), QDate()),
             QStringLiteral("田") + yoshi.repeated(14) + QStringLiteral(".pdf"));

    QCOMPARE(DocumentDate(QStringLiteral("2006"), QStringLiteral("04"), QStringLiteral(" 5")), QDate(2006, 4, 5));
    QVERIFY(!DocumentDate(QStringLiteral("2006"), QStringLiteral("13"), QStringLiteral("05")).isValid());
    QVERIFY(!DocumentDate(QStringLiteral("2006"), QStringLiteral("02"), QStringLiteral("30")).isValid());
    QVERIFY(!DocumentDate(QStringLiteral("2006"), QStringLiteral("四"), QStringLiteral("5")).isValid());
    QVERIFY(!DocumentDate(QString(), QString(), QString()).isValid());
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
