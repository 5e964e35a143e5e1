#include "storage/Ini.h"
#include "storage/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>

namespace {

constexpr int kReadLimit = 254;
const QString kSection = QStringLiteral("DATA");
const QByteArray kBom("\xEF\xBB\xBF");
std::atomic<quint64> g_filesWritten{0};

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

// One line of a file as bytes: [begin, contentEnd) is its text, [contentEnd, end)
// its line break ("\r\n", "\n", or nothing on a last line without one).
struct RawLine
{
    qsizetype begin;
    qsizetype contentEnd;
    qsizetype end;
};

// Line breaks are found in the bytes themselves: in neither CP932 nor UTF-8 is
// "\n" ever part of a longer character, so every line decodes on its own.
QList<RawLine> splitLines(const QByteArray &bytes, qsizetype from)
{
    QList<RawLine> lines;
    qsizetype begin = from;
    while (begin < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', begin);
        if (nl < 0) {
            lines.push_back({begin, bytes.size(), bytes.size()});
            break;
        }
        const qsizetype contentEnd = nl > begin && bytes[nl - 1] == '\r' ? nl - 1 : nl;
        lines.push_back({begin, contentEnd, nl + 1});
        begin = nl + 1;
    }
    return lines;
}

// Opening a CP932 converter is costly next to a line; each thread keeps one.
QStringDecoder &cp932Decoder()
{
    thread_local QStringDecoder decoder("CP932");
    decoder.resetState();
    return decoder;
}

QStringEncoder &cp932Encoder()
{
    thread_local QStringEncoder encoder("CP932");
    encoder.resetState();
    return encoder;
}

class TextCodec
{
public:
    explicit TextCodec(bool utf8) : m_utf8(utf8) {}

    QString decode(QByteArrayView bytes) const
    {
        if (m_utf8)
            return QString::fromUtf8(bytes);
        QStringDecoder &decoder = cp932Decoder();
        if (!decoder.isValid())
            return QString::fromLocal8Bit(bytes);
        return decoder.decode(bytes);
    }

    QByteArray encode(const QString &text) const
    {
        if (m_utf8)
            return text.toUtf8();
        QStringEncoder &encoder = cp932Encoder();
        if (!encoder.isValid())
            return text.toLocal8Bit();
        return encoder.encode(text);
    }

    // True when the text comes back unchanged from the file's bytes.
    bool holds(const QString &text) const { return decode(encode(text)) == text; }

private:
    bool m_utf8;
};

bool isUtf8(IniEncoding e)
{
    return e != IniEncoding::Cp932;
}

bool hasNonAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// A key or value that would break the file's lines or be read back as
// something else is not written.
bool writable(const QString &key, const QString &value)
{
    const auto breaksLine = [](const QString &s) {
        return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0));
    };
    if (key.isEmpty() || key != key.trimmed() || key.contains(u'=') || key.startsWith(u';')
        || key.startsWith(u'[') || breaksLine(key))
        return false;
    return !breaksLine(value);
}

} // namespace

bool IsValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    const auto cont = [&](qsizetype k, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return k < n && p[k] >= low && p[k] <= high;
    };
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            i += 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            if (!cont(i + 1))
                return false;
            i += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
            const unsigned char high = c == 0xED ? 0x9F : 0xBF;
            if (!cont(i + 1, low, high) || !cont(i + 2))
                return false;
            i += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
            const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
            if (!cont(i + 1, low, high) || !cont(i + 2) || !cont(i + 3))
                return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

IniEncoding DetectIniEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith(kBom))
        return IniEncoding::Utf8WithBom;
    if (hasNonAscii(bytes) && IsValidUtf8(bytes))
        return IniEncoding::Utf8;
    return IniEncoding::Cp932;
}

quint64 IniFilesWritten()
{
    return g_filesWritten.load();
}

QString DecodeCp932(const QByteArray &bytes)
{
    return TextCodec(false).decode(bytes);
}

QByteArray EncodeCp932(const QString &text)
{
    return TextCodec(false).encode(text);
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
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return IniSection();
    return parse(f.readAll());
}

