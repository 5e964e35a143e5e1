#include "app/ui/Main.h"

#include "storage/AppPaths.h"
#include "storage/Database.h"

#include <QDir>
#include <QLabel>

void Main()
{
    OpenDB();
    QDir().mkpath(DataPath(QStringLiteral("pic_save")));
    auto *placeholder = new QLabel(QStringLiteral("Rydol"));
    placeholder->setWindowTitle(QStringLiteral("Rydol"));
    placeholder->show();
}
