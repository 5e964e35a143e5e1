#pragma once
#include <QString>

#include <functional>

// Offers the drafts that doctor doctorId left behind in this application
// folder (a crash, a power cut), newest first, each with
// "保存されていない書類があります（<kind>・<patient>・<date time>）。復元しますか？"
// and, on a second line, "「いいえ」を選ぶと、この内容は破棄されます。".
// Yes makes the draft's patient current, calls takeDoctor (which makes the
// doctor current; false stops), and opens the main window with the document
// rebuilt as it was and marked as changed; the remaining drafts wait for the
// next time a doctor is chosen. No deletes the draft. A draft whose template
// or patient is gone is kept and the doctor is told why; a damaged one is
// renamed aside with a message. A draft of a saved document that is no longer
// stored (deleted by another program or workstation) is deleted unasked.
// Drafts of a document window that is still open in a running program are
// left alone.
// True when a document was restored.
bool RecoverDrafts(const QString &doctorId, const std::function<bool()> &takeDoctor = {});

// Deletes the drafts of saved document id of kind (it was deleted), except
// one that a running program is still writing.
void DiscardDraftsOf(const QString &kind, int id);
