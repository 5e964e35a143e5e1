#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// One printed sheet: the band [top, top + height) of the document, twips.
struct PrintSheet
{
    int page = 1;  // 1 = the part above the page lines, then one per page line
    int copy = 1;  // 1 .. copies
    int top = 0;
    int height = 0;
    bool operator==(const PrintSheet &o) const
    {
        return page == o.page && copy == o.copy && top == o.top && height == o.height;
    }
};

// The sheets in printing order: every copy of page 1, then every copy of the
// page starting at each page line, the page lines taken in element order.
// Page 1 runs from the top to the first page line below it; a page ends at
// the next page line below its start, or at the document's bottom. Pages that
// would start at or below the bottom are left out. Without page lines the
// whole document is one page.
QList<PrintSheet> SplitPages(const QList<int> &pageLines, int documentHeight, int copies);

// Copies are bounded: more than this is refused rather than printed.
constexpr int kMaxCopies = 99;

// The number of copies a copies text asks for: its "Val", rounded to the
// nearest integer (halves to the even neighbour). Non-numbers give 0.
long long CopiesFromText(const QString &text);
// The spinner: one more (from below 1 the result is 1; never above kMaxCopies)
// and one fewer (1 or less stays as it is; above kMaxCopies becomes kMaxCopies).
QString CopiesUp(const QString &text);
QString CopiesDown(const QString &text);

// Which printer the printer list starts on.
struct PrinterChoice
{
    int index = -1;            // entry to select, -1 when the list is empty
    bool storedMissing = false; // a stored printer that is not installed
};
// installed: the device names in list order; defaultName: the system's
// default printer (may be empty); stored: the printer used last.
PrinterChoice ChoosePrinter(const QStringList &installed, const QString &defaultName,
                            const QString &stored);
