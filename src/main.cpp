#include "ui/Fonts.h"
#include "app/ui/Main.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    InstallFontSubstitutes();
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
