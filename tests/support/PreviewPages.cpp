#include "PreviewPages.h"

#include "printing/ui/Fプレビュー.h"

QImage PreviewPageImage(const Fプレビュー &preview, int page, int dpi)
{
    return preview.pageImage(page, dpi / 96.0);
}
