#pragma once

// Maps the Windows font names that templates use onto the installed IPA faces.
void InstallFontSubstitutes();

// The windows' own face: the desktop's, unless it has no Japanese glyphs; then
// the stand-in for MS UI Gothic, at the desktop's size. Call after
// InstallFontSubstitutes.
void InstallUiFont();
