#pragma once
#include "persistence/DocumentData.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

// A draft: everything needed to rebuild a document window that holds unsaved
// changes, kept in the user's own data folder until the document is saved or
// deliberately discarded.

struct DraftPicture // the floating picture, not yet pasted
{
    QImage picture;
    QRect twips;
};

struct DraftText // the floating text, not yet pasted
{
    QString text;
    QRect twips;
    QColor color = Qt::black;
    double pointSize = 10.5;
    bool bold = false;
    bool underline = false;
};

struct Draft
{
    // kind, number (0 for a new document), the stored version it was read as
    // or saved under, every field and check box. The text typed into an open
    // editor is already in its field. The surface is not kept here once it is
    // encoded: see pagePng.
    DocumentData doc;
    QString state; // of the stored row: "0" 保留, "1" 終了, "" none yet
    QString patientId;
    QString patientName;
    QString doctorId;
    QString doctorName;
    QString appFolder; // the application folder whose DATA the document belongs to
    std::optional<DraftPicture> picture;
    std::optional<DraftText> text;
    QDateTime time;
    // The page image as PNG bytes.
    QByteArray pagePng;
};

// The page image in the form drafts keep it (the compact PNG of the page).
QByteArray EncodePagePng(const QImage &surface);

// The whole file: a header, the draft, and a checksum over both.
QByteArray EncodeDraft(const Draft &draft);
// False for anything that is not a whole, intact draft.
bool DecodeDraft(const QByteArray &bytes, Draft &out);

// Drafts of this user on this workstation: <data location>/drafts/<host>.
QString DraftFolder();
// Draft files are <id>.draft; while the document lives, <id>.lock is held by
// its program, and <id>.draft.tmp is a write in progress.
QString DraftPath(const QString &id);
QString DraftLockPath(const QString &id);
QString DraftTempPath(const QString &id);

// Writes bytes to path so that a crash at any moment leaves either the old
// file or the new one whole: a temporary file beside it, flushed to disk, then
// renamed over it, and the folder flushed.
bool WriteFileAtomically(const QString &path, const QString &tempPath, const QByteArray &bytes);

// Test seam: called on the writing thread while a draft is being written
// (stage 1: half of the temporary file is written; stage 2: it is complete
// but not yet renamed). Unset in the program.
void SetDraftWriteProbe(std::function<void(int stage)> probe);
