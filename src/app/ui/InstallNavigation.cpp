#include "app/ui/InstallNavigation.h"
#include "ui/Navigation.h"

#include "app/ui/FHead.h"
#include "app/ui/FStart.h"
#include "inserts/ui/InsertsHooks.h"
#include "document/ui/FreeEdit.h"
#include "patients/ui/F患者情報入力.h"
#include "persistence/ui/FSaveList.h"
#include "persistence/ui/DraftKeeper.h"
#include "persistence/ui/DraftRecovery.h"
#include "persistence/ui/PersistenceHooks.h"
#include "printing/ui/PrintHooks.h"
#include "settings/ui/F設定.h"

void InstallNavigation()
{
    Navigation &n = nav();
    auto back = [] {
        if (nav().showStart)
            nav().showStart();
    };
    // Fallbacks; each window's own hook below replaces its fallback.
    n.showPatientEntry = back;
    n.showSaveList = [back](bool) { back(); };
    n.showMainWindow = back;
    n.openSavedDocument = [back](const QString &, int) { back(); };
    // Window hooks (one line per window):
    n.showStart = [] { FStart::shared().showAgain(); };
    // Windows opened from the start window open over it, also when it has hidden itself.
    n.showSettings = [] { F設定::shared().openFresh(&FStart::shared()); };
    n.showPatientEntry = [] { F患者情報入力::shared().showNew(&FStart::shared()); };
    n.showSaveList = [](bool finished) { FSaveList::showList(finished, &FStart::shared()); };
    n.showMainWindow = [] { ShowMainWindow(); };
    InstallPhraseHooks();
    InstallFreeEditHooks();
    InstallPersistenceHooks();
    n.recoverDrafts = [](const QString &doctorId, const std::function<bool()> &takeDoctor) {
        return RecoverDrafts(doctorId, takeDoctor);
    };
    InstallDraftKeeping();
    InstallPrintHooks();
}
