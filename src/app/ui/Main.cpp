#include "app/ui/Main.h"

#include "app/ui/FStart.h"
#include "app/ui/InstallNavigation.h"
#include "ui/Navigation.h"
#include "patients/Patient.h"
#include "patients/PatientStore.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"

#include <QDir>

void Main()
{
    // A database that cannot be opened leaves the doctor list empty; the
    // program still starts.
    OpenDB();
    // Patients written by other programs (or before the search keys existed)
    // become findable.
    SyncPatientSearchKeys();
    LookupPatient(QStringLiteral("1"));
    QDir().mkpath(DataPath(QStringLiteral("pic_save")));
    InstallNavigation();
    FStart::shared().show();
}
