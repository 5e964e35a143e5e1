#pragma once
#include <QString>
#include <QStringList>

// Settings and templates: DATA/ini/<file>.ini, one section [DATA], CP932 on disk.
// A missing file, section or key reads as "". Values are cut to 254 characters.
QString ReadIni(const QString &file, const QString &key);
// Writes key=value into [DATA], keeping every other line of the file as it was.
// The file is replaced atomically. Returns non-zero on success.
long WriteIni(const QString &file, const QString &key, const QString &value);

// The locale-independent "Val" rule: leading decimal number, rest ignored, "" gives 0.
double Val(const QString &text);
// Reads an INI file's [DATA] section in one pass (templates have hundreds of keys).
class IniSection
{
public:
    static IniSection load(const QString &file);
    // The same for a file given by its full path.
    static IniSection loadPath(const QString &path);
    QString value(const QString &key) const;
    // Every key and value of the section in file order (values already cut).
    const QStringList &keys() const { return m_keys; }
    const QStringList &values() const { return m_values; }
    bool isEmpty() const { return m_keys.isEmpty(); }

private:
    QStringList m_keys;
    QStringList m_values;
};

// DATA/ini/<file>.ini, or the file of that name in another letter case
// ("<file>.INI") when only that one exists: every reader and writer of
// settings and templates finds its file here.
QString IniPath(const QString &file);
QString DecodeCp932(const QByteArray &bytes);
QByteArray EncodeCp932(const QString &text);
