#include "printing/PageSplit.h"

#include "storage/Ini.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The end of the page starting at top: the nearest page line below it, or
// the document's bottom.
int pageEnd(const QList<int> &pageLines, int top, int documentHeight)
{
    int end = documentHeight;
    for (int y : pageLines)
        if (y > top && y < end)
            end = y;
    return end;
}

} // namespace

QList<PrintSheet> SplitPages(const QList<int> &pageLines, int documentHeight, int copies)
{
    QList<PrintSheet> sheets;
    if (copies <= 0 || documentHeight <= 0)
        return sheets;
    QList<int> starts{0};
    for (int y : pageLines)
        starts.append(std::max(0, y));
    int page = 0;
    for (int top : starts) {
        if (top >= documentHeight)
            continue;
        ++page;
        const int height = pageEnd(pageLines, top, documentHeight) - top;
        for (int c = 1; c <= copies; ++c)
            sheets.append(PrintSheet{page, c, top, height});
    }
    return sheets;
}

long long CopiesFromText(const QString &text)
{
    const double v = Val(text);
    if (std::isnan(v))
        return 0;
    if (v >= double(LLONG_MAX / 2))
        return LLONG_MAX / 2;
    if (v <= double(LLONG_MIN / 2))
        return LLONG_MIN / 2;
    return std::llrint(v); // the default rounding mode sends halves to the even neighbour
}

QString CopiesUp(const QString &text)
{
    const long long v = CopiesFromText(text);
    return QString::number(std::clamp(v + 1, 1LL, (long long)kMaxCopies));
}

QString CopiesDown(const QString &text)
{
    const long long v = CopiesFromText(text);
    if (v <= 1)
        return text;
    return QString::number(std::min(v, (long long)kMaxCopies + 1) - 1);
}

PrinterChoice ChoosePrinter(const QStringList &installed, const QString &defaultName,
                            const QString &stored)
{
    PrinterChoice choice;
    if (installed.isEmpty()) {
        choice.storedMissing = !stored.isEmpty();
        return choice;
    }
    if (!stored.isEmpty()) {
        const int at = installed.indexOf(stored);
        if (at >= 0) {
            choice.index = at;
            return choice;
        }
        choice.storedMissing = true;
    }
    const int def = installed.indexOf(defaultName);
    choice.index = def >= 0 ? def : 0;
    return choice;
}
