#pragma once
#include <QString>
#include <QStringList>

// The readable archive: every saved document as the PDF its print gives, and
// plain HTML pages (index.html, one page per patient) that any browser opens
// from the folder while the program or the database server is down.

struct ArchiveResult
{
    int documents = 0; // current documents the archive holds now (not counting kept versions)
    int written = 0;   // PDFs made in this run
    int removed = 0;   // files of documents deleted since the last run
    QStringList failures; // one line per document or file that could not be written
    QStringList warnings; // written, but not all of it (a page image could not be read)
    bool ok() const { return failures.isEmpty(); }
};

// Brings the archive in folder (made when missing) up to date with the open
// database: makes the PDF of every document that is new or changed since the
// last run (or whose PDF is gone), removes those of deleted documents and
// rewrites the pages. Documents are rebuilt from their template, row and
// page image in the document window, which is unloaded afterwards; nothing
// is stored. The current patient is left as the last one looked up.
ArchiveResult ExportArchive(const QString &folder);

// Rydol --export-archive <folder>: runs ExportArchive without a display,
// reports on standard output and error, and returns the exit code (0 when
// everything was written).
int ExportArchiveCommand(int argc, char *argv[], const QString &folder);
