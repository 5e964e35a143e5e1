#include "document/ui/DocumentHost.h"

namespace {
DocumentHost *g_host = nullptr;
}

DocumentHost *documentHost()
{
    return g_host;
}

void SetDocumentHost(DocumentHost *host)
{
    g_host = host;
}
