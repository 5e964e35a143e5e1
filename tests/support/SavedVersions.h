#pragma once
#include <QMap>
#include <QString>

// Documents of a kind with the columns 版 (a number) and 所見, whose page
// image is filled with the colour 版: as tests/helpers/save_loop.cpp saves
// them. Row and image must always be of one version.

// The stored rows of the kind in the open database: ID -> 版.
QMap<int, int> StoredVersions(const QString &kind);

// Every document whole: each row with an image of its version, each image
// with a row, no other file. Empty when all is well, else what is wrong.
QString WholeDocuments(const QString &kind, const QMap<int, int> &rows);
