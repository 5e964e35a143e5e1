#pragma once
#include <QDate>
#include <QList>
#include <QString>

// Table 操作履歴: one row per change of the records (and per print and PDF),
// written by the caller inside the transaction of the change itself, so that
// the trail never tells of a change that was rolled back.

// The operations, as stored and shown.
namespace audit {
inline QString NewSave() { return QStringLiteral("新規保存"); }
inline QString Save() { return QStringLiteral("保存"); }
inline QString ToPending() { return QStringLiteral("保留に変更"); }
inline QString ToFinished() { return QStringLiteral("終了に変更"); }
inline QString Delete() { return QStringLiteral("削除"); }
inline QString Print() { return QStringLiteral("印刷"); }
inline QString PdfExport() { return QStringLiteral("PDF出力"); }
inline QString NewPatient() { return QStringLiteral("患者登録"); }
inline QString PatientChange() { return QStringLiteral("患者変更"); }
inline QString ChangeFound() { return QStringLiteral("保存後の変更を検出"); }
} // namespace audit

// Appends one row stamped with the local time and this workstation's host
// name. documentId 0 and an empty kind for patient operations. False when it
// could not be written (the caller then rolls its change back).
// Each row carries in 検証 the hash of its values and is linked after the
// commit into a chain of every row (AuditChain.h), so that a row changed or
// removed afterwards is found. Outside a transaction the row is written in
// one of its own.
bool WriteAudit(const QString &operation, const QString &doctorId, const QString &kind,
                int documentId, const QString &patientId);

struct AuditRow
{
    QString time;       // "2026-12-08 09:15:02"
    QString workstation;
    QString doctorId;
    QString operation;
    QString kind;
    QString documentId; // empty for patient operations
    QString patientId;
};

// Rows newest first, at most limit of them; patientId empty: every patient;
// from/to (inclusive) null: no bound.
QList<AuditRow> ReadAudit(const QString &patientId, const QDate &from, const QDate &to, int limit);

// After a commit (CommitTrans) and before the records close (CloseDB): links
// the rows this workstation wrote, and every other committed row still
// waiting, into the chain; when another workstation is linking just then,
// this one tries again at its next commit or close.
void LinkAuditRows();

// Gives a 操作履歴 made by an earlier release the columns 前 and 検証, and the
// rows it chained their places in the chain (run by OpenDB). Where the
// columns cannot be added, rows are written without them.
void PrepareAuditChain();

// Links the rows still waiting, then checks every row: one whose 検証 does
// not match its values (changed), or whose link is not made from the link
// before it (rows removed in between, or a row unlinked and linked again).
// Rows not linked are checked on their own; rows written before the chain
// began (no 検証) are not checked.
struct AuditBreak
{
    qint64 id = 0;
    bool removedBefore = false; // else: the row itself changed
};
struct AuditCheck
{
    qint64 checked = 0;
    qint64 unlinked = 0; // of them, not (yet) in the chain
    QList<AuditBreak> breaks;
};
AuditCheck VerifyAuditChain();
