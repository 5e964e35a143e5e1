#pragma once
#include <QDateTime>
#include <QString>

// Doctors who choose to sign in keep a password in table 医師認証 (beside
// 医師 rows, one per doctor), only ever as a salted Argon2id hash. Five wrong
// passwords in a row lock the doctor out for five minutes on every
// workstation; the lock-out is kept in the table, so it outlasts a restart.

// The operations of signing in, as 操作履歴 stores and shows them.
namespace audit {
inline QString SignIn() { return QStringLiteral("サインイン"); }
inline QString LockOut() { return QStringLiteral("ロックアウト"); }
inline QString IdleLock() { return QStringLiteral("自動ロック"); }
inline QString Unlock() { return QStringLiteral("ロック解除"); }
inline QString PasswordSet() { return QStringLiteral("パスワード設定"); }
inline QString PasswordRemoved() { return QStringLiteral("パスワード削除"); }
} // namespace audit

constexpr int kMaxPasswordTries = 5;
constexpr int kLockOutSeconds = 5 * 60;

// Whether the doctor must type a password. True also when the table cannot be
// read: nobody gets in unchecked because of a database failure.
bool DoctorHasPassword(int doctorId);

// Stores a new password for the doctor (hashed), ends a lock-out and writes
// the 操作履歴 row. False when it could not be stored.
bool SetDoctorPassword(int doctorId, const QString &password);
// The doctor starts without a password again. False when it could not be stored.
bool RemoveDoctorPassword(int doctorId);

struct PasswordCheck
{
    enum Outcome { Accepted, Wrong, LockedOut, Failed } outcome = Failed;
    // LockedOut: until when (local time).
    QDateTime lockedUntil;
};

// Compares password with the doctor's stored hash (in constant time). A right
// one ends the count of wrong ones; the fifth wrong one in a row locks the
// doctor out and writes a row to 操作履歴. While locked out nothing is
// compared. A doctor without a password is Accepted.
PasswordCheck CheckDoctorPassword(int doctorId, const QString &password);

// Tests only: hashes with libsodium's smallest limits instead of the
// interactive ones, so that a test takes milliseconds, not seconds.
void UseFastPasswordHashing();
