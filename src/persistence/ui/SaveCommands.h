#pragma once
#include "persistence/DocumentData.h"
#include "persistence/SaveDocument.h"

#include <QString>

// What the document window's two ways of saving tell the user. Both return
// SaveDocument's result; after true the caller takes a new change snapshot
// and refreshes the patient's history.

// 保留データに保存 ("0") / 終了データに保存 ("1"): "保存しました" or "保存できませんでした".
bool SaveFromMenu(DocumentData &doc, const QString &state);

// Yes to "変更されています。保存しますか？": silent on success; on failure
// "保存できませんでした", and the caller keeps the document open (the close,
// or the document that was to replace it, does not go ahead).
bool SaveOnClose(DocumentData &doc);

// The message for a failed save: "保存できませんでした" with the reason the
// save gave, or the text for a document another workstation changed; empty
// when the doctor declined the save.
QString SaveFailureMessage(SaveFailure why);
