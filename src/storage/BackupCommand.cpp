#include "storage/BackupCommand.h"

#include "storage/Backup.h"

#include <QElapsedTimer>
#include <QLocale>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void say(FILE *to, const QString &line)
{
    std::fprintf(to, "%s\n", line.toUtf8().constData());
}

// Files and bytes on the terminal, a few times a second, one line rewritten.
class ProgressLine
{
public:
    BackupProgressFn callback()
    {
        if (!::isatty(STDERR_FILENO))
            return {};
        m_clock.start();
        return [this](const BackupProgress &p) {
            if (p.files < p.totalFiles && m_clock.isValid() && m_clock.elapsed() < 200)
                return;
            m_clock.restart();
            const QLocale c = QLocale::c();
            std::fprintf(stderr, "\r%s / %s files, %s / %s MB   ", qPrintable(c.toString(p.files)),
                         qPrintable(c.toString(p.totalFiles)), qPrintable(c.toString(p.bytes / 1e6, 'f', 1)),
                         qPrintable(c.toString(p.totalBytes / 1e6, 'f', 1)));
            if (p.files == p.totalFiles)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }

private:
    QElapsedTimer m_clock;
};

int usage()
{
    say(stderr, QStringLiteral("usage: Rydol --backup <folder>\n"
                               "       Rydol --verify-backup <folder>\n"
                               "       Rydol --restore <folder> --to <empty folder> [--to postgresql://...]"));
    return 2;
}

} // namespace

bool IsBackupCommand(const char *arg)
{
    return arg && (std::strcmp(arg, "--backup") == 0 || std::strcmp(arg, "--verify-backup") == 0
                   || std::strcmp(arg, "--restore") == 0);
}

int RunBackupCommand(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return usage();
    const QString command = arguments[0], folder = arguments[1];
    ProgressLine line;
    QString error;
    if (command == u"--backup" && arguments.size() == 2) {
        if (!MakeBackup(folder, &error, line.callback())) {
            say(stderr, QStringLiteral("Rydol: no backup written: ") + error);
            return 1;
        }
        say(stdout, QStringLiteral("backup written to ") + folder);
        return 0;
    }
    if (command == u"--verify-backup" && arguments.size() == 2) {
        const BackupCheck check = VerifyBackup(folder, line.callback());
        for (const QString &problem : check.problems)
            say(stdout, problem);
        say(stdout, check.problems.isEmpty()
                        ? QStringLiteral("backup is whole: %1 files, %2 bytes").arg(check.files).arg(check.bytes)
                        : QStringLiteral("backup is NOT whole: %1 problems").arg(check.problems.size()));
        return check.problems.isEmpty() ? 0 : 1;
    }
    if (command == u"--restore" && arguments.size() >= 4 && arguments.size() % 2 == 0) {
        QStringList targets;
        for (int i = 2; i < arguments.size(); i += 2) {
            if (arguments[i] != u"--to")
                return usage();
            targets << arguments[i + 1];
        }
        if (!RestoreBackup(folder, targets, &error, line.callback())) {
            say(stderr, QStringLiteral("Rydol: nothing restored: ") + error);
            return 1;
        }
        say(stdout, QStringLiteral("restored ") + folder + QStringLiteral(" to ") + targets.join(QStringLiteral(" and ")));
        return 0;
    }
    return usage();
}
