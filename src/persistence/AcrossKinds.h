#pragma once
#include "persistence/SavedDocuments.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

// One SELECT put to the tables of many kinds: one question for their
// columns, then one statement for up to a hundred kinds, so that a hospital's
// hundreds of kinds are not as many round trips to the server.
struct AcrossKinds
{
    QStringList values;  // the columns selected, in order; one a table lacks reads as NULL
    QStringList needed;  // the columns a table must have to be asked at all
    QString where;       // the condition, with ? for binds
    QVariantList binds;  // the values of where's placeholders
    bool asText = false; // every value as text on the server, where the kinds' tables may type a column differently
};

// Calls take for every row with the index of its kind in kinds; the row's
// values are value(1) onwards. A kind's rows come in the order its table
// gives them. On the server, kinds that type a value differently (a date in
// number fields here, in text fields there) are asked in statements of
// their own, as the server joins only columns of one type category. A table
// the joined statement cannot read all the same is asked on its own.
void SelectAcrossKinds(const QList<StoredKind> &kinds, const AcrossKinds &select,
                       const std::function<void(qsizetype kind, const QSqlQuery &row)> &take);
