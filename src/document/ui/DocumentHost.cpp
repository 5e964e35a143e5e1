#include "document/ui/DocumentHost.h"

#include <QMdiArea>

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

QWidget *documentHostWindow()
{
    QMdiArea *area = g_host ? g_host->mdiArea() : nullptr;
    return area ? area->window() : nullptr;
}
