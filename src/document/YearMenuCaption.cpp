#include "document/YearMenuCaption.h"

QString YearMenuCaption(int year)
{
    struct Era
    {
        int firstYear;
        const char *letter;
    };
    // An era is named from its first calendar year on.
    static const Era eras[] = {{2019, "R"}, {1989, "H"}, {1926, "S"}, {1912, "T"}, {1868, "M"}};
    for (const Era &era : eras)
        if (year >= era.firstYear)
            return QStringLiteral("%1 (%2%3)").arg(year).arg(QLatin1String(era.letter)).arg(year - era.firstYear + 1);
    return QString::number(year);
}
