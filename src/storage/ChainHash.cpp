#include "storage/ChainHash.h"

#include "storage/Dialect.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <openssl/evp.h>

#include <algorithm>
#include <charconv>

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them:
// several times faster than Qt's own, which counts when every page image of
// a hospital is checked.
Sha256::Sha256() : m_ctx(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr);
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_ctx);
}

void Sha256::add(const char *data, qint64 size)
{
    EVP_DigestUpdate(m_ctx, data, size_t(size));
}

QString Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_ctx, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
}

namespace {

// Column names recur in every row: each is made portable once.
const QString &portable(const QString &name)
{
    thread_local QHash<QString, QString> known;
    auto it = known.constFind(name);
    if (it == known.cend())
        it = known.insert(name, dialect::PortableName(name));
    return *it;
}

} // namespace

ChainHash &ChainHash::add(const QByteArray &bytes)
{
    m_input += QByteArray::number(bytes.size()) + ':' + bytes;
    return *this;
}

ChainHash &ChainHash::add(const QString &text)
{
    return add(text.toUtf8());
}

QString ChainHash::hex() const
{
    return Sha256Hex(m_input);
}

namespace {

void appendCounted(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    char digits[24];
    char *end = std::to_chars(digits, digits + sizeof digits - 1, bytes.size()).ptr;
    *end++ = ':';
    out.append(digits, end - digits).append(bytes);
}

} // namespace

QByteArray CanonicalValues(const RowValues &values)
{
    // Every row of a kind is hashed at each save and each opening: the
    // columns are written in one buffer.
    QList<std::pair<QString, QString>> present;
    present.reserve(values.size());
    qsizetype size = 0;
    for (const auto &[name, value] : values)
        if (!value.isNull()) {
            present.append({portable(name), value.toString()});
            size += present.last().first.size() + present.last().second.size();
        }
    std::sort(present.begin(), present.end());
    QByteArray out;
    out.reserve(size * 3 + present.size() * 8);
    for (const auto &[name, text] : present) {
        appendCounted(out, name);
        appendCounted(out, text);
    }
    return out;
}

QString Sha256Hex(const QByteArray &bytes)
{
    Sha256 hash;
    hash.add(bytes.constData(), bytes.size());
    return hash.hex();
}

std::optional<QString> FileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path) ? std::nullopt : std::optional<QString>(QString());
    Sha256 hash;
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        hash.add(chunk.constData(), n);
    }
    return hash.hex();
}
