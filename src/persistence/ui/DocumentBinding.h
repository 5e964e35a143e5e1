#pragma once
#include "persistence/DocumentData.h"
#include "persistence/SaveDocument.h"

#include <QString>

class FM;

// The stored part of a document window: kind (Tag), number (Lb登録番号),
// every LbItem (Tag, LinkItem, caption) and every ImgCheck (Tag, DataField)
// in element order, and the drawing surface.
DocumentData CollectDocument(FM &window);

// Puts a document read back by OpenSavedDocument into the window it was
// collected from: field captions, check states with their pictures, the
// surface and the number. The change snapshot is left to the caller.
void ApplyDocument(FM &window, const DocumentData &doc);

// Commits the open editor and saves the window's document under number
// (0 for a new one) with state "0", "1" or "" (see SaveDocument). Shows
// nothing. A number the save gave the document is put into Lb登録番号;
// on failure the label keeps what it showed, except when another workstation
// overtook the document: the window then becomes a new document (number 0)
// holding the same content.
bool SaveWindowDocument(FM &window, int number, const QString &state, SaveFailure *why = nullptr);

// Fills the freshly built window with saved document id (as a reopen does,
// see ReopenSavedDocument) without telling of a page image that could not be
// read (pageImage null): the fields come back all the same.
bool RestoreWindowDocument(FM &window, int id, const QImage &pageImage);

// Fills the freshly built window with kept version kept of document id and
// makes it read-only ("第n版（旧版）", see FM::ShowAsOldVersion); page is the
// version's decoded page image (null: none or unreadable, a white page).
struct KeptVersion;
void ShowKeptVersion(FM &window, int id, const KeptVersion &kept, const QImage &page);
// Builds a document of kind showing kept version kept of document id, with
// the page image that version kept. imageRead tells whether a page image the
// version had could be read. False when the window was not built.
bool BuildKeptVersion(const QString &kind, int id, const KeptVersion &kept, bool *imageRead);

// Builds a document of kind and reopens saved document id in it: the fields
// and page are filled in before the window shows, and the change snapshot is
// taken, so that the reopened document counts as unchanged. When there is no
// such row the window stays the unsaved document the builder made (number 0,
// no page image), so that saving it stores a new row. A row of another
// patient than the window's (a stale history or list whose number was
// deleted and taken again) is not shown: the window is closed, the user told
// and the history reloaded. False when nothing was built (the old document
// stayed open) or the row was not found.
bool ReopenSavedDocument(const QString &kind, int id);
