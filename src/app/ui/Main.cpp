#include "app/ui/Main.h"

#include "app/ui/FStart.h"
#include "app/ui/InstallNavigation.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "patients/Patient.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"

#include <QDir>

void Main()
{
    // A database that cannot be opened leaves the doctor list empty; the
    // program still starts.
    OpenDB();
    LookupPatient(QStringLiteral("1"));
    QDir().mkpath(DataPath(QStringLiteral("pic_save")));
    InstallNavigation();
    // The start window opens in the middle of the screen.
    ShowOver(&FStart::shared(), nullptr);
}
