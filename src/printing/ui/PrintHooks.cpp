#include "printing/ui/PrintHooks.h"

#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "printing/ui/FMPrintable.h"
#include "printing/ui/Fプリンタ選択.h"
#include "printing/ui/PrintJob.h"

void InstallPrintHooks()
{
    docHooks().showPrintDialog = [] {
        if (FM *window = fm())
            (new Fプリンタ選択(&FMPrintable::of(*window), window))->show();
    };
    docHooks().exportPdf = [] {
        if (FM *window = fm())
            ExportPdfWithDialog(FMPrintable::of(*window));
    };
}
