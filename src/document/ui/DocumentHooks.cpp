#include "document/ui/DocumentHooks.h"

DocumentHooks &docHooks()
{
    static DocumentHooks hooks;
    return hooks;
}

QString SaveFailureText()
{
    // Empty when the doctor declined the save: there is nothing to tell.
    return docHooks().saveFailureText ? docHooks().saveFailureText() : QStringLiteral("保存できませんでした");
}
