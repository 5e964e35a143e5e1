#pragma once
#include <QString>

class QSqlQuery;

// Statements a workstation puts again and again with other values (a
// patient's history over every kind, at every choice of patient), prepared
// once on the open connection and kept: the server plans a statement of a
// hundred SELECTs once instead of at every call. They are forgotten when the
// records close and when a lost connection is opened again.

// The statement, prepared on first use; nullptr when it cannot be prepared.
// The caller binds by position, runs and reads it, and finishes it
// (QSqlQuery::finish) before anything else is asked of the database.
QSqlQuery *KeptStatement(const QString &sql);
void ForgetKeptStatements();
