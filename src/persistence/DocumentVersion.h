#pragma once
#include <QString>

// Every change of a saved document counts its version up in table 書類版
// (kind, ID, version), inside the transaction that changes the row. A document
// window remembers the version it read; a save that finds another version
// stored was overtaken by another workstation and must store nothing.
// Versions only grow, also over a delete, so a window still holding a deleted
// document never matches a later document that gets the same number.

// The stored version, 0 when there is none (documents saved before versions
// were kept, or never saved).
int StoredVersion(const QString &kind, int id);
// The same as a scalar subquery to read beside a row in one statement, with
// two placeholders: kind and ID. NULL when there is none.
QString StoredVersionSubquery();

enum class VersionClaim { Claimed, Overtaken, Failed };

// Inside a write transaction: when the stored version is still expected,
// stores expected + 1 (held until the transaction ends) and puts it into
// claimed; Overtaken when another workstation changed the document meanwhile.
VersionClaim ClaimNextVersion(const QString &kind, int id, int expected, int *claimed);

// Inside a write transaction: counts the version up whatever it was (a new
// document under a number used before, a delete). claimed may be null.
bool AdvanceVersion(const QString &kind, int id, int *claimed);
