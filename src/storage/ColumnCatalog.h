#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// The tables of the open database having any of names as a column, asked in
// one question however many tables there are: each table by its name as
// stored, with those of the names it has, spelled as stored. Names meet as
// the stores compare them, ASCII letters in either case.
QHash<QString, QStringList> TablesHavingColumns(const QStringList &names);
