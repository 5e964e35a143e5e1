#include "persistence/ui/SaveCommands.h"

#include "ui/Prompter.h"
#include "persistence/SaveDocument.h"

namespace {
const QString kFailed = QStringLiteral("保存できませんでした");
const QString kOvertaken = QStringLiteral("この書類は他の端末で更新されています。保存できませんでした。");
}

bool SaveFromMenu(DocumentData &doc, const QString &state)
{
    SaveFailure why = SaveFailure::None;
    const bool saved = SaveDocument(doc, state, &why);
    prompter().message(saved ? QStringLiteral("保存しました") : why == SaveFailure::Overtaken ? kOvertaken : kFailed);
    return saved;
}

bool SaveOnClose(DocumentData &doc)
{
    SaveFailure why = SaveFailure::None;
    const bool saved = SaveDocument(doc, QString(), &why);
    if (!saved)
        prompter().message(why == SaveFailure::Overtaken ? kOvertaken : kFailed);
    return saved;
}
