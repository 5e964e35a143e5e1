#pragma once

// Maps the Windows font names that templates use onto the installed IPA faces.
void InstallFontSubstitutes();
