#include "PdfPages.h"
#include "SampleForms.h"
#include "SampleDocument.h"
#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "ui/Fonts.h"
#include "document/ui/FM.h"
#include "printing/PageRender.h"
#include "printing/ui/FMPrintable.h"
#include "printing/ui/Fプリンタ選択.h"
#include "printing/ui/PrintJob.h"
#include "storage/Ini.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QUuid>
#include <QtTest>

namespace {
// A document printed under another title.
struct Titled : PrintableDocument
{
    Titled(PrintableDocument &doc, const QString &title) : doc(doc), title(title) {}
    QSize pageSizeTwips() const override { return doc.pageSizeTwips(); }
    bool hasPageLines() const override { return doc.hasPageLines(); }
    QList<int> pageLineOrdinates() const override { return doc.pageLineOrdinates(); }
    void setEditingAidsVisible(bool visible) override { doc.setEditingAidsVisible(visible); }
    void hideEditor() override { doc.hideEditor(); }
    void render(QPainter &painter, const QRect &source) override { doc.render(painter, source); }
    QString printTitle() const override { return title; }
    PrintableDocument &doc;
    QString title;
};
} // namespace

// Prints to the cups-pdf queue of the private CUPS server that test.sh starts
// (tools/cups-test-env.sh) and looks at the PDF that arrives.
class TestPrintCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoPagesArriveAsTheyShowOnScreen();
    void aQueueThatRejectsJobsIsReported();
    void everySampleArrivesWithEveryElementItShows();

private:
    // The PDF cups-pdf wrote for the job titled token, or "" after the wait.
    QString waitForPdf(const QString &token, const QDateTime &since);

    QString m_queue, m_out;
};

void TestPrintCups::initTestCase()
{
    InstallFontSubstitutes();
    const QString error = qEnvironmentVariable("RYDOL_CUPS_ERROR");
    if (!error.isEmpty())
        QFAIL(qPrintable(QStringLiteral("The test CUPS server could not be set up: ") + error));
    m_queue = qEnvironmentVariable("RYDOL_CUPS_QUEUE");
    m_out = qEnvironmentVariable("RYDOL_CUPS_PDF_OUT");
    if (m_queue.isEmpty() || m_out.isEmpty())
        QFAIL("No CUPS test queue: run through test.sh, or eval \"$(tools/cups-test-env.sh start)\" "
              "before ctest (RYDOL_CUPS_QUEUE and RYDOL_CUPS_PDF_OUT are not set).");
    if (!QPrinterInfo::availablePrinterNames().contains(m_queue))
        QFAIL(qPrintable(QStringLiteral("The CUPS server at %1 has no queue %2; is cupsd running?")
                             .arg(qEnvironmentVariable("CUPS_SERVER"), m_queue)));
}

QString TestPrintCups::waitForPdf(const QString &token, const QDateTime &since)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120000) {
        const QFileInfoList files =
            QDir(m_out).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        for (const QFileInfo &f : files) {
            if (f.fileName().contains(token) && f.lastModified() >= since.addSecs(-2)) {
                // cups-pdf writes the file in one go after ghostscript is
                // done; wait until the size settles.
                qint64 size = -1;
                while (size != QFileInfo(f.filePath()).size()) {
                    size = QFileInfo(f.filePath()).size();
                    QTest::qWait(500);
                }
                if (PdfPageCount(f.filePath()) > 0)
                    return f.filePath();
            }
        }
        QTest::qWait(250);
    }
    return QString();
}

