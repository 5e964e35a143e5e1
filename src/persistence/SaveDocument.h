#pragma once
#include "persistence/DocumentData.h"

#include <QString>

// Stores the document as one row of its kind's table and its surface as
// DATA/pic_save/<kind>/<number>.png, all or nothing.
//
// doc.number 0 is a new document: it gets the highest ID of the table plus 1,
// written back into doc.number only when the save succeeds. Otherwise the row
// with that ID is updated (its DrID is kept).
// state "0" stores pending, "1" finished; anything else ("" from the close
// question) keeps the flag of an existing row and makes a new row pending.
//
// The image goes to a temporary file first, the row is written inside a
// transaction, and the image replaces the old one only after the commit. On
// any failure (missing table or column, row deleted meanwhile, image not
// writable) nothing is stored, no temporary file is left and doc.number is
// unchanged; the result is false. In the one case where the image cannot be
// moved into place after the commit, the result is false but doc.number holds
// the stored row's number, so that saving again updates that row.
//
// Saving a document again checks that nobody changed it since doc.version
// was read: a document overtaken by another workstation's save or delete
// stores nothing and reports SaveFailure::Overtaken. A successful save puts
// the new version into doc.version. New numbers are taken under a lock, so
// workstations saving new documents of one kind at once get distinct numbers.
// Each save writes its 操作履歴 row in the same transaction.
//
// The caller commits any edit in progress into doc first, and rebuilds the
// patient's history after a successful save.
enum class SaveFailure { None, Failed, Overtaken };
bool SaveDocument(DocumentData &doc, const QString &state, SaveFailure *why = nullptr);
