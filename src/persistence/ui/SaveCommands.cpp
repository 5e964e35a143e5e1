#include "persistence/ui/SaveCommands.h"

#include "ui/Prompter.h"
#include "persistence/SaveDocument.h"

namespace {
QString failed()
{
    const QString reason = LastSaveError();
    return reason.isEmpty() ? QStringLiteral("保存できませんでした")
                            : QStringLiteral("保存できませんでした\n") + reason;
}
}

bool SaveFromMenu(DocumentData &doc, const QString &state)
{
    const bool saved = SaveDocument(doc, state);
    prompter().message(saved ? QStringLiteral("保存しました") : failed());
    return saved;
}

bool SaveOnClose(DocumentData &doc)
{
    const bool saved = SaveDocument(doc, QString());
    if (!saved)
        prompter().message(failed());
    return saved;
}
