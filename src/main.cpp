#include "ui/AppStyle.h"
#include "ui/Fonts.h"
#include "app/CommandLine.h"
#include "app/Version.h"
#include "app/ui/Main.h"
#include "printing/ui/ArchiveExport.h"
#include "persistence/VerifyStore.h"
#include "storage/AppPaths.h"
#include "storage/BackupCommand.h"
#include "storage/Database.h"
#include "storage/Migration.h"
#include "storage/StoreLocation.h"

#include <cstdio>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

void print(FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
    if (!text.endsWith(u'\n'))
        std::fputc('\n', to);
}

// --migrate-to URL copies DATA/Rydol.db into an empty server database and
// ends; setting.ini is left alone.
int migrateTo(int argc, char *argv[], const QString &url)
{
    QCoreApplication app(argc, argv);
    QStringList summary, notes;
    QString error = PrepareAppFolder();
    const QString from = DataPath(QStringLiteral("Rydol.db"));
    if (!error.isEmpty() || !MigrateToServer(from, ParseStoreLocation(url), &summary, &notes, &error)) {
        print(stderr, QStringLiteral("Rydol: nothing copied: ") + error);
        return 1;
    }
    for (const QString &line : summary + notes)
        print(stdout, line);
    print(stdout, QStringLiteral("copied %1 tables from %2").arg(summary.size()).arg(from));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // --backup, --verify-backup and --restore ... --to ... read their own
    // arguments.
    if (argc >= 2 && IsBackupCommand(argv[1])) {
        QCoreApplication app(argc, argv);
        if (qstrcmp(argv[1], "--backup") == 0) {
            if (const QString home = PrepareAppFolder(); !home.isEmpty()) {
                print(stderr, QStringLiteral("Rydol: ") + home);
                return 1;
            }
        }
        return RunBackupCommand(QCoreApplication::arguments().mid(1));
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = ParseCommandLine(arguments);
    if (!command.error.isEmpty()) {
        print(stderr, command.error);
        return 2;
    }
    if (command.option == u"--help") {
        print(stdout, CommandLineHelp());
        return 0;
    }
    if (command.option == u"--version") {
        print(stdout, VersionText());
        return 0;
    }
    if (command.option == u"--migrate-to")
        return migrateTo(argc, argv, command.value);
    if (command.option == u"--export-archive")
        return ExportArchiveCommand(argc, argv, command.value);
    // --verify checks every document's kept versions, row and page image and
    // the chain of 操作履歴, prints what it found and ends: 0 when nothing is
    // broken, 1 when something is, 2 when the records cannot be opened.
    if (command.option == u"--verify") {
        QCoreApplication app(argc, argv);
        const QString home = PrepareAppFolder();
        if (!home.isEmpty() || !OpenDB()) {
            print(stderr, QStringLiteral("Rydol: the records cannot be opened: ")
                              + (home.isEmpty() ? DatabaseOpenError() : home));
            return 2;
        }
        const StoreCheck check = VerifyStore();
        for (const QString &line : check.report())
            print(stdout, line);
        return check.intact() ? 0 : 1;
    }
    if (!command.option.isEmpty()) {
        print(stderr, QStringLiteral("rydol: %1 はこのビルドにはありません / is not built into this program")
                          .arg(command.option));
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    QApplication::setApplicationVersion(RydolVersion());
    InstallFontSubstitutes();
    InstallUiFont();
    InstallAppStyle();
    // Qt's own dialogs (colour chooser, file dialogs, standard buttons) in
    // Japanese where the Qt translations are installed.
    QTranslator qtJapanese;
    if (qtJapanese.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    if (!Main())
        return 1;
    const int code = app.exec();
    // Audit rows another workstation was linking past get their links now.
    CloseDB();
    return code;
}
