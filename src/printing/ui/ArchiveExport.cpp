#include "printing/ui/ArchiveExport.h"

#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/ui/DocumentBinding.h"
#include "printing/ArchiveCatalog.h"
#include "printing/ArchivePages.h"
#include "printing/PageRender.h"
#include "printing/ui/FMPrintable.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "templates/TemplateReader.h"
#include "templates/ui/BuildDocument.h"
#include "ui/AppStyle.h"
#include "ui/Fonts.h"
#include "ui/Prompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <cstdio>
#include <ctime>

namespace {

// Rebuilds the document as reopening it does, with its patient's current
// data in the patient fields, and writes what printing it gives to path.
bool WriteDocumentPdf(const ArchivedDocument &doc, const QString &path, QString *why, bool *imageRead)
{
    LookupPatient(doc.patientId);
    const QImage pageImage = ReadPngImage(DocumentImagePath(doc.kind, doc.id));
    *imageRead = !pageImage.isNull();
    bool found = false;
    const bool built = BuildDocument(doc.kind, [&](FM &window) {
        const QList<QPair<QString, QString>> patient = CurrentPatientValues();
        for (DocLabel *field : window.LbKanja_Data)
            for (const auto &[tag, text] : patient)
                if (tag == field->Tag)
                    field->setText(text);
        found = window.Tag == doc.kind && RestoreWindowDocument(window, doc.id, pageImage);
    });
    if (!built || !found || !fm()) {
        *why = built ? QStringLiteral("文書が見つかりません") : QStringLiteral("文書を組み立てられません");
        return false;
    }
    return ExportPdf(FMPrintable::of(*fm()), path, why);
}

// Prints a kept earlier version as its read-only window prints it, with
// "第n版（旧版）" in the footer.
bool WriteVersionPdf(const ArchivedDocument &doc, const QString &path, QString *why, bool *imageRead)
{
    const std::optional<KeptVersion> kept = ReadKeptVersion(doc.kind, doc.id, doc.version);
    LookupPatient(doc.patientId);
    if (!kept || !BuildKeptVersion(doc.kind, doc.id, *kept, imageRead)) {
        *why = kept ? QStringLiteral("文書を組み立てられません") : QStringLiteral("版が見つかりません");
        return false;
    }
    return ExportPdf(FMPrintable::of(*fm()), path, why);
}

// Writes bytes to path unless the file holds them already, so that a copy
// of the archive sees only what changed.
bool WriteIfChanged(const QString &path, const QByteArray &bytes)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    existing.close();
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QString Line(const QString &file, const QString &why)
{
    return file + QStringLiteral(": ") + why;
}

} // namespace

