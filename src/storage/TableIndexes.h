#pragma once
#include <QStringList>

// The indexes the program's lookups need, made where the open database lacks
// them (tables of earlier versions get them on their first open).
void CreateProgramIndexes();
// The indexes the open database held when they were last made, by their
// names as stored.
const QStringList &DatabaseIndexes();
