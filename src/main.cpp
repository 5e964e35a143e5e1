#include "app/ui/Fonts.h"
#include "app/ui/Main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    InstallFontSubstitutes();
    Main();
    return app.exec();
}
