// The start of the program up to its start window, with 5 and with 100,000
// patients and with 200 document kinds, against a bare Qt window: each start
// is a fresh process (this program again, as a child), timed until its first
// window is on the screen, in the child's CPU time. Beside it, for what the
// font system alone costs, a window showing one Japanese caption. Runs on
// the platform QT_QPA_PLATFORM names: offscreen, or xcb on a desktop or under
// xvfb-run (what a doctor starts on); takes the number of rounds (11).
#include "BenchTiming.h"
#include "TestHome.h"

#include "app/ui/Main.h"
#include "patients/PatientStore.h"
#include "storage/Database.h"
#include "ui/AppStyle.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QSqlQuery>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

// In the child: until a top-level window is exposed, then out at once (the
// teardown is not part of a start).
int RunChild(int argc, char **argv, const char *mode)
{
    QApplication app(argc, argv);
    QWidget bare;
    QLabel caption(QStringLiteral("患者選択"));
    QTranslator japanese;
    if (qstrcmp(mode, "caption") == 0) {
        InstallFontSubstitutes();
        InstallUiFont();
        caption.show();
    } else if (qstrcmp(mode, "rydol") == 0) {
        // What main() does before Main().
        QApplication::setApplicationName(QStringLiteral("Rydol"));
        InstallFontSubstitutes();
        InstallUiFont();
        InstallAppStyle();
        if (japanese.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&japanese);
        if (!Main())
            std::_Exit(1);
    } else {
        bare.show();
    }
    // Waits for events as the program's event loop does: spinning here
    // would bill the child for the time the display server takes to show
    // the window.
    for (;;) {
        for (QWindow *w : QGuiApplication::topLevelWindows())
            if (w->isExposed())
                std::_Exit(0);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

struct Start
{
    double wallMs = 0;
    double cpuMs = 0;
};

// One child start: wall clock and the child's CPU time (user + system).
Start RunStart(const char *self, const char *mode, const QString &home)
{
    if (!home.isEmpty()) {
        qputenv("RYDOL_HOME", home.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit());
    }
    char *args[] = {const_cast<char *>(self), const_cast<char *>("--child"), const_cast<char *>(mode), nullptr};
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Start s;
    if (posix_spawn(&pid, self, nullptr, nullptr, args, environ) != 0)
        return s;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    s.wallMs = t.nsecsElapsed() / 1e6;
    s.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "a %s start failed\n", mode);
    return s;
}

void AddPatients(int n)
{
    BeginTrans();
    QSqlQuery insert(gDB());
    insert.prepare(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                                  "INSERT INTO Kanja_Data (ID, Name, Kana, Sex, Birth) "
                                  "SELECT i, '患者' || i, 'カンジャ ' || i, 1 + i % 2, 19500101 + i % 50 * 10000 FROM n"));
    insert.addBindValue(n);
    insert.exec();
    CommitTrans();
    // The keys an earlier version's database gets once, on its first start.
    SyncPatientSearchKeys();
    CloseDB();
}

// Document kinds as a hospital has them, each with its table (the first
// start, a warm-up round, gives them their indexes).
void AddKindTables(int n)
{
    BeginTrans();
    QSqlQuery create(gDB());
    for (int i = 0; i < n; ++i)
        create.exec(QStringLiteral("CREATE TABLE \"書類%1\" (ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50), "
                                   "所見 TEXT, 編集日 INTEGER, 終了判定 INTEGER)")
                        .arg(i));
    CommitTrans();
    CloseDB();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv, argv[2]);
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    TestHome few(true), many(true), kinds(true);
    OpenDBAt(few.data(QStringLiteral("Rydol.db")));
    AddPatients(5);
    OpenDBAt(many.data(QStringLiteral("Rydol.db")));
    AddPatients(100000);
    OpenDBAt(kinds.data(QStringLiteral("Rydol.db")));
    AddPatients(5);
    OpenDBAt(kinds.data(QStringLiteral("Rydol.db")));
    AddKindTables(200);

    QList<double> wall[5], cpu[5];
    const char *modes[5] = {"bare", "caption", "rydol", "rydol", "rydol"};
    const QString homes[5] = {QString(), QString(), few.folder(), many.folder(), kinds.folder()};
    for (int r = 0; r < rounds + 1; ++r)
        for (int i = 0; i < 5; ++i) {
            const Start s = RunStart(argv[0], modes[i], homes[i]);
            if (r > 0) { // the first round warms the file cache
                wall[i] << s.wallMs;
                cpu[i] << s.cpuMs;
            }
        }
    std::printf("start up to the first window shown on %s, a fresh process each, %d rounds (child's CPU time):\n",
                qUtf8Printable(qEnvironmentVariable("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY")
                                                                           ? QStringLiteral("the default platform")
                                                                           : QStringLiteral("xcb"))),
                rounds);
    const char *floor = "a bare Qt window (QApplication, one empty QWidget shown, in the same kind of process)";
    Rounds::PrintComparison("Rydol with 5 patients", Median(wall[2]), Median(cpu[2]), floor, Median(wall[0]),
                            Median(cpu[0]), "(target: cpu <= 1.3)");
    Rounds::PrintComparison("Rydol with 100,000 patients", Median(wall[3]), Median(cpu[3]), floor, Median(wall[0]),
                            Median(cpu[0]), "(target: cpu <= 1.3, as with 5)");
    Rounds::PrintComparison("Rydol with 5 patients and 200 document kinds", Median(wall[4]), Median(cpu[4]), floor,
                            Median(wall[0]), Median(cpu[0]), "(as with 5 patients and the sample kinds)");
    Rounds::PrintComparison("for comparison, one QLabel \"患者選択\" in the same face", Median(wall[1]), Median(cpu[1]),
                            floor, Median(wall[0]), Median(cpu[0]), "(what showing Japanese text costs at all)");
    return 0;
}
