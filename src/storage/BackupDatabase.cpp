#include "storage/BackupDatabase.h"

#include "storage/ServerConnection.h"
#include "storage/StoreLocation.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {

QString quotedName(QString name)
{
    name.replace(u'"', QStringLiteral("\"\""));
    return u'"' + name + u'"';
}

// The table of a pg_restore "COPY schema.table (...) FROM stdin;" line.
QString copiedTable(const QString &line)
{
    const QString rest = line.mid(5);
    bool quoted = false;
    int start = 0;
    for (int i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'.')
            start = i + 1;
        else if (!quoted && c == u' ')
            return rest.mid(start, i - start).startsWith(u'"')
                     ? rest.mid(start + 1, i - start - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                     : rest.mid(start, i - start);
    }
    return QString();
}

} // namespace

QSqlDatabase OpenBackupConnection(const QString &name, const StoreLocation &location)
{
    QSqlDatabase db = AddServerConnection(name, location, 10);
    db.open();
    return db;
}

QStringList BackupTables(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    const bool sqlite = db.driverName() == u"QSQLITE";
    q.exec(sqlite ? QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                   "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name")
                  : QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = current_schema() "
                                   "ORDER BY tablename"));
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    return tables;
}

bool CountRows(const QSqlDatabase &db, const QStringList &tables, QMap<QString, qint64> *rows)
{
    QSqlQuery q(db);
    for (const QString &table : tables) {
        if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + quotedName(table)) || !q.next())
            return false;
        rows->insert(table, q.value(0).toLongLong());
    }
    return true;
}

bool CountSqliteRows(const QString &path, QMap<QString, qint64> *rows)
{
    const QString name = QStringLiteral("rydol-backup-count-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery check(db);
            // Also reads every page: a damaged file does not count as whole.
            ok = check.exec(QStringLiteral("PRAGMA quick_check")) && check.next()
              && check.value(0).toString() == u"ok";
            check.finish();
            ok = ok && CountRows(db, BackupTables(db), rows);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool RunServerTool(const QString &tool, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.start(tool, arguments);
    if (!process.waitForStarted(30000)) {
        *error = tool + QStringLiteral(": ") + process.errorString();
        return false;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    *error = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return false;
}

bool CountDumpRows(const QString &dump, QMap<QString, qint64> *rows, QString *error)
{
    QProcess process;
    process.start(QStringLiteral("pg_restore"), {QStringLiteral("--file=-"), dump});
    if (!process.waitForStarted(30000)) {
        *error = QStringLiteral("pg_restore: ") + process.errorString();
        return false;
    }
    QString table;
    qint64 count = 0;
    bool inCopy = false;
    auto readLines = [&] {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (inCopy && line == "\\.\n") {
                rows->insert(table, count);
                inCopy = false;
            } else if (inCopy) {
                ++count;
            } else if (line.startsWith("COPY ") && line.endsWith(" FROM stdin;\n")) {
                table = copiedTable(QString::fromUtf8(line));
                count = 0;
                inCopy = true;
            }
        }
    };
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(1000);
        readLines();
    }
    process.waitForFinished(-1);
    readLines();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || inCopy) {
        *error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}
