#include "persistence/ui/SaveCommands.h"

#include "ui/Prompter.h"
#include "persistence/SaveDocument.h"
#include "storage/DatabaseFailure.h"

QString SaveFailureMessage(SaveFailure why)
{
    if (why == SaveFailure::Declined)
        return QString();
    if (why == SaveFailure::Overtaken)
        return QStringLiteral("この書類は他の端末で更新されています。保存できませんでした。");
    // The save's own reason, else the server's.
    const QString reason = LastSaveError().isEmpty() ? DatabaseFailureReason() : LastSaveError();
    return reason.isEmpty() ? QStringLiteral("保存できませんでした")
                            : QStringLiteral("保存できませんでした\n") + reason;
}

bool SaveFromMenu(DocumentData &doc, const QString &state)
{
    SaveFailure why = SaveFailure::None;
    ClearDatabaseFailure();
    const bool saved = SaveDocument(doc, state, &why);
    prompter().message(saved ? QStringLiteral("保存しました") : SaveFailureMessage(why));
    return saved;
}

bool SaveOnClose(DocumentData &doc)
{
    SaveFailure why = SaveFailure::None;
    ClearDatabaseFailure();
    const bool saved = SaveDocument(doc, QString(), &why);
    if (!saved)
        prompter().message(SaveFailureMessage(why));
    return saved;
}
