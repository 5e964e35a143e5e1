#include "patients/SearchFold.h"

#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace {

// Compatibility normalisation first: it joins ﾀﾞ into ダ and brings the
// full-width and half-width forms to their ordinary width.
std::unique_ptr<icu::Transliterator> MakeFolder()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> folder(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8("NFKC; Hiragana-Katakana; Any-Lower; [:White_Space:] Any-Remove; NFC"),
        UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? std::move(folder) : nullptr;
}

} // namespace

QString FoldForSearch(const QString &text)
{
    // A transliterator is not meant to be shared between threads.
    thread_local const std::unique_ptr<icu::Transliterator> folder = MakeFolder();
    if (!folder) {
        QString plain = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
        plain.remove(QChar(u' '));
        return plain;
    }
    icu::UnicodeString unicode(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
    folder->transliterate(unicode);
    return QString(reinterpret_cast<const QChar *>(unicode.getBuffer()), unicode.length());
}
