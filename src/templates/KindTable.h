#pragma once
#include "templates/Template.h"

#include <QList>
#include <QString>
#include <QStringList>

// Every document kind has a table named exactly like the kind:
//   ID INTEGER, DrID VARCHAR(50), 患者番号 VARCHAR(50),
//   one column per tagged input field (data kind "0" INTEGER, "1" VARCHAR(255),
//   "2" TEXT, anything else none), one INTEGER per tagged check box,
//   編集日 INTEGER, 終了判定 INTEGER,
// indexed on ID and on 患者番号 (see IndexKindTable).

// An input field of the built document, in element order.
struct KindColumnSource
{
    QString tag;
    QString dataKind;
};

// True when the database has a table whose name equals kind exactly
// (letter case included).
bool KindTableExists(const QString &kind);

// Creates the kind's table from the input fields and the check-box tags of the
// built document, both in element order. Untagged elements are skipped; of two
// columns whose names differ only in ASCII letter case the first one wins; a
// column the database refuses is left out and the rest are still made.
// Returns whether the table was created (false when it exists already, the
// kind is empty or the database refuses it).
bool CreateKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags);

// The same column sources read straight from a template (tags and data kinds
// as written; fields missing there are taken as empty).
QList<KindColumnSource> KindColumnSources(const Template &t);
QStringList KindCheckTags(const Template &t);
