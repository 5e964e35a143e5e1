#pragma once
#include <QDate>
#include <QString>

// The file name proposed for a document's PDF:
// <kind>_<patient number>_<patient name>_<yyyymmdd>.pdf. Blanks are left out,
// characters that a file name cannot hold become "_", overly long parts are
// shortened, and empty parts are skipped ("document.pdf" when all are).
QString PdfFileName(const QString &kind, const QString &patientNumber, const QString &patientName,
                    const QDate &date);

// The document's date from the texts of its year, month and day fields, or
// an invalid date when they do not make one.
QDate DocumentDate(const QString &year, const QString &month, const QString &day);
