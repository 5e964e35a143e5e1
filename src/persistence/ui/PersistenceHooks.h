#pragma once
#include "persistence/History.h"

#include <QList>
#include <QString>

class MenuArray;

// Wires saving and reopening into the document window (docHooks) and the
// saved-documents list (nav().openSavedDocument). Called by InstallNavigation.
void InstallPersistenceHooks();

// Reloads the current patient's history into the main window's LV履歴 and
// M履歴, and into the document window's M履歴 when there is one, so that
// entry i of every history menu is row i of LV履歴.
void RefreshHistoryWindows();

// Entry i for row i with the marks of the window; surplus entries are
// removed, and with no rows entry 0 is left with an empty caption.
void FillHistoryMenuArray(MenuArray &menu, const QList<HistoryRow> &rows, HistoryMarks marks);

// Shows the main window for the (already current) patient, builds a
// document of kind and opens saved document id in it.
void OpenSavedDocumentInMainWindow(const QString &kind, int id);
