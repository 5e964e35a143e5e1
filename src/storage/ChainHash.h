#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

// SHA-256 hashes that make a change of stored records detectable: each entry
// of a chain (a document's kept versions, the rows of 操作履歴) carries the
// hash of its own contents and of the entry before it.

// A row as read: its columns and their values (a null QVariant for NULL).
using RowValues = QList<std::pair<QString, QVariant>>;

// The hash of a sequence of texts, each told apart from its neighbours (no
// two different sequences give the same input), as 64 hex digits.
class ChainHash
{
public:
    ChainHash &add(const QString &text);
    ChainHash &add(const QByteArray &bytes);
    ChainHash &add(qint64 number) { return add(QString::number(number)); }
    QString hex() const;

private:
    QByteArray m_input;
};

// The values of a row in a form that stays the same however the store spells
// them: columns by their portable name in name order, each value as text;
// NULLs are left out, so that a column added to the table later changes
// nothing.
QByteArray CanonicalValues(const RowValues &values);

// SHA-256 of bytes given piece by piece; hex() ends it.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    void add(const char *data, qint64 size);
    QString hex(); // 64 hex digits

private:
    struct evp_md_ctx_st *m_ctx;
};

// SHA-256 of bytes / of a file's bytes as 64 hex digits; for a file, empty
// when it does not exist, nullopt when it exists but cannot be read.
QString Sha256Hex(const QByteArray &bytes);
std::optional<QString> FileSha256(const QString &path);
