#pragma once
#include <QImage>

class Fプレビュー;

// Page page (from 1) of the print preview as the preview shows it, the
// whole paper rasterised at dpi; null when there is no such page.
QImage PreviewPageImage(const Fプレビュー &preview, int page, int dpi = 96);