IniSection IniSection::parse(const QByteArray &bytes)
{
    IniSection section;
    const IniEncoding encoding = DetectIniEncoding(bytes);
    TextCodec codec(isUtf8(encoding));
    const qsizetype from = encoding == IniEncoding::Utf8WithBom ? kBom.size() : 0;
    bool inData = false;
    for (const RawLine &raw : splitLines(bytes, from)) {
        const QString line = codec.decode(QByteArrayView(bytes).sliced(raw.begin, raw.contentEnd - raw.begin));
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

std::optional<QByteArray> EditIniBytes(const QByteArray &original, const IniEntries &requested)
{
    // One entry per key; of two equal keys the later value wins.
    IniEntries entries;
    for (const auto &entry : requested) {
        const QString &key = entry.first;
        const QString &value = entry.second;
        if (!writable(key, value))
            return std::nullopt;
        auto same = std::find_if(entries.begin(), entries.end(), [&](const auto &e) {
            return e.first.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (same != entries.end())
            same->second = value;
        else
            entries.push_back({key, value});
    }

    const IniEncoding detected = DetectIniEncoding(original);
    const bool bom = detected == IniEncoding::Utf8WithBom;
    const QList<RawLine> lines = splitLines(original, bom ? kBom.size() : 0);
    const auto bytesOf = [&](const RawLine &l) {
        return QByteArrayView(original).sliced(l.begin, l.end - l.begin);
    };

    // Where each key stands: the first of its lines in a [DATA] section, as read.
    TextCodec reader(isUtf8(detected));
    QList<qsizetype> target(entries.size(), -1);
    QStringList lineKey(entries.size());
    qsizetype dataStart = -1, dataEnd = lines.size(), lastFilled = -1;
    bool inData = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const RawLine &l = lines[i];
        const QString text = reader.decode(QByteArrayView(original).sliced(l.begin, l.contentEnd - l.begin));
        if (isSectionLine(text)) {
            if (dataStart >= 0 && dataEnd == lines.size())
                dataEnd = i;
            inData = sectionName(text).compare(kSection, Qt::CaseInsensitive) == 0;
            if (inData && dataStart < 0) {
                dataStart = i;
                lastFilled = i;
            }
            continue;
        }
        if (dataStart >= 0 && dataEnd == lines.size() && !text.trimmed().isEmpty())
            lastFilled = i;
        QString key, value;
        if (!inData || !splitKeyValue(text, &key, &value))
            continue;
        for (qsizetype e = 0; e < entries.size(); ++e) {
            if (target[e] < 0 && key.compare(entries[e].first, Qt::CaseInsensitive) == 0) {
                target[e] = i;
                lineKey[e] = key;
            }
        }
    }

    const QByteArray eol = !lines.isEmpty() && lines[0].end > lines[0].contentEnd
        ? original.mid(lines[0].contentEnd, lines[0].end - lines[0].contentEnd)
        : QByteArray("\r\n");

    const auto compose = [&](const TextCodec &codec) {
        QByteArray out;
        out.reserve(original.size() + 64 * entries.size());
        if (bom)
            out += kBom;
        const auto newLine = [&](qsizetype e) {
            const QString key = lineKey[e].isEmpty() ? entries[e].first : lineKey[e];
            return codec.encode(key + u'=' + entries[e].second);
        };
        // Ends a last line that has no line break. A line that ends in a bare
        // CR keeps it as its own: "\n" alone would make a CRLF of it.
        const auto endLastLine = [&]() {
            if (!out.isEmpty() && !out.endsWith('\n') && out != kBom)
                out += out.endsWith('\r') ? QByteArray("\r\n") : eol;
        };
        const auto addMissing = [&]() {
            endLastLine();
            for (qsizetype e = 0; e < entries.size(); ++e)
                if (target[e] < 0)
                    out += newLine(e) + eol;
        };
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const qsizetype e = target.indexOf(i);
            if (e >= 0) {
                const RawLine &l = lines[i];
                out += newLine(e);
                out.append(QByteArrayView(original).sliced(l.contentEnd, l.end - l.contentEnd));
            } else {
                out.append(bytesOf(lines[i]));
            }
            if (i == lastFilled)
                addMissing();
        }
        if (dataStart < 0 && target.contains(-1)) {
            endLastLine();
            out += QByteArray("[DATA]") + eol;
            addMissing();
        }
        return out;
    };

    const auto holdsAll = [&](const TextCodec &codec) {
        for (qsizetype e = 0; e < entries.size(); ++e) {
            const QString key = lineKey[e].isEmpty() ? entries[e].first : lineKey[e];
            if (!codec.holds(key) || !codec.holds(entries[e].second))
                return false;
        }
        return true;
    };

    TextCodec utf8(true);
    if (isUtf8(detected))
        return compose(utf8);

    // A Shift-JIS file stays Shift-JIS. Only when nothing but the written lines
    // holds non-ASCII bytes is the encoding still open: Shift-JIS where it holds
    // the text and cannot be mistaken for UTF-8, UTF-8 otherwise.
    bool restAscii = true;
    for (qsizetype i = 0; i < lines.size() && restAscii; ++i)
        if (!target.contains(i) && hasNonAscii(bytesOf(lines[i])))
            restAscii = false;
    TextCodec cp932(false);
    if (holdsAll(cp932)) {
        QByteArray out = compose(cp932);
        if (DetectIniEncoding(out) == IniEncoding::Cp932)
            return out;
    }
    if (restAscii)
        return compose(utf8);
    return std::nullopt;
}

long WriteIni(const QString &file, const QString &key, const QString &value)
{
    return WriteIni(file, IniEntries{{key, value}});
}

long WriteIni(const QString &file, const IniEntries &entries)
{
    const QString path = IniPath(file);
    QByteArray original;
    const bool exists = QFileInfo::exists(path);
    if (exists) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return 0; // present but unreadable: leave it alone
        original = in.readAll();
    }
    const std::optional<QByteArray> edited = EditIniBytes(original, entries);
    if (!edited)
        return 0;
    if (exists && *edited == original)
        return 1;

    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    out.write(*edited);
    if (!out.commit())
        return 0;
    ++g_filesWritten;
    return 1;
}
