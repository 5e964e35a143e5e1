#pragma once
#include "persistence/History.h"

#include <QList>
#include <QString>
#include <functional>

class QMenu;
class QTreeWidget;

// The history list and history menus of the main window (LV履歴, M履歴) and
// of the document window (M履歴). The windows own the widgets; these fill them.

// What choosing a history entry does; when empty, nav().openSavedDocument.
using OpenHistoryEntry = std::function<void(const QString &kind, int id)>;

// Gives the list its four columns "日付", "ID", "書類名", "終了判定".
void SetupHistoryList(QTreeWidget *list);

// Replaces the list's rows: text = date, then ID, kind and 終了判定 text;
// sorted by the date column ascending.
void FillHistoryList(QTreeWidget *list, const QList<HistoryRow> &rows);
// The rows of a list filled above, in the list's current order.
QList<HistoryRow> HistoryRowsOf(const QTreeWidget *list);

// Replaces every entry of menu by one entry per row (entry i for row i) with
// the marks of the given window; with no rows, one entry with an empty caption
// that does nothing. Nothing of an earlier patient remains.
void FillHistoryMenu(QMenu *menu, const QList<HistoryRow> &rows, HistoryMarks marks,
                     const OpenHistoryEntry &open = {});

// Main window: reloads the current patient's history into its list and its
// menu (either may be null). Call when the main window loads and after every
// successful save.
void RefreshPatientHistory(QTreeWidget *list, QMenu *menu, const OpenHistoryEntry &open = {});

// Document window: copies the main window's list into the document window's
// menu, with the marks "△　"/"○　".
void FillHistoryMenu(QMenu *menu, const QTreeWidget *list, const OpenHistoryEntry &open = {});