void TestPrintCups::twoPagesArriveAsTheyShowOnScreen()
{
    TestHome home;
    ScriptedPrompter prompts;
    SampleDocument doc;
    const QString token = QStringLiteral("rydol%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    doc.title = token;
    const QDateTime since = QDateTime::currentDateTime();

    // Through the dialog, as the user prints.
    auto *dlg = new Fプリンタ選択(&doc);
    const int at = dlg->Comboプリンタ名->findText(m_queue);
    QVERIFY(at >= 0);
    emit dlg->Comboプリンタ名->activated(at);
    QCOMPARE(dlg->Txt部数->text(), QStringLiteral("1"));
    dlg->Cmd印刷_Click();
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join(QLatin1Char('\n'))));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("Printer")), m_queue);
    QVERIFY(doc.aidsVisible);

    const QString pdf = waitForPdf(token, since);
    QVERIFY2(!pdf.isEmpty(),
             qPrintable(QStringLiteral("No PDF for %1 arrived in %2 (CUPS log: %3)")
                            .arg(token, m_out, qEnvironmentVariable("RYDOL_CUPS_LOG"))));
    QCOMPARE(PdfPageCount(pdf), 2);
    const QList<QPair<int, int>> bands{{0, 16200}, {16200, 16200}};
    for (int i = 0; i < 2; ++i) {
        const QImage page = PdfPageImage(pdf, i + 1);
        QVERIFY(!page.isNull());
        const QImage screen = doc.screenBand(bands[i].first, bands[i].second);
        const QImage other = doc.screenBand(bands[1 - i].first, bands[1 - i].second);
        QPoint offset;
        const double diff = PageDifference(page, screen, &offset);
        const double wrong = PageDifference(page, other);
        QVERIFY2(diff < 8 && diff * 2 < wrong,
                 qPrintable(QStringLiteral("page %1: difference %2 (other page %3) at %4,%5")
                                .arg(i + 1).arg(diff).arg(wrong).arg(offset.x()).arg(offset.y())));
        QCOMPARE(RedPixels(page), 0);
    }
    // RYDOL_KEEP_PDF=<folder> keeps the printout for a look.
    if (qEnvironmentVariableIsSet("RYDOL_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("RYDOL_KEEP_PDF") + QStringLiteral("/cups.pdf"));
    QFile::remove(pdf);
}

void TestPrintCups::aQueueThatRejectsJobsIsReported()
{
    TestHome home;
    SampleDocument doc;
    QCOMPARE(QProcess::execute(QStringLiteral("cupsreject"), {m_queue}), 0);
    QString error;
    const bool printed = PrintDocument(doc, m_queue, 1, &error);
    QProcess::execute(QStringLiteral("cupsaccept"), {m_queue});
    QVERIFY(!printed);
    QVERIFY(!error.isEmpty());
    QVERIFY(doc.aidsVisible);
    QCOMPARE(doc.aidsHidden, doc.aidsShown);
}

void TestPrintCups::everySampleArrivesWithEveryElementItShows()
{
    SampleFormsHome h;
    const QStringList kinds = SampleKinds();
    QVERIFY(kinds.size() >= 4);
    for (const QString &kind : kinds) {
        FM *doc = h.buildFilled(kind);
        QVERIFY2(doc, qPrintable(kind));
        FMPrintable &printable = FMPrintable::of(*doc);
        const QList<PrintSheet> sheets = DocumentSheets(printable, 1);
        const QList<PageElement> elements = InkedElements(*doc);
        // The job's title tells its PDF apart from those of other jobs.
        Titled job(printable, QStringLiteral("rydol%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12)));
        const QDateTime since = QDateTime::currentDateTime();
        QString error;
        QVERIFY2(PrintDocument(job, m_queue, 1, &error), qPrintable(error));
        const QString pdf = waitForPdf(job.title, since);
        QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("No PDF for %1 arrived in %2 (CUPS log: %3)")
                                                .arg(kind, m_out, qEnvironmentVariable("RYDOL_CUPS_LOG"))));
        QCOMPARE(PdfPageCount(pdf), int(sheets.size()));
        for (int i = 0; i < sheets.size(); ++i) {
            const QImage screen = ScreenBand(*doc, sheets[i].top, sheets[i].height);
            const QImage paper = PdfPageImage(pdf, i + 1);
            QVERIFY(!paper.isNull());
            const QPoint offset = PaperOffset(paper, screen);
            const QStringList missing = ElementsMissingOnPaper(screen, paper, offset, elements, sheets[i].top);
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("%1 page %2 (at %3,%4) lacks on paper:\n")
                                                       .arg(kind).arg(i + 1).arg(offset.x()).arg(offset.y())
                                                   + missing.join(u'\n')));
            QCOMPARE(InkOutsideBand(paper, offset, screen.size()), 0.0);
        }
        if (qEnvironmentVariableIsSet("RYDOL_KEEP_PDF"))
            QFile::copy(pdf, qEnvironmentVariable("RYDOL_KEEP_PDF") + QStringLiteral("/cups-") + kind + QStringLiteral(".pdf"));
        QFile::remove(pdf);
    }
}

QTEST_MAIN(TestPrintCups)
#include "test_print_cups.moc"
