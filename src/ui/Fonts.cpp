#include "ui/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
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

// Captions in a face without Japanese glyphs send every first caption through
// fontconfig's list of fallback faces (a good part of the start) and draw one
// line in two faces; the windows were laid out for MS UI Gothic.
void InstallUiFont()
{
    QFont font = QGuiApplication::font();
    if (QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::Japanese))
        return;
    const QString face = QFont::substitute(QStringLiteral("MS UI Gothic"));
    if (!QFontDatabase::hasFamily(face))
        return;
    font.setFamily(face);
    QGuiApplication::setFont(font);
}
