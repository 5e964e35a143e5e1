#include "document/ui/DocumentHooks.h"

DocumentHooks &docHooks()
{
    static DocumentHooks hooks;
    return hooks;
}
