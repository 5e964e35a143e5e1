#pragma once
#include "persistence/DocumentData.h"
#include "storage/ChainHash.h"

#include <QImage>
#include <QString>

#include <optional>

// Reads the row with this ID of the kind's table into out, whose fields and
// checks the freshly built document window has filled (tags, data kinds and
// the builder's texts). A field or check box whose tag names no column keeps
// what it had. Number fields show 0 as empty; text and memo fields show what
// was stored, "0" included. A check box takes the stored value as its state
// ("0" for 0 or no value); out.patientId takes the stored 患者番号.
// out.kind and out.number are set in every case.
// False when there is no such row (out's fields are then left alone).
// stored, when given, takes the whole row as read, column by column, as
// CurrentRow gives it (out.version is its version, of the same moment).
bool LoadSavedDocument(const QString &kind, int id, DocumentData &out, RowValues *stored = nullptr);

// Draws the PNG file at path onto surface at its origin, replacing the pixels
// it covers. A file that is missing or does not begin with the PNG signature
// is not decoded; false then, and also when it cannot be decoded or surface
// is null.
bool LoadPngImage(const QString &path, QImage &surface);
// The two halves of LoadPngImage: decoding (safe on any thread; a null image
// when the file is missing, not a PNG or damaged) and drawing the result.
// The same from a row already read (a kept version's values): fields and check
// boxes whose tag names a column of row (any letter case) take its value as
// LoadSavedDocument would; out.patientId takes 患者番号.
void ApplyRowValues(const RowValues &row, DocumentData &out);

QImage ReadPngImage(const QString &path);
bool DrawPngImage(const QImage &image, QImage &surface);

// A page image file read once: what its bytes decode to (as ReadPngImage)
// and their SHA-256, so that what is shown is what is checked against the
// kept version. sha256 is empty for a missing file and nullopt for one that
// could not be read. Safe on any thread.
struct PageFile
{
    QImage image;
    std::optional<QString> sha256;
};
PageFile ReadPageFile(const QString &path);

// Both of the above for doc.kind: the row, then the page image
// DATA/pic_save/<kind>/<id>.png onto doc.surface. The fields are restored even
// when the image is missing or damaged. Returns whether the row was found.
bool OpenSavedDocument(DocumentData &doc, int id);
