#pragma once

// Lets the main window fill its phrase-class list and the picker's phrase list.
void InstallPhraseHooks();
