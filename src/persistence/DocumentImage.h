#pragma once
#include <QString>

// Page images live in DATA/pic_save/<kind>/<number>.png.
QString DocumentImageFolder(const QString &kind);
QString DocumentImagePath(const QString &kind, int number);

// A kind names a table and a folder below pic_save; names that would leave
// that folder ("", ".", "..", anything with a slash) are refused.
bool IsUsableKindName(const QString &kind);