ArchiveResult ExportArchive(const QString &folder)
{
    ArchiveResult result;
    const QDir root(folder);
    if (!QDir().mkpath(root.absolutePath()) || !QDir().mkpath(root.filePath(QStringLiteral("patients")))) {
        result.failures << Line(folder, QStringLiteral("フォルダを作れません"));
        return result;
    }
    const ArchiveState before = ReadArchiveState(folder);
    // Kinds whose template was removed since an earlier run are still read:
    // their documents keep their PDFs and stay listed, though none can be
    // made again.
    const QStringList templates = TemplateKinds();
    QStringList kinds = templates;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QString kind = it.key().section(u'/', 1, 1);
        if (it.key().startsWith(QStringLiteral("pdf/")) && !kinds.contains(kind, Qt::CaseInsensitive))
            kinds << kind;
    }
    const ArchiveCatalog catalog = ReadArchiveCatalog(kinds);
    for (const QString &kind : catalog.problems)
        result.failures << Line(kind, QStringLiteral("文書を読めません"));
    ArchiveState after;
    QList<ArchivedDocument> held; // the documents whose PDF the archive holds
    for (const ArchivedDocument &doc : catalog.documents) {
        const QString pdf = ArchivePdfPath(doc);
        const QString path = root.filePath(pdf);
        const bool exists = QFileInfo::exists(path);
        const bool templateGone = !templates.contains(doc.kind, Qt::CaseInsensitive);
        if (exists && (before.value(pdf) == doc.fingerprint || templateGone)) {
            after.insert(pdf, before.value(pdf));
            held << doc;
            continue;
        }
        QString why = templateGone ? QStringLiteral("ひな形がありません") : QString();
        bool imageRead = true;
        if (!templateGone && QDir().mkpath(QFileInfo(path).absolutePath())
            && (doc.current ? WriteDocumentPdf(doc, path, &why, &imageRead)
                            : WriteVersionPdf(doc, path, &why, &imageRead))) {
            after.insert(pdf, doc.fingerprint);
            held << doc;
            ++result.written;
            if (!imageRead && (!doc.current || QFileInfo::exists(DocumentImagePath(doc.kind, doc.id))))
                result.warnings << Line(pdf, QStringLiteral("ページの画像を読み込めませんでした"));
        } else {
            result.failures << Line(pdf, why.isEmpty() ? QStringLiteral("書き込めません") : why);
            // An older PDF stays for reading; the next run tries again.
            if (exists) {
                after.insert(pdf, QByteArray());
                held << doc;
            }
        }
    }
    UnloadFM();
    result.documents = int(std::count_if(held.cbegin(), held.cend(), [](const ArchivedDocument &d) { return d.current; }));

    const QHash<QString, QByteArray> pages = ArchivePages(catalog, held, QDateTime::currentDateTime());
    for (auto it = pages.cbegin(); it != pages.cend(); ++it) {
        if (!WriteIfChanged(root.filePath(it.key()), it.value()))
            result.failures << Line(it.key(), QStringLiteral("書き込めません"));
        after.insert(it.key(), QByteArray());
    }
    // Only files an earlier run wrote are removed: the PDFs of deleted
    // documents and the pages of patients without documents. The PDFs of a
    // kind whose documents could not all be read, or whose template is gone,
    // stay as they are.
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (after.contains(it.key()))
            continue;
        const bool pdf = it.key().startsWith(QStringLiteral("pdf/"));
        if (pdf && !catalog.kindsRead.contains(it.key().section(u'/', 1, 1)))
            after.insert(it.key(), it.value());
        else if (QFile::remove(root.filePath(it.key())))
            ++result.removed;
    }
    if (!WriteArchiveState(folder, after))
        result.failures << Line(QStringLiteral("rydol-archive.tsv"), QStringLiteral("書き込めません"));
    return result;
}

namespace {

// Without a screen nobody answers: messages go to standard error, once
// each, and every question is answered No (nothing is ever saved).
class ConsolePrompter : public Prompter
{
public:
    void message(const QString &text, const QString &) override
    {
        if (!m_told.contains(text)) {
            m_told.insert(text);
            std::fprintf(stderr, "Rydol: %s\n", text.toUtf8().constData());
        }
    }
    bool question(const QString &text, const QString &title) override
    {
        message(text, title);
        return false;
    }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return std::nullopt; }
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }

private:
    QSet<QString> m_told;
};

} // namespace

int ExportArchiveCommand(int argc, char *argv[], const QString &folder)
{
    // The document is built offscreen, also where a display is there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    InstallFontSubstitutes();
    InstallAppStyle();
    ConsolePrompter console;
    setPrompter(&console);
    const QString home = PrepareAppFolder();
    if (!home.isEmpty()) {
        std::fprintf(stderr, "Rydol: %s\n", qPrintable(home));
        setPrompter(nullptr);
        return 1;
    }
    if (!OpenDB()) {
        std::fprintf(stderr, "Rydol: database not opened: %s\n", qPrintable(DatabaseOpenReason()));
        setPrompter(nullptr);
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpu = std::clock();
    const ArchiveResult result = ExportArchive(folder);
    CloseDB();
    setPrompter(nullptr);
    for (const QString &line : result.warnings)
        std::fprintf(stderr, "Rydol: %s\n", line.toUtf8().constData());
    for (const QString &line : result.failures)
        std::fprintf(stderr, "Rydol: not written: %s\n", line.toUtf8().constData());
    std::printf("%d documents in %s: %d PDFs written, %d files removed, %d failed (%.1f s, CPU %.1f s)\n",
                result.documents, QDir(folder).absolutePath().toUtf8().constData(), result.written, result.removed,
                int(result.failures.size()), wall.elapsed() / 1000.0, double(std::clock() - cpu) / CLOCKS_PER_SEC);
    return result.ok() ? 0 : 1;
}
