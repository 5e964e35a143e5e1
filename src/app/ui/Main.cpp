#include "app/ui/Main.h"

#include "app/ui/FStart.h"
#include "app/ui/IdleLock.h"
#include "app/ui/InstallNavigation.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "patients/Patient.h"
#include "patients/PatientStore.h"
#include "storage/AppPaths.h"
#include "storage/Database.h"
#include "storage/StoreLocation.h"
#include "templates/TemplateReader.h"
#include "ui/Prompter.h"

#include <QDir>

bool Main()
{
    // An installed program fills a user's own home on first start; a shared
    // home that cannot be reached ends the start, naming the folder.
    if (const QString problem = PrepareAppFolder(); !problem.isEmpty()) {
        prompter().message(problem);
        return false;
    }
    // A database that cannot be opened or reached, or that this user may not
    // read and write, ends the start before anything is written: going on
    // would only fail every save.
    const bool opened = OpenDB();
    const QString problem = opened ? DatabaseAccessProblem(TemplateKinds()) : QString();
    if (!opened || !problem.isEmpty()) {
        const StoreLocation location = ParseStoreLocation(ConfiguredStore());
        const QString reason = opened ? problem : DatabaseOpenReason();
        QString text;
        if (!problem.isEmpty() || DatabaseOpenFailure() == OpenFailure::NoAccess) {
            text = QStringLiteral("データベースを使えません: ") + location.text;
        } else if (location.kind != StoreLocation::Kind::Embedded) {
            text = QStringLiteral("データベースに接続できませんでした: ") + location.text;
            if (location.hasPassword)
                text += QStringLiteral("\n（パスワードは setting.ini に書かず、~/.pgpass などに置いてください）");
        } else {
            text = QStringLiteral("データベースを開けませんでした。\n") + DatabasePath();
        }
        if (!reason.isEmpty())
            text += u'\n' + reason;
        prompter().message(text);
        CloseDB();
        return false;
    }
    // Patients written by other programs (or before the search keys existed)
    // get their keys; nothing is done for patients whose keys are in step.
    SyncPatientSearchKeys();
    LookupPatient(QStringLiteral("1"));
    QDir().mkpath(DataPath(QStringLiteral("pic_save")));
    InstallNavigation();
    InstallIdleLock();
    // The start window opens in the middle of the screen.
    ShowOver(&FStart::shared(), nullptr);
    // The remembered doctor is known now: what a crash left unsaved is
    // offered before anything else is done.
    FStart::shared().OfferDrafts();
    return true;
}
