#include "ui/AppStyle.h"
#include "ui/Fonts.h"
#include "app/ui/Main.h"
#include "storage/AppPaths.h"
#include "storage/BackupCommand.h"
#include "storage/Migration.h"
#include "storage/StoreLocation.h"

#include <cstdio>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Rydol --migrate-to postgresql://user@host:port/dbname copies DATA/Rydol.db
    // into an empty server database and ends; setting.ini is left alone.
    if (argc == 3 && qstrcmp(argv[1], "--migrate-to") == 0) {
        QCoreApplication app(argc, argv);
        QStringList summary, notes;
        QString error;
        const QString from = DataPath(QStringLiteral("Rydol.db"));
        if (!MigrateToServer(from, ParseStoreLocation(QString::fromLocal8Bit(argv[2])), &summary, &notes, &error)) {
            std::fprintf(stderr, "Rydol: nothing copied: %s\n", qPrintable(error));
            return 1;
        }
        for (const QString &line : summary + notes)
            std::printf("%s\n", line.toUtf8().constData());
        std::printf("copied %d tables from %s\n", int(summary.size()), from.toUtf8().constData());
        return 0;
    }
    if (argc >= 2 && IsBackupCommand(argv[1])) {
        QCoreApplication app(argc, argv);
        return RunBackupCommand(QCoreApplication::arguments().mid(1));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    InstallFontSubstitutes();
    InstallAppStyle();
    // Qt's own dialogs (colour chooser, file dialogs, standard buttons) in
    // Japanese where the Qt translations are installed.
    QTranslator qtJapanese;
    if (qtJapanese.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    if (!Main())
        return 1;
    return app.exec();
}
