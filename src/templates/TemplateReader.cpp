#include "templates/TemplateReader.h"

#include "storage/AppPaths.h"
#include "storage/Ini.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <charconv>
#include <cmath>

namespace {

// Far beyond any page, small enough that sums of coordinates stay in int.
constexpr double kMaxCoordinate = 10'000'000;

// A field converts when it is a plain decimal number (spaces around it are
// allowed); anything else, including the empty text, leaves nullopt.
std::optional<double> number(const QStringList &fields, int index)
{
    if (index >= fields.size())
        return std::nullopt;
    const QStringView t = QStringView(fields[index]).trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    int digits = 0;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
        ++i;
        ++digits;
    }
    if (i < t.size() && t[i] == u'.') {
        ++i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != t.size() || t.size() > 40)
        return std::nullopt;
    // Plain ASCII from here on; the locale-aware conversions are far slower.
    char ascii[48];
    qsizetype n = 0;
    for (qsizetype k = t[0] == u'+' ? 1 : 0; k < t.size(); ++k)
        ascii[n++] = char(t[k].unicode());
    double v = 0;
    const auto result = std::from_chars(ascii, ascii + n, v);
    if (result.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> integerIn(const QStringList &fields, int index, double low, double high)
{
    const auto v = number(fields, index);
    if (!v)
        return std::nullopt;
    const double r = std::round(*v);
    if (r < low || r > high)
        return std::nullopt;
    return int(r);
}

std::optional<QString> text(const QStringList &fields, int index)
{
    if (index >= fields.size())
        return std::nullopt;
    return fields[index];
}

std::optional<long long> colour(const QStringList &fields, int index)
{
    const auto v = number(fields, index);
    if (!v || *v != std::floor(*v) || *v < 0 || *v > 0xFFFFFF)
        return std::nullopt;
    return static_cast<long long>(*v);
}

// Fields 0-3 as one move: every coordinate converts and the size is not negative.
TemplateRect rect(const QStringList &fields)
{
    const auto left = integerIn(fields, 0, -kMaxCoordinate, kMaxCoordinate);
    const auto top = integerIn(fields, 1, -kMaxCoordinate, kMaxCoordinate);
    const auto width = integerIn(fields, 2, 0, kMaxCoordinate);
    const auto height = integerIn(fields, 3, 0, kMaxCoordinate);
    if (!left || !top || !width || !height)
        return std::nullopt;
    return QRect(*left, *top, *width, *height);
}

QStringList split(const QString &value)
{
    return value.split(u'|', Qt::KeepEmptyParts);
}

void readTextElement(TemplateTextElement &e, const QString &value, bool withText)
{
    e.fields = split(value);
    e.geometry = rect(e.fields);
    e.alignment = integerIn(e.fields, 4, 0, 2);
    if (withText)
        e.text = text(e.fields, 5);
    e.fontName = text(e.fields, 6);
    if (const auto size = number(e.fields, 7); size && *size > 0 && *size <= 2048)
        e.fontSize = size;
    e.textColor = colour(e.fields, 8);
    e.tabIndex = integerIn(e.fields, 9, 0, 32767);
    e.tag = text(e.fields, 10);
}

// The [DATA] keys of a template, looked up without regard to letter case;
// the first of two equal keys wins, as with a single ReadIni.
class TemplateKeys
{
public:
    explicit TemplateKeys(const IniSection &section)
    {
        const QStringList &keys = section.keys();
        const QStringList &values = section.values();
        m_values.reserve(keys.size());
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const QString key = keys[i].toLower();
            if (!m_values.contains(key))
                m_values.insert(key, values[i]);
        }
    }

    QString value(const QString &key) const { return m_values.value(key.toLower()); }

    // Family values from <prefix>0 upward, up to the first empty or absent one.
    QStringList family(const QString &prefix) const
    {
        QStringList result;
        const QString lowerPrefix = prefix.toLower();
        for (int n = 0;; ++n) {
            const QString v = m_values.value(lowerPrefix + QString::number(n));
            if (v.isEmpty())
                break;
            result << v;
        }
        return result;
    }

private:
    QHash<QString, QString> m_values;
};

int sizeByVal(const QString &value)
{
    const double v = Val(value);
    if (!(v > 0))
        return 0;
    return int(std::min(std::round(v), kMaxCoordinate));
}

template <typename Element, typename Parse>
QVector<Element> readFamily(const TemplateKeys &keys, const char *prefix, Parse parse)
{
    QVector<Element> elements;
    const QStringList values = keys.family(QString::fromLatin1(prefix));
    elements.reserve(values.size());
    for (const QString &v : values)
        elements.push_back(parse(v));
    return elements;
}

} // namespace

