#pragma once
#include <QString>

// Offers the drafts that the current doctor left behind in this application
// folder (a crash, a power cut), newest first, each with
// "保存されていない書類があります（<kind>・<patient>・<date time>）。復元しますか？".
// Yes opens the main window on the draft's patient with the document rebuilt
// as it was and marked as changed; the remaining drafts wait for the next
// time a doctor is chosen. No deletes the draft. A draft whose template or
// patient is gone is kept and the doctor is told why; a damaged one is
// renamed aside with a message. A draft of a saved document that is no longer
// stored (deleted by another program or workstation) is deleted unasked.
// Drafts of a document window that is still open in a running program are
// left alone.
// True when a document was restored.
bool RecoverDrafts();

// Deletes the drafts of saved document id of kind (it was deleted), except
// one that a running program is still writing.
void DiscardDraftsOf(const QString &kind, int id);
