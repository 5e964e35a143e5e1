#include "document/ui/DocumentHooks.h"

DocumentHooks &docHooks()
{
    static DocumentHooks hooks;
    return hooks;
}

QString SaveFailureText()
{
    const QString text = docHooks().saveFailureText ? docHooks().saveFailureText() : QString();
    return text.isEmpty() ? QStringLiteral("保存できませんでした") : text;
}