TemplateLabel ParseLabel(const QString &value)
{
    TemplateLabel e;
    readTextElement(e, value, true);
    return e;
}

TemplateItem ParseItem(const QString &value)
{
    TemplateItem e;
    readTextElement(e, value, true);
    e.dataKind = text(e.fields, 11);
    e.clickAction = text(e.fields, 12);
    return e;
}

TemplatePatientField ParsePatientField(const QString &value)
{
    TemplatePatientField e;
    readTextElement(e, value, false);
    return e;
}

TemplateListButton ParseListButton(const QString &value)
{
    TemplateListButton e;
    e.fields = split(value);
    e.geometry = rect(e.fields);
    e.tag = text(e.fields, 4);
    e.listName = text(e.fields, 5);
    return e;
}

TemplateLine ParseLine(const QString &value)
{
    TemplateLine e;
    e.fields = split(value);
    e.x1 = integerIn(e.fields, 0, -kMaxCoordinate, kMaxCoordinate);
    e.y1 = integerIn(e.fields, 1, -kMaxCoordinate, kMaxCoordinate);
    e.x2 = integerIn(e.fields, 2, -kMaxCoordinate, kMaxCoordinate);
    e.y2 = integerIn(e.fields, 3, -kMaxCoordinate, kMaxCoordinate);
    e.color = colour(e.fields, 4);
    e.style = integerIn(e.fields, 5, 0, 6);
    e.width = integerIn(e.fields, 6, 1, 8192);
    return e;
}

TemplateCheck ParseCheck(const QString &value)
{
    TemplateCheck e;
    e.fields = split(value);
    e.geometry = rect(e.fields);
    e.tag = text(e.fields, 4);
    e.state = text(e.fields, 5);
    if (const auto state = number(e.fields, 5))
        e.checked = *state != 0;
    return e;
}

Template ReadTemplate(const QString &kind)
{
    if (kind.isEmpty()) {
        Template t;
        t.kind = kind;
        return t;
    }
    return TemplateFromSection(kind, IniSection::load(kind));
}

Template TemplateFromSection(const QString &kind, const IniSection &section)
{
    Template t;
    t.kind = kind;
    const TemplateKeys keys(section);
    t.width = sizeByVal(keys.value(QStringLiteral("Width")));
    t.height = sizeByVal(keys.value(QStringLiteral("Height")));
    t.labels = readFamily<TemplateLabel>(keys, "label_", ParseLabel);
    t.items = readFamily<TemplateItem>(keys, "lbItem_", ParseItem);
    t.patientFields = readFamily<TemplatePatientField>(keys, "lbKanja_Data_", ParsePatientField);
    t.listButtons = readFamily<TemplateListButton>(keys, "lbList_", ParseListButton);
    t.lines = readFamily<TemplateLine>(keys, "LineG_", ParseLine);
    t.pageLines = readFamily<TemplateLine>(keys, "LinePage_", ParseLine);
    t.checks = readFamily<TemplateCheck>(keys, "ImgCheck_", ParseCheck);
    return t;
}

QStringList TemplateKinds()
{
    const QDir dir(DataPath(QStringLiteral("ini")));
    const QStringList names = dir.entryList({QStringLiteral("*")}, QDir::Files,
                                            QDir::Name | QDir::IgnoreCase);
    QStringList kinds;
    for (const QString &name : names) {
        if (name == QStringLiteral("setting.ini"))
            continue;
        if (name.size() > 4 && name.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive))
            kinds << name.left(name.size() - 4);
    }
    return kinds;
}
