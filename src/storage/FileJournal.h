#pragma once
#include <QString>

#include <functional>
#include <optional>

// A file change that belongs to a row change (a page image put in place or
// removed) is recorded in the table FileJournal inside the same transaction
// as the row. After the commit the caller carries it out; when the program
// stops before that is done, the next opening of the database finishes it.
// So the file always ends up as the committed row says, and a change whose
// transaction never committed leaves only its temporary file, which that
// opening removes.
//
// A step names, as absolute paths below DATA/:
//   target     the file the row goes with;
//   temporary  the complete new content, written and synced beside target
//              before the commit; empty for a removal of target;
//   aside      where an earlier target is kept instead of being replaced
//              (empty: replaced).

// The name pattern of a temporary file in folder (QTemporaryFile template).
// Temporaries live beside their targets, in the folders below DATA/pic_save.
QString TemporaryFileTemplate(const QString &folder);
// Whether a file name (without folder) is that of such a temporary.
bool IsTemporaryFileName(const QString &name);

// Flushes a written file / a folder's entries to the disk. True on success
// (and where the system offers no such call).
bool SyncFile(int fileDescriptor);
bool SyncFolder(const QString &folder);
// Test seam: told the path of each file or folder just flushed, on the
// thread that flushed it. Unset in the program.
void SetSyncObserver(std::function<void(const QString &path)> observer);

// Inside the write transaction of a row change, before its temporary file is
// written: from then until the step is carried out, an opening of the
// database elsewhere (another workstation) waits instead of taking this
// change's temporary for one left over.
bool HoldFileSteps();

// Records the step inside the open transaction, replacing an unfinished step
// of the same target.
bool RecordFileStep(const QString &target, const QString &temporary, const QString &aside);
// After the commit: carries the recorded step out and, once the files are
// synced, forgets it, in a write transaction of its own. A step that is no
// longer recorded was done already or replaced by a later change of the same
// file (another workstation saved or deleted the document in between): the
// target is then left as that change made it and this step's temporary is
// removed. False when a file could not be moved or removed; the step then
// stays recorded and the next opening tries again.
bool CarryOutFileStep(const QString &target, const QString &temporary, const QString &aside);

// Whether a committed change of target has not been carried out yet (its
// file is then still the one before that change).
bool FileStepPending(const QString &target);
// Where target's committed content is while its change is not carried out:
// the step's temporary (absolute), or empty for a pending removal; nullopt
// when no change of target is pending.
std::optional<QString> PendingFileContent(const QString &target);

// Finishes every recorded step and removes the temporary files no step names,
// holding the file steps alone (skipped when saves elsewhere hold them for
// long). Run by OpenDB once the tables are there.
void SettleFileSteps();
