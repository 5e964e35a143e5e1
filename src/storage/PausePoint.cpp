#include "storage/PausePoint.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

void PausePoint(const char *step)
{
    static const QByteArray at = qgetenv("RYDOL_PAUSE_AT");
    static bool paused = false;
    if (paused || at.isEmpty() || at != step)
        return;
    paused = true;
    const QString path = qEnvironmentVariable("RYDOL_PAUSE_FILE");
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        return;
    file.close();
    const QDeadlineTimer deadline(60000);
    while (QFile::exists(path) && !deadline.hasExpired())
        QThread::msleep(5);
}
