#pragma once
#include <QString>
#include <QVariantList>

// The chain of 操作履歴, between AuditTrail.cpp, which writes the rows, and
// AuditChain.cpp, which links them.
//
// A row is written inside the transaction of its change, carrying in 検証
// the hash of its own values, together with an entry of 操作履歴連結 that has
// no place yet. Linking it into the chain (its place 順 and 連結, the hash of
// the link before it, its ID and its 検証) takes a short transaction of its
// own after the change was committed, on the server by whichever workstation
// gets there first: saving workstations never wait for each other's links,
// and a link lost in a crash is made by the next one. SQLite, which lets one
// writer in at a time anyway, links the row before the commit.

// Whether 操作履歴 carries the chain (set by PrepareAuditChain).
bool AuditChained();
// The 検証 of a new row with these values.
QString AuditOwnHash(const QVariantList &values);
// Inside the transaction that wrote row id: its entry waiting for a place
// (SQLite: with its place). False on a failure.
bool AwaitAuditLink(qint64 id);
