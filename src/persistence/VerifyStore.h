#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// Checks everything the program can tell about changes made outside it
// (Rydol --verify): every document's chain of kept versions (each entry its
// own hash, linked to the one before, none missing at its end), its row and
// page image against the newest entry, every kept image, and the chain of
// 操作履歴.

struct StoreBreak
{
    QString kind;     // empty for 操作履歴
    qint64 id = 0;    // document number, or the 操作履歴 row's ID
    int version = 0;  // the kept version concerned (0 for 操作履歴)
    QString what;     // "row changed", "image replaced", "image missing", ...
};

struct StoreCheck
{
    qint64 documents = 0;       // documents with kept versions
    qint64 unversioned = 0;     // rows saved before versions were kept
    qint64 versions = 0;
    qint64 images = 0;          // page images and kept images
    qint64 auditRows = 0;
    qint64 auditUnlinked = 0;   // of them, not (yet) linked into the chain
    QList<StoreBreak> breaks;
    bool intact() const { return breaks.isEmpty(); }
    // The report, one line each: the counts, then every break.
    QStringList report() const;
};

StoreCheck VerifyStore();
