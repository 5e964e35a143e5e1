#include "storage/ChainHash.h"

#include "storage/Dialect.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
            present.append({dialect::PortableName(name), value.toString()});
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
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

std::optional<QString> FileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path) ? std::nullopt : std::optional<QString>(QString());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return QString::fromLatin1(hash.result().toHex());
}
