#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// Which of tables have which of names as a column, asked in one question
// however many tables there are: each table that has any (by its name as
// given) with those of the names it has, spelled as stored. Names meet as the
// stores compare them, ASCII letters in either case. On the server,
// categories takes for each such table the type category of each of those
// columns, in the same order (pg_type.typcategory: "N" numbers, "S" texts,
// ...): the server joins columns of one category in a UNION, not of two.
QHash<QString, QStringList> ColumnsOfTables(const QStringList &tables, const QStringList &names,
                                            QHash<QString, QStringList> *categories = nullptr);
