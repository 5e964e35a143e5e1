#include "storage/ChainHash.h"

#include "storage/Dialect.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <openssl/evp.h>

#include <algorithm>

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

QByteArray CanonicalValues(const RowValues &values)
{
    QList<std::pair<QString, QString>> present;
    present.reserve(values.size());
    for (const auto &[name, value] : values)
        if (!value.isNull())
            present.append({portable(name), value.toString()});
    std::sort(present.begin(), present.end());
    QByteArray out;
    for (const auto &[name, text] : present) {
        const QByteArray n = name.toUtf8(), t = text.toUtf8();
        out += QByteArray::number(n.size()) + ':' + n + QByteArray::number(t.size()) + ':' + t;
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
