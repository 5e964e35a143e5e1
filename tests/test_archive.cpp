#include "AppHome.h"
#include "PdfPages.h"

#include "app/AppState.h"
#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/SavedDocuments.h"
#include "persistence/ui/DocumentBinding.h"
#include "printing/ui/ArchiveExport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kLetter = QStringLiteral("紹介状");       // one page
const QString kPlan = QStringLiteral("入院診療計画書"); // two pages

// The sample home with two patients and a doctor of the 医師 table.
struct ArchiveHome : AppHome
{
    ArchiveHome()
        : AppHome(true)
    {
        setDoctor(QString::number(home.addDoctor(QStringLiteral("山田　太郎"))), QStringLiteral("山田　太郎"));
        admit(kPatientSato);
        admit(kPatientTanaka);
        home.copyCheckIcons();
    }
    // Saves a finished document of kind for patient with text in its first
    // text field; its number.
    int save(const QString &kind, const TestPatient &patient, const QString &text, int number = 0)
    {
        LookupPatient(patient.id);
        FM *doc = number && ReopenSavedDocument(kind, number) ? fm() : build(kind);
        if (!doc)
            qFatal("document not built");
        for (DocLabel *item : doc->LbItem)
            if (item->LinkItem != QStringLiteral("0") && !item->Tag.isEmpty()) {
                item->setText(text);
                break;
            }
        if (!SaveWindowDocument(*doc, number, QStringLiteral("1")))
            qFatal("document not saved");
        return doc->Lb登録番号->text().toInt();
    }
};

// The page as a headless browser reads it from the folder.
QString BrowserDom(const QString &page)
{
    QTemporaryDir profile;
    QProcess chromium;
    chromium.start(QStringLiteral("chromium"),
                   {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                    QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
                    QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                    QStringLiteral("--disable-sync"), QStringLiteral("--user-data-dir=") + profile.path(),
                    QStringLiteral("--dump-dom"), QUrl::fromLocalFile(page).toString()});
    if (!chromium.waitForFinished(120000))
        chromium.kill();
    return QString::fromUtf8(chromium.readAllStandardOutput());
}

QString PageText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The files the page's links lead to, resolved as the browser does.
QStringList LinkedFiles(const QString &page, const QString &dom)
{
    QStringList files;
    const QUrl base = QUrl::fromLocalFile(page);
    for (const auto &m : QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).globalMatch(dom))
        files << base.resolved(QUrl(m.captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&")))).toLocalFile();
    return files;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    // A browser opens the archive from the folder: each patient's page lists
    // their documents, in Japanese, and every link leads to a PDF with the
    // pages of the document's print and what the doctor wrote.
    void browserReadsArchive()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
            QSKIP("chromium is not installed (tools/install-deps.sh installs it)");
        ArchiveHome h;
        h.save(kLetter, kPatientSato, QStringLiteral("LETTER-SATO"));
        h.save(kPlan, kPatientSato, QStringLiteral("PLAN-SATO"));
        h.save(kLetter, kPatientTanaka, QStringLiteral("LETTER-TANAKA"));
        QTemporaryDir out;
        const ArchiveResult result = ExportArchive(out.path());
        QVERIFY2(result.ok(), qPrintable(result.failures.join(u'\n')));
        QCOMPARE(result.written, 3);

        const QString index = out.filePath(QStringLiteral("index.html"));
        const QString indexDom = BrowserDom(index);
        QVERIFY2(indexDom.contains(kPatientSato.name) && indexDom.contains(kPatientTanaka.kana), qPrintable(indexDom));
        const QStringList pages = LinkedFiles(index, indexDom);
        QCOMPARE(pages.size(), 2);

        const QString satoPage = out.filePath(QStringLiteral("patients/p12.html"));
        QVERIFY(pages.contains(satoPage));
        const QString dom = BrowserDom(satoPage);
        for (const QString &text : {kLetter, kPlan, QStringLiteral("山田　太郎"), QStringLiteral("終了"), QStringLiteral("1980/01/05")})
            QVERIFY2(dom.contains(text), qPrintable(text));
        QVERIFY(!dom.contains(QStringLiteral("LETTER-TANAKA")));
        QStringList pdfs = LinkedFiles(satoPage, dom).filter(QStringLiteral(".pdf"));
        pdfs.sort();
        QCOMPARE(pdfs, (QStringList{out.filePath(QStringLiteral("pdf/入院診療計画書/1.pdf")),
                                    out.filePath(QStringLiteral("pdf/紹介状/1.pdf"))}));
        QCOMPARE(PdfPageCount(pdfs[0]), 2);
        QCOMPARE(PdfPageCount(pdfs[1]), 1);
        QVERIFY(PdfText(pdfs[0]).contains(QStringLiteral("PLAN-SATO")));
        QVERIFY(PdfText(pdfs[1]).contains(QStringLiteral("LETTER-SATO")));
        // The patient fields show the patient, as when the document is reopened.
        QVERIFY(PdfText(pdfs[1]).contains(QStringLiteral("佐藤")));
    }

    // A nightly run makes only what changed, brings back a PDF removed by
    // hand, and takes out the files of deleted documents.
    void refreshesOnlyWhatChanged()
    {
        ArchiveHome h;
        const int letter = h.save(kLetter, kPatientSato, QStringLiteral("FIRST"));
        h.save(kLetter, kPatientTanaka, QStringLiteral("OTHER"));
        QTemporaryDir out;
        QCOMPARE(ExportArchive(out.path()).written, 2);
        QCOMPARE(ExportArchive(out.path()).written, 0);

        h.save(kLetter, kPatientSato, QStringLiteral("SECOND"), letter);
        QFile::remove(out.filePath(QStringLiteral("pdf/紹介状/2.pdf")));
        ArchiveResult result = ExportArchive(out.path());
        QCOMPARE(result.written, 3); // the re-saved document, its first version and the removed PDF
        QVERIFY(PdfText(out.filePath(QStringLiteral("pdf/紹介状/1.pdf"))).contains(QStringLiteral("SECOND")));
        const QString satoPage = out.filePath(QStringLiteral("patients/p12.html"));
        const QString firstVersion = out.filePath(QStringLiteral("pdf/紹介状/1/v1.pdf"));
        QVERIFY(LinkedFiles(satoPage, PageText(satoPage)).contains(firstVersion));
        const QString oldText = PdfText(firstVersion);
        QVERIFY(oldText.contains(QStringLiteral("第1版（旧版）")) && oldText.contains(QStringLiteral("FIRST")));
        QCOMPARE(ExportArchive(out.path()).written, 0);

        // A deleted document's PDF goes; its kept versions stay listed.
        QVERIFY(DeleteSavedDocument(kLetter, 2));
        result = ExportArchive(out.path());
        QCOMPARE(result.written, 2);
        QCOMPARE(result.documents, 1);
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("pdf/紹介状/2.pdf"))));
        QVERIFY(PageText(out.filePath(QStringLiteral("patients/p5.html"))).contains(QStringLiteral("削除")));

        // A template taken away leaves its documents' PDFs in place and listed.
        QVERIFY(QFile::remove(h.home.data(QStringLiteral("ini/紹介状.ini"))));
        QVERIFY(ExportArchive(out.path()).ok());
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("pdf/紹介状/1.pdf"))));
        QVERIFY(LinkedFiles(satoPage, PageText(satoPage))
                    .contains(out.filePath(QStringLiteral("pdf/紹介状/1.pdf"))));
    }
};

QTEST_MAIN(TestArchive)
#include "test_archive.moc"
