#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Settings and templates: DATA/ini/<file>.ini, one section [DATA].
// A missing file, section or key reads as "". Values are cut to 254 characters.
//
// Files are read and written in the encoding they were saved in: UTF-8 when
// they start with a UTF-8 byte-order mark or are valid UTF-8 holding at least
// one non-ASCII byte, CP932 (Shift-JIS) otherwise. New files are CP932.
QString ReadIni(const QString &file, const QString &key);

using IniEntries = QList<std::pair<QString, QString>>;

// Writes key=value into [DATA]. Only the line of the key changes (or a line is
// added); every other byte of the file stays as it was. The file is replaced
// atomically. Returns non-zero on success; a key or value that cannot be
// written (a line break, a key with "=", text the file's encoding cannot
// hold) leaves the file untouched and returns 0.
long WriteIni(const QString &file, const QString &key, const QString &value);
// Several keys at once, with one replacement of the file: all or none.
long WriteIni(const QString &file, const IniEntries &entries);

// The bytes of an INI file after writing entries into its [DATA] section, by
// the rules of WriteIni; nullopt when they cannot be written.
std::optional<QByteArray> EditIniBytes(const QByteArray &original, const IniEntries &entries);

enum class IniEncoding { Cp932, Utf8, Utf8WithBom };
IniEncoding DetectIniEncoding(const QByteArray &bytes);
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const QByteArray &bytes);

// How many INI files WriteIni has replaced since the program started.
quint64 IniFilesWritten();

// The locale-independent "Val" rule: leading decimal number, rest ignored, "" gives 0.
double Val(const QString &text);
// Reads an INI file's [DATA] section in one pass (templates have hundreds of keys).
class IniSection
{
public:
    static IniSection load(const QString &file);
    // The same for a file given by its full path.
    static IniSection loadPath(const QString &path);
    // The same for the bytes of a file.
    static IniSection parse(const QByteArray &bytes);
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
