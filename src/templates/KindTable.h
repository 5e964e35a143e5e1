#pragma once
#include "templates/Template.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

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

// The columns every kind table has: ID, DrID, 患者番号, 編集日, 終了判定
// (any letter case). Fields and check boxes tagged so get no column of their
// own and are not stored.
bool IsFixedKindColumn(const QString &name);

// True when the database has a table named kind, letter case aside: kinds
// whose names differ only in letter case are one kind (see StoredTableName).
bool KindTableExists(const QString &kind);

// Creates the kind's table from the input fields and the check-box tags of the
// built document, both in element order. Untagged elements and those tagged
// like a fixed column are skipped; of two columns whose names differ only in
// ASCII letter case the first one wins; a column the database refuses is left
// out and the rest are still made. Returns whether the table was created
// (false when one of that name exists already, the kind is empty or the
// database refuses it). When the table is refused, *reason says why in words
// for the user (more columns than the database allows, or its own message).
bool CreateKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags, QString *reason = nullptr);

// Adds to the kind's existing table the columns its template has gained
// since (same types as at creation, after the existing columns; stored rows
// keep NULL there) and records each in 操作履歴. True when nothing is missing
// afterwards; *added lists the columns made. False with *reason when the
// table would get more columns than the database allows or refuses them.
bool ExtendKindTable(const QString &kind, const QList<KindColumnSource> &fields,
                     const QStringList &checkTags, QStringList *added = nullptr, QString *reason = nullptr);

// Whether columns, the names of a kind table's columns as read with one of its
// rows, hold every column these fields and check boxes need: the table then
// needs no ExtendKindTable and is not asked for its columns again. False for
// an empty list.
bool KindColumnsPresent(const QList<KindColumnSource> &fields, const QStringList &checkTags,
                        const QStringList &columns);

// The most characters a text field (data kind 1) holds, as its column is declared.
constexpr int kTextFieldSize = 255;
// Characters as the database counts them (a surrogate pair is one).
int StoredLength(const QString &text);

// A field's data kind read as a number (" 1" is 1); nullopt when it is none.
std::optional<int> DataKindNumber(const QString &dataKind);
// For a tagged field whose data kind is not 0, 1 or 2: a line for the user
// naming the field and its data kind, which gets no column and cannot be
// saved. Empty otherwise.
QString DataKindProblem(const KindColumnSource &field);

// The same column sources read straight from a template (tags and data kinds
// as written; fields missing there are taken as empty).
QList<KindColumnSource> KindColumnSources(const Template &t);
QStringList KindCheckTags(const Template &t);
