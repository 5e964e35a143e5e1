// Any bytes as DATA/ini/<file>.ini: reading never fails, values are cut to
// 254 characters, and writing keys changes what they read as and nothing else.
#include "FuzzCheck.h"

#include "storage/Ini.h"

#include <cstddef>
#include <cstdint>

namespace {

bool hasNonAscii(const QByteArray &bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const IniSection section = IniSection::parse(bytes);
    FUZZ_CHECK(section.keys().size() == section.values().size());
    for (const QString &v : section.values())
        FUZZ_CHECK(v.size() <= 254);
    for (const QString &k : section.keys())
        FUZZ_CHECK(!k.isEmpty());

    // The keys of the settings file, in a batch like the main window writes them.
    static const IniEntries entries = {
        {QStringLiteral("Fhead_Left"), QStringLiteral("1500")},
        {QStringLiteral("病院名"), QStringLiteral("ライドル総合病院")},
        {QStringLiteral("PicDir"), QStringLiteral("/srv/写真/ソ表")},
        {QStringLiteral("TEL"), QStringLiteral("ﾃｽ")},
    };
    const std::optional<QByteArray> edited = EditIniBytes(bytes, entries);
    if (!edited) {
        // Only a Shift-JIS file with Japanese text of its own can refuse them.
        FUZZ_CHECK(DetectIniEncoding(bytes) == IniEncoding::Cp932 && hasNonAscii(bytes));
        return 0;
    }
    // A UTF-8 file stays UTF-8 (and keeps its byte-order mark).
    if (DetectIniEncoding(bytes) != IniEncoding::Cp932)
        FUZZ_CHECK(DetectIniEncoding(*edited) == DetectIniEncoding(bytes));

    const IniSection after = IniSection::parse(*edited);
    for (const auto &[key, value] : entries)
        FUZZ_CHECK(after.value(key) == value);
    for (const QString &key : section.keys()) {
        bool written = false;
        for (const auto &entry : entries)
            written = written || entry.first.compare(key, Qt::CaseInsensitive) == 0;
        if (!written)
            FUZZ_CHECK(after.value(key) == section.value(key));
    }
    // Writing the same again changes nothing.
    const std::optional<QByteArray> again = EditIniBytes(*edited, entries);
    FUZZ_CHECK(again && *again == *edited);
    return 0;
}
