// Rydol --backup against copying the same files with cp -a and the database
// with sqlite3's .backup, on a home of many documents, in interleaved rounds.
//
// Usage: bench_backup [documents (100000)] [rounds (3)]; needs cp and sqlite3.
#include "BenchData.h"
#include "BenchTiming.h"
#include "TestHome.h"

#include "persistence/DocumentImage.h"
#include "storage/Backup.h"
#include "templates/KindTable.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>

namespace {

// A page as saves write it: white, with some writing on it.
QByteArray pageImage()
{
    QImage page(794, 1123, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    for (int y = 80; y < 1000; y += 23)
        p.drawLine(60, y, 60 + (y * 37) % 600, y + 5);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CompactPageImage(page).save(&buffer, "PNG");
    return bytes;
}

void run(const QString &program, const QStringList &arguments)
{
    if (QProcess::execute(program, arguments) != 0)
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int documents = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    TestHome home(true);
    const QString kind = QStringLiteral("診療情報提供書");
    CreateKindTable(kind, {{QStringLiteral("版"), QStringLiteral("0")}, {QStringLiteral("所見"), QStringLiteral("1")},
                           {QStringLiteral("経過"), QStringLiteral("2")}}, {});
    FillKindTable(kind, 1, documents);
    const QByteArray png = pageImage();
    QDir().mkpath(DocumentImageFolder(kind));
    for (int i = 1; i <= documents; ++i) {
        QFile f(DocumentImagePath(kind, i));
        if (!f.open(QIODevice::WriteOnly) || f.write(png) != png.size())
            return 1;
    }
    CloseDB();
    std::printf("%d documents, page images of %lld bytes\n", documents, qint64(png.size()));

    const QString copied = home.folder() + QStringLiteral("/copied"), backup = home.folder() + QStringLiteral("/backup");
    Rounds timing;
    timing.add(
        QStringLiteral("cp"),
        [&] {
            QStringList from;
            for (const QString &name : QDir(home.data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
                if (name != u"Rydol.db")
                    from << home.data(name);
            run(QStringLiteral("cp"), QStringList{QStringLiteral("-a")} + from + QStringList{copied});
            run(QStringLiteral("sqlite3"), {home.data(QStringLiteral("Rydol.db")), QStringLiteral(".backup '%1/Rydol.db'").arg(copied)});
        },
        [&] {
            QDir(copied).removeRecursively();
            QDir().mkpath(copied);
        });
    timing.add(
        QStringLiteral("backup"),
        [&] {
            QString error;
            if (!MakeBackup(backup, &error))
                std::fprintf(stderr, "backup failed: %s\n", qPrintable(error));
        },
        [&] { QDir(backup).removeRecursively(); });
    timing.run(rounds);
    // The copying tools run in processes of their own: only the wall clocks compare.
    const double ours = timing.median(QStringLiteral("backup")), floor = timing.median(QStringLiteral("cp"));
    std::printf("  Rydol --backup: %.0f ms\n    vs cp -a + sqlite3 .backup: %.0f ms\n    ratio %.2f   target: at most 2\n",
                ours, floor, floor > 0 ? ours / floor : 0.0);
    return 0;
}
