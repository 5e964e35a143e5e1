#include "settings/DoctorPasswords.h"

#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"

#include <QSqlQuery>

#include <optional>

#include <sodium.h>

namespace {

bool g_fast = false;

unsigned long long opsLimit()
{
    return g_fast ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
}

size_t memLimit()
{
    return g_fast ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
}

// The password as UTF-8, wiped when done with.
class Secret
{
public:
    explicit Secret(const QString &text) : m_bytes(text.toUtf8()) {}
    ~Secret() { sodium_memzero(m_bytes.data(), size_t(m_bytes.size())); }
    const char *data() const { return m_bytes.constData(); }
    unsigned long long size() const { return (unsigned long long)m_bytes.size(); }

private:
    QByteArray m_bytes;
};

QByteArray hashOf(const QString &password)
{
    if (sodium_init() < 0)
        return {};
    const Secret secret(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, secret.data(), secret.size(), opsLimit(), memLimit(),
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return QByteArray(out);
}

// libsodium compares in constant time.
bool matches(const QByteArray &hash, const QString &password)
{
    if (sodium_init() < 0)
        return false;
    const Secret secret(password);
    return crypto_pwhash_str_verify(hash.constData(), secret.data(), secret.size()) == 0;
}

struct Row
{
    bool read = false;
    QByteArray hash; // empty: no password
    qint64 lockedUntil = 0;
};

QString table()
{
    return QuoteIdent(QStringLiteral("医師認証"));
}

QString drId()
{
    return QuoteIdent(QStringLiteral("DrID"));
}

bool run(const QString &sql, const QVariantList &values, int *changed = nullptr)
{
    QSqlQuery q(gDB());
    if (!q.prepare(sql))
        return false;
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!ExecNoted(q))
        return false;
    if (changed)
        *changed = q.numRowsAffected();
    return true;
}

Row readRow(int doctorId)
{
    Row row;
    if (!DatabaseIsOpen())
        return row;
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT \"ハッシュ\", \"ロック期限\" FROM %1 WHERE %2=?").arg(table(), drId()));
    q.addBindValue(doctorId);
    if (!ExecNoted(q))
        return row;
    row.read = true;
    if (q.next()) {
        row.hash = SqlValue(q, 0).toString().toLatin1();
        row.lockedUntil = SqlValue(q, 1).toLongLong();
    }
    return row;
}

// Writes the doctor's hash (NULL: none) with a clean count of wrong tries,
// and its 操作履歴 row, together.
bool storeHash(int doctorId, const QVariant &hash, const QString &operation)
{
    if (!BeginTrans())
        return false;
    int changed = 0;
    bool ok = run(QStringLiteral("UPDATE %1 SET \"ハッシュ\"=?, \"失敗回数\"=0, \"ロック期限\"=0 WHERE %2=?")
                      .arg(table(), drId()),
                  {hash, doctorId}, &changed);
    if (ok && changed == 0)
        ok = run(QStringLiteral("INSERT INTO %1 (%2, \"ハッシュ\", \"失敗回数\", \"ロック期限\") VALUES (?, ?, 0, 0)")
                     .arg(table(), drId()),
                 {doctorId, hash});
    ok = ok && WriteAudit(operation, QString::number(doctorId), QString(), 0, QString());
    if (ok && CommitTrans())
        return true;
    Rollback();
    return false;
}

// Counts one wrong try; the fifth in a row locks the doctor out. Empty when
// it could not be counted.
std::optional<PasswordCheck> countWrongTry(int doctorId)
{
    if (!BeginTrans())
        return std::nullopt;
    // The increment is made by the database, so that tries on two
    // workstations at once are both counted.
    bool ok = run(QStringLiteral("UPDATE %1 SET \"失敗回数\"=\"失敗回数\"+1 WHERE %2=?").arg(table(), drId()),
                  {doctorId});
    QSqlQuery q(gDB());
    q.prepare(QStringLiteral("SELECT \"失敗回数\" FROM %1 WHERE %2=?").arg(table(), drId()));
    q.addBindValue(doctorId);
    ok = ok && ExecNoted(q) && q.next();
    PasswordCheck check{PasswordCheck::Wrong, {}};
    if (ok && SqlValue(q, 0).toInt() >= kMaxPasswordTries) {
        const qint64 until = QDateTime::currentSecsSinceEpoch() + kLockOutSeconds;
        ok = run(QStringLiteral("UPDATE %1 SET \"失敗回数\"=0, \"ロック期限\"=? WHERE %2=?").arg(table(), drId()),
                 {until, doctorId})
          && WriteAudit(audit::LockOut(), QString::number(doctorId), QString(), 0, QString());
        check = {PasswordCheck::LockedOut, QDateTime::fromSecsSinceEpoch(until)};
    }
    q.finish();
    if (ok && CommitTrans())
        return check;
    Rollback();
    return std::nullopt;
}

} // namespace

bool DoctorHasPassword(int doctorId)
{
    const Row row = readRow(doctorId);
    return !row.read || !row.hash.isEmpty();
}

bool SetDoctorPassword(int doctorId, const QString &password)
{
    const QByteArray hash = hashOf(password);
    if (hash.isEmpty())
        return false;
    return storeHash(doctorId, QString::fromLatin1(hash), audit::PasswordSet());
}

bool RemoveDoctorPassword(int doctorId)
{
    return storeHash(doctorId, QVariant(QMetaType(QMetaType::QString)), audit::PasswordRemoved());
}

PasswordCheck CheckDoctorPassword(int doctorId, const QString &password)
{
    const Row row = readRow(doctorId);
    if (!row.read)
        return {};
    if (row.hash.isEmpty())
        return {PasswordCheck::Accepted, {}};
    if (row.lockedUntil > QDateTime::currentSecsSinceEpoch())
        return {PasswordCheck::LockedOut, QDateTime::fromSecsSinceEpoch(row.lockedUntil)};
    if (!matches(row.hash, password))
        return countWrongTry(doctorId).value_or(PasswordCheck{});
    run(QStringLiteral("UPDATE %1 SET \"失敗回数\"=0, \"ロック期限\"=0 WHERE %2=? AND \"失敗回数\"<>0")
            .arg(table(), drId()),
        {doctorId});
    // A hash made with older limits is made again while the password is at hand.
    if (crypto_pwhash_str_needs_rehash(row.hash.constData(), opsLimit(), memLimit()) != 0)
        if (const QByteArray hash = hashOf(password); !hash.isEmpty())
            run(QStringLiteral("UPDATE %1 SET \"ハッシュ\"=? WHERE %2=?").arg(table(), drId()),
                {QString::fromLatin1(hash), doctorId});
    return {PasswordCheck::Accepted, {}};
}

void UseFastPasswordHashing()
{
    g_fast = true;
}
