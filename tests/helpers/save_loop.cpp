// Saves, re-saves and deletes documents of one kind through the program's own
// save path until it is killed. test_save_kills starts it, kills it at random
// moments and checks what the next start finds.
//
// Usage: rydol_save_loop <seed>   (DATA/ in RYDOL_HOME)
// Writes one line per step to stdout, unbuffered:
//   "ready"                 the database is open (and settled)
//   "n <v>" / "r <id> <v>"  about to save a new document / document id with version v
//   "d <id>"                about to delete document id
//   "S <id> <v>" / "D <id>" that step succeeded
#include "app/AppState.h"
#include "persistence/DocumentVersion.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QSqlQuery>

#include <unistd.h>

namespace {

void say(const QByteArray &line)
{
    const QByteArray out = line + '\n';
    qsizetype done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(1, out.constData() + done, size_t(out.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QList<int> documentIds(const QString &kind)
{
    QList<int> ids;
    QSqlQuery q(gDB());
    if (q.exec(QStringLiteral("SELECT ID FROM ") + QuoteIdent(kind)))
        while (q.next())
            ids << q.value(0).toInt();
    return ids;
}

DocumentData version(const QString &kind, int number, int v)
{
    DocumentData doc;
    doc.kind = kind;
    doc.number = number;
    doc.fields = {{QStringLiteral("版"), QStringLiteral("0"), QString::number(v)},
                  {QStringLiteral("所見"), QStringLiteral("1"), QStringLiteral("版 %1 の所見").arg(v)}};
    // The version is the colour of the whole page: row and image must agree.
    doc.surface = QImage(64, 48, QImage::Format_RGB32);
    doc.surface.fill(QRgb(0xFF000000u | quint32(v)));
    return doc;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString kind = QStringLiteral("経過記録");
    QRandomGenerator rng(argc > 1 ? QByteArray(argv[1]).toUInt() : 1u);
    if (!OpenDB())
        return 2;
    CurrentDrID = QStringLiteral("1");
    PatientID = QStringLiteral("7");
    say("ready");
    for (;;) {
        const QList<int> ids = documentIds(kind);
        const int roll = int(rng.bounded(100));
        const int v = int(rng.bounded(1, 1 << 24));
        if (ids.size() < 3 || (roll < 35 && ids.size() < 12)) {
            say("n " + QByteArray::number(v));
            DocumentData doc = version(kind, 0, v);
            if (SaveDocument(doc, QStringLiteral("0")))
                say("S " + QByteArray::number(doc.number) + ' ' + QByteArray::number(v));
        } else if (roll < 80) {
            const int id = ids[int(rng.bounded(int(ids.size())))];
            say("r " + QByteArray::number(id) + ' ' + QByteArray::number(v));
            DocumentData doc = version(kind, id, v);
            doc.version = StoredVersion(kind, id);
            if (SaveDocument(doc, QStringLiteral("1")))
                say("S " + QByteArray::number(id) + ' ' + QByteArray::number(v));
        } else {
            const int id = ids[int(rng.bounded(int(ids.size())))];
            say("d " + QByteArray::number(id));
            if (DeleteSavedDocument(kind, id))
                say("D " + QByteArray::number(id));
        }
    }
}
