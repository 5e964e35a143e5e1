#include "storage/UserSettings.h"

#include <QSettings>

namespace {
QString groupKey(const QString &section, const QString &key)
{
    return section + u'/' + key;
}
}

QString GetSetting(const QString &application, const QString &section, const QString &key)
{
    QSettings store(QStringLiteral("Rydol"), application);
    return store.value(groupKey(section, key)).toString();
}

void SaveSetting(const QString &application, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings store(QStringLiteral("Rydol"), application);
    store.setValue(groupKey(section, key), value);
    store.sync();
}
