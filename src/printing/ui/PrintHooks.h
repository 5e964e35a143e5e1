#pragma once

// Connects the document window's 印刷 and PDFに出力 menus to printing.
void InstallPrintHooks();
