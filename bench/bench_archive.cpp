// The readable archive: documents written per second, by the wall clock and
// by CPU time, for a first export of every saved document (each of the four
// sample kinds filled in as a doctor would, saved again and again) and for a
// nightly run in which nothing changed.
// Run: QT_QPA_PLATFORM=offscreen build/bench_archive [documents, default 40] [folder to keep the archive in]
#include "BenchTiming.h"
#include "SampleForms.h"

#include "document/ui/FM.h"
#include "persistence/ui/DocumentBinding.h"
#include "printing/ui/ArchiveExport.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {

void Report(const char *what, const ArchiveResult &result, double wallMs, double cpuMs)
{
    const int n = result.documents;
    std::printf("%-16s %4d documents, %4d written: %6.2f s, CPU %6.2f s; %7.1f documents/s, %7.1f per CPU s\n", what,
                result.documents, result.written, wallMs / 1000, cpuMs / 1000, n * 1000.0 / wallMs, n * 1000.0 / cpuMs);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int documents = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    InstallFontSubstitutes();
    SampleFormsHome home;
    const QStringList kinds = SampleKinds();
    for (int i = 0; i < documents; ++i) {
        FM *doc = home.buildFilled(kinds[i % kinds.size()]);
        if (!doc || !SaveWindowDocument(*doc, 0, QStringLiteral("1"))) {
            std::fprintf(stderr, "document %d could not be saved\n", i);
            return 1;
        }
    }
    Settle();
    QTemporaryDir temporary;
    const QString out = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    for (const char *what : {"first export", "nothing changed"}) {
        QElapsedTimer wall;
        wall.start();
        const double cpu = CpuMs();
        const ArchiveResult result = ExportArchive(out);
        Report(what, result, double(wall.nsecsElapsed()) / 1e6, CpuMs() - cpu);
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.failures.join(u'\n')));
            return 1;
        }
    }
    return 0;
}
