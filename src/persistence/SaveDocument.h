#pragma once
#include "persistence/DocumentData.h"

#include <QString>

// Stores the document as one row of its kind's table and its surface as
// DATA/pic_save/<kind>/<number>.png, all or nothing.
//
// doc.number 0 is a new document: it gets the highest number the kind has
// used plus 1, counting both the table's IDs and the numbers of the images in
// the kind's folder (a lost table never makes a new document overwrite an
// older one's drawing), written back into doc.number only when the save
// succeeds. Otherwise the row with that ID is updated (its DrID is kept).
// state "0" stores pending, "1" finished; anything else ("" from the close
// question) keeps the flag of an existing row and makes a new row pending.
// 患者番号 is doc.patientId, or the current patient (PatientID) when the
// document names none.
// Fields and check boxes tagged like a fixed column (ID, DrID, 患者番号,
// 編集日, 終了判定, any letter case) are not written.
//
// Inside the save's transaction the image is written and synced to a
// temporary file beside its place, then the row and a record of the pending
// file step commit together; then the image replaces the old one
// (storage/FileJournal.h).
// A program stopped at any point leaves, after the next start, either the
// old row and image or the new ones. With doc.keepDamagedImage the old image
// is kept aside under another name instead of being replaced.
//
// On any failure before the commit (missing table or column, row deleted
// meanwhile, number range exhausted, a value too large for its column, image
// not writable) nothing is stored, no temporary file is left and doc.number is
// unchanged; the result is false and LastSaveError() says why when the user
// can do something about it. In the one case where the image cannot be moved
// into place after the commit, the result is false but doc.number holds the
// stored row's number, so that saving again updates that row; the next start
// puts the image in place.
//
// Saving a document again checks that nobody changed it since doc.version
// was read: a document overtaken by another workstation's save or delete
// stores nothing and reports SaveFailure::Overtaken. A successful save puts
// the new version into doc.version. New numbers are taken under a lock, so
// workstations saving new documents of one kind at once get distinct numbers.
// Each save writes its 操作履歴 row in the same transaction, and keeps its
// new version, with a copy of the image, in the document's kept versions
// (persistence/KeptVersions.h); the version before it is kept already.
//
// The caller commits any edit in progress into doc first, and rebuilds the
// patient's history after a successful save.
// Declined: the doctor chose not to save (nothing to report).
enum class SaveFailure { None, Failed, Overtaken, Declined };
bool SaveDocument(DocumentData &doc, const QString &state, SaveFailure *why = nullptr);

// Why the last SaveDocument failed, as a line for the user ("<tag> の値が大
// きすぎます。", ...); empty after a success or when there is nothing to add to
// "保存できませんでした".
QString LastSaveError();
