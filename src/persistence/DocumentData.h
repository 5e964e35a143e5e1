#pragma once
#include <QImage>
#include <QList>
#include <QString>

// The part of a document window that is stored: what SaveDocument writes and
// LoadSavedDocument reads back. The document window copies its elements into
// it before saving and applies it after reopening.

// One LbItem element, in element order. Untagged elements may be included;
// they are neither stored nor loaded.
struct FieldValue
{
    QString tag;      // the column name (Tag)
    QString dataKind; // LinkItem: "0" number, "1" text, "2" memo
    QString text;     // the caption
};

// One ImgCheck element, in element order.
struct CheckValue
{
    QString tag;   // the column name (Tag)
    QString state; // DataField: "1" ticked, "0" empty
};

struct DocumentData
{
    QString kind;      // the window's tag: table name and image folder
    int number = 0;    // Lb登録番号; 0 until the first save gives it a number
    int version = 0;   // the stored version this content was read as or saved under (DocumentVersion.h)
    // 患者番号: the patient the document belongs to; read back with the row.
    QString patientId;
    QList<FieldValue> fields;
    QList<CheckValue> checks;
    // The persistent drawing surface (free drawing, pasted pictures and texts
    // on white) at the page's pixel size. Saved as DATA/pic_save/<kind>/<number>.png.
    QImage surface;
    // The stored page image could not be read back when the document was
    // reopened: the next save keeps that file aside instead of replacing it.
    bool keepDamagedImage = false;
};
