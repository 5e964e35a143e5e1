#include "app/ui/Main.h"

#include "app/ui/FStart.h"
#include "app/ui/InstallNavigation.h"
#include "ui/Navigation.h"
#include "ui/Prompter.h"
#include "patients/Patient.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"

#include <QDir>

bool Main()
{
    // A database file that cannot be read stops the start before anything is
    // written: going on would only fail every save and lose the doctor's work.
    if (!OpenDB()) {
        prompter().message(QStringLiteral("データベースを開けませんでした。\n") + DatabasePath());
        return false;
    }
    LookupPatient(QStringLiteral("1"));
    QDir().mkpath(DataPath(QStringLiteral("pic_save")));
    InstallNavigation();
    FStart::shared().show();
    return true;
}
