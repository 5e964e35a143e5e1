#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// Which of tables have which of names as a column, asked in one question
// however many tables there are: each table that has any (by its name as
// given) with those of the names it has, spelled as stored. Names meet as the
// stores compare them, ASCII letters in either case.
QHash<QString, QStringList> ColumnsOfTables(const QStringList &tables, const QStringList &names);
