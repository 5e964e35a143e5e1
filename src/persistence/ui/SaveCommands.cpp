#include "persistence/ui/SaveCommands.h"

#include "ui/Prompter.h"
#include "persistence/SaveDocument.h"

QString SaveFailureMessage(SaveFailure why)
{
    if (why == SaveFailure::Overtaken)
        return QStringLiteral("この書類は他の端末で更新されています。保存できませんでした。");
    const QString reason = LastSaveError();
    return reason.isEmpty() ? QStringLiteral("保存できませんでした")
                            : QStringLiteral("保存できませんでした\n") + reason;
}

bool SaveFromMenu(DocumentData &doc, const QString &state)
{
    SaveFailure why = SaveFailure::None;
    const bool saved = SaveDocument(doc, state, &why);
    prompter().message(saved ? QStringLiteral("保存しました") : SaveFailureMessage(why));
    return saved;
}

bool SaveOnClose(DocumentData &doc)
{
    SaveFailure why = SaveFailure::None;
    const bool saved = SaveDocument(doc, QString(), &why);
    if (!saved)
        prompter().message(SaveFailureMessage(why));
    return saved;
}
