#pragma once
#include <QString>

class QSqlError;
class QSqlQuery;

// Why database work failed, in words for the user. The statements of the
// program note their errors; the first one since ClearDatabaseFailure() that
// has words is the one told, as the later ones follow from it.
void ClearDatabaseFailure();
void NoteDatabaseFailure(const QSqlError &error);
// A reason already worded (a value too long for its column, a server that
// cannot be reached again).
void NoteDatabaseFailure(const QString &reason);
// One line for the user when the server turned the work down (connection
// lost, no permission, value too long); empty for failures that the
// caller's own message covers.
QString DatabaseFailureReason();

// q.exec(), noting its failure.
bool ExecNoted(QSqlQuery &q);
