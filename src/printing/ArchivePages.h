#pragma once
#include "printing/ArchiveCatalog.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

// The HTML pages of the archive, by path relative to the archive folder:
// index.html with every patient that has documents (number, name, kana,
// birth date, how many documents), and one page per patient listing the
// documents by date (kind, state, doctor) with a link to each PDF. Plain
// UTF-8 HTML without scripts, so any browser opens it from the folder.
// documents are the entries whose PDF the archive holds.
QHash<QString, QByteArray> ArchivePages(const ArchiveCatalog &catalog, const QList<ArchivedDocument> &documents,
                                        const QDateTime &made);
