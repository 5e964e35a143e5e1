#include "printing/ui/PrintJob.h"

#include "app/AppState.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"

#include "app/Units.h"
#include "ui/Prompter.h"
#include "printing/PageRender.h"
#include "printing/PdfName.h"
#include "printing/PrintableDocument.h"
#include "storage/UserSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QWidget>

namespace {

constexpr int kSubmitTimeoutMs = 60000;

// The per-user store: the folder of the PDF written last.
const QString kSettingsApp = QStringLiteral("RL");
const QString kSettingsSection = QStringLiteral("ST");
const QString kPdfFolderKey = QStringLiteral("PdfFolder");

// The page layout of a printer looked up already (a look-up asks the print
// system; a print looks its printer up once).
QPageLayout PageLayoutOf(const QPrinterInfo &info)
{
    QPageLayout layout;
    if (!info.isNull()) {
        QPrinter printer(info, QPrinter::HighResolution);
        layout = printer.pageLayout();
    }
    if (!layout.isValid())
        layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    return layout;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Hands the finished PDF to the print system; lp reports a queue that is
// not accepting jobs, which QPrinter would swallow.
bool submit(const QString &printerName, const QString &title, const QString &file,
            QString *error)
{
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (lp.isEmpty()) {
        setError(error, QStringLiteral("印刷システムが見つかりません。"));
        return false;
    }
    QStringList args{QStringLiteral("-d"), printerName};
    if (!title.isEmpty())
        args << QStringLiteral("-t") << title;
    args << QStringLiteral("--") << file;
    QProcess process;
    process.start(lp, args);
    if (!process.waitForStarted() || !process.waitForFinished(kSubmitTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        setError(error, QStringLiteral("プリンタが応答しません。"));
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString why = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        setError(error, QStringLiteral("プリンタが印刷を受け付けませんでした。")
                            + (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
        return false;
    }
    return true;
}

} // namespace

// Printing and exporting change no record; their 操作履歴 row is written on
// its own once the output went out.
static void auditOutput(const QString &operation, const PrintableDocument &doc)
{
    if (DatabaseIsOpen())
        WriteAudit(operation, CurrentDrID, doc.printTitle(), doc.documentNumber(), doc.patientId());
}

bool PrintDocument(PrintableDocument &doc, const QString &printerName, int copies,
                   QString *error)
{
    PrintAidsHidden hidden(doc);
    const QList<PrintSheet> sheets = DocumentSheets(doc, copies);
    if (sheets.isEmpty())
        return true;
    const QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo() : QPrinterInfo::printerInfo(printerName);
    if (info.isNull()) {
        setError(error, QStringLiteral("プリンタ「%1」が見つかりません。").arg(printerName));
        return false;
    }
    const QPageLayout layout = PageLayoutOf(info);
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/rydol-print-XXXXXX.pdf"));
    if (!file.open() || !WriteSheetsPdf(doc, sheets, layout, &file) || !file.flush()) {
        setError(error, QStringLiteral("印刷データを作成できませんでした。"));
        return false;
    }
    file.close();
    if (!submit(printerName, doc.printTitle(), file.fileName(), error))
        return false;
    auditOutput(audit::Print(), doc);
    return true;
}

QPageLayout PrinterPageLayout(const QString &printerName)
{
    return PageLayoutOf(printerName.isEmpty() ? QPrinterInfo() : QPrinterInfo::printerInfo(printerName));
}

void RenderWidgetTwips(QWidget *page, QPainter &painter, const QRect &sourceTwips)
{
    if (!page)
        return;
    // The painter must not hold a clip here. QWidget::render lends the painter
    // to every child with the painter's transform as the child's base; when
    // a child restores a saved state (drawText does around text that
    // overflows its box, and so do many styles), Qt re-applies the clip that
    // was set before through that base a second time. On a printer, scaled
    // 12.5 times, the clip lands far off the page, and every element painted
    // after that child is blank on paper although it is in the file.
    // (Switching the clip off is not enough: the saved clip is replayed and
    // switched on again, so it is dropped altogether.)
    painter.save();
    painter.setClipRect(QRect(), Qt::NoClip);
    // No window background: where the page paints nothing the paper stays white.
    page->render(&painter, QPoint(0, 0), QRegion(TwipsToPx(sourceTwips)), QWidget::DrawChildren);
    painter.restore();
}

QString PdfStartFolder()
{
    const QString last = GetSetting(kSettingsApp, kSettingsSection, kPdfFolderKey);
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void ExportPdfWithDialog(PrintableDocument &doc)
{
    QString name = doc.pdfFileName();
    if (name.isEmpty())
        name = PdfFileName(doc.printTitle(), QString(), QString(), QDate());
    const std::optional<QString> chosen = prompter().saveFileName(
        QStringLiteral("PDFに出力"), QDir(PdfStartFolder()).filePath(name), QStringLiteral("PDF (*.pdf)"));
    if (!chosen || chosen->isEmpty())
        return;
    QString path = QFileInfo(*chosen).absoluteFilePath();
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    QString error;
    if (!ExportPdf(doc, path, &error)) {
        prompter().message(QStringLiteral("PDFを保存できませんでした。\n") + error);
        return;
    }
    SaveSetting(kSettingsApp, kSettingsSection, kPdfFolderKey, QFileInfo(path).absolutePath());
    auditOutput(audit::PdfExport(), doc);
    prompter().message(QStringLiteral("PDFを保存しました。\n") + QDir::toNativeSeparators(path));
}
