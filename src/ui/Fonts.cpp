#include "ui/Fonts.h"

#include <QFont>
#include <QString>

void InstallFontSubstitutes()
{
    struct Mapping {
        const char *windowsName;
        const char *ipaFace;
    };
    static const Mapping mappings[] = {
        {"ＭＳ Ｐ明朝", "IPAPMincho"},   {"MS PMincho", "IPAPMincho"},
        {"ＭＳ 明朝", "IPAMincho"},      {"MS Mincho", "IPAMincho"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
        {"MS UI Gothic", "IPAPGothic"},
        {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
    };
    for (const Mapping &m : mappings)
        QFont::insertSubstitution(QString::fromUtf8(m.windowsName), QString::fromUtf8(m.ipaFace));
}
