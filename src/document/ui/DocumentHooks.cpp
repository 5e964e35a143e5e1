#include "document/ui/DocumentHooks.h"

DocumentHooks &docHooks()
{
    static DocumentHooks hooks;
    return hooks;
}

QString SaveFailedMessage()
{
    const QString reason = docHooks().saveFailureReason ? docHooks().saveFailureReason() : QString();
    const QString failed = QStringLiteral("保存できませんでした");
    return reason.isEmpty() ? failed : failed + u'\n' + reason;
}
