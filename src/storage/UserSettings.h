#pragma once
#include <QString>

// The per-user key-value store (application, section, key), kept in the user's
// configuration folder. A missing value reads as "".
QString GetSetting(const QString &application, const QString &section, const QString &key);
void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value);
