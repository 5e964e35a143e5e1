#include "storage/Ini.h"
#include "storage/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr int kReadLimit = 254;
const QString kSection = QStringLiteral("DATA");

QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.startsWith(u'[')) {
        const int end = t.indexOf(u']');
        if (end > 0)
            return t.mid(1, end - 1).trimmed();
    }
    return QString();
}

bool isSectionLine(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.indexOf(u']') > 0;
}

// Splits "key=value"; false for lines that carry no key.
bool splitKeyValue(const QString &line, QString *key, QString *value)
{
    const int eq = line.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    if (key->isEmpty() || key->startsWith(u';'))
        return false;
    QString v = line.mid(eq + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"'))
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

QStringList readLines(const QString &path, bool *exists)
{
    QFile f(path);
    *exists = f.open(QIODevice::ReadOnly);
    if (!*exists)
        return {};
    QString text = DecodeCp932(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QString DecodeCp932(const QByteArray &bytes)
{
    QStringDecoder decoder("CP932");
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

QByteArray EncodeCp932(const QString &text)
{
    QStringEncoder encoder("CP932");
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
}

QString IniPath(const QString &file)
{
    const QString folder = DataPath(QStringLiteral("ini/"));
    const QString exact = folder + file + QStringLiteral(".ini");
    if (QFileInfo::exists(exact))
        return exact;
    // Templates copied from elsewhere are often named "<kind>.INI"; on a
    // case-sensitive file system every reader must still find them.
    const QString wanted = file + QStringLiteral(".ini");
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names)
        if (name.size() == wanted.size() && name.startsWith(file)
            && name.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive))
            return folder + name;
    for (const QString &name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return folder + name;
    return exact;
}

double Val(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    QString number;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        number += t[i++];
    bool digits = false, dot = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            number += c;
            digits = true;
        } else if (c == u'.' && !dot) {
            number += c;
            dot = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    return number.toDouble();
}

IniSection IniSection::load(const QString &file)
{
    return loadPath(IniPath(file));
}

IniSection IniSection::loadPath(const QString &path)
{
    IniSection section;
    bool exists = false;
    const QStringList lines = readLines(path, &exists);
    bool inData = false;
    for (const QString &line : lines) {
        if (isSectionLine(line)) {
            inData = sectionName(line).compare(kSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString key, value;
        if (inData && splitKeyValue(line, &key, &value)) {
            section.m_keys << key;
            section.m_values << value.left(kReadLimit);
        }
    }
    return section;
}

QString IniSection::value(const QString &key) const
{
    for (qsizetype i = 0; i < m_keys.size(); ++i)
        if (m_keys[i].compare(key, Qt::CaseInsensitive) == 0)
            return m_values[i];
    return QString();
}

QString ReadIni(const QString &file, const QString &key)
{
    return IniSection::load(file).value(key);
}

long WriteIni(const QString &file, const QString &key, const QString &value)
{
    const QString path = IniPath(file);
    bool exists = false;
    QStringList lines = readLines(path, &exists);
    if (!exists && QFileInfo::exists(path))
        return 0; // present but unreadable: leave it alone

    const QString newLine = key + u'=' + value;
    int sectionStart = -1;
    int sectionEnd = lines.size(); // one past the section's last line
    for (int i = 0; i < lines.size(); ++i) {
        if (!isSectionLine(lines[i]))
            continue;
        if (sectionStart >= 0) {
            sectionEnd = i;
            break;
        }
        if (sectionName(lines[i]).compare(kSection, Qt::CaseInsensitive) == 0)
            sectionStart = i;
    }

    bool written = false;
    if (sectionStart >= 0) {
        for (int i = sectionStart + 1; i < sectionEnd; ++i) {
            QString k, v;
            if (splitKeyValue(lines[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
                lines[i] = newLine;
                written = true;
                break;
            }
        }
        if (!written) {
            int insertAt = sectionEnd;
            while (insertAt > sectionStart + 1 && lines[insertAt - 1].trimmed().isEmpty())
                --insertAt;
            lines.insert(insertAt, newLine);
        }
    } else {
        lines << QStringLiteral("[DATA]") << newLine;
    }

    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    out.write(EncodeCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    return out.commit() ? 1 : 0;
}
