#include "persistence/ui/SaveCommands.h"

#include "ui/Prompter.h"
#include "persistence/SaveDocument.h"

namespace {
const QString kFailed = QStringLiteral("保存できませんでした");
}

bool SaveFromMenu(DocumentData &doc, const QString &state)
{
    const bool saved = SaveDocument(doc, state);
    prompter().message(saved ? QStringLiteral("保存しました") : kFailed);
    return saved;
}

bool SaveOnClose(DocumentData &doc)
{
    const bool saved = SaveDocument(doc, QString());
    if (!saved)
        prompter().message(kFailed);
    return saved;
}
