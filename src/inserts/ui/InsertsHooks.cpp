#include "inserts/ui/InsertsHooks.h"

#include "document/ui/DocumentHooks.h"
#include "inserts/ui/PhraseLists.h"

#include <QComboBox>

void InstallPhraseHooks()
{
    DocumentHooks &hooks = docHooks();
    hooks.loadPhraseClasses = [](QComboBox *list) { LoadPhraseClasses(list); };
    hooks.loadPhrases = [](const QString &phraseClass) { LoadPhrases(phraseClass); };
}
