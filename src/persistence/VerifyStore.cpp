#include "persistence/VerifyStore.h"

#include "persistence/DocumentImage.h"
#include "persistence/KeptVersions.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/FileJournal.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// What the newest kept version of a document says it is now.
struct Head
{
    int version = 0;
    bool deleted = false;
    QString rowHash; // SHA-256 of the row's canonical values
    QString imageHash;
    bool rowSeen = false;
};

class KindCheck
{
public:
    KindCheck(const QString &kind, StoreCheck &check)
        : m_kind(kind), m_folder(DocumentImageFolder(kind)), m_check(check)
    {
    }

    void run()
    {
        walkChains();
        compareRows();
        compareImages();
    }

private:
    void broken(qint64 id, int version, const QString &what) { m_check.breaks.append({m_kind, id, version, what}); }

    // A kept image as its entry names it.
    void checkImage(const QString &path, const QString &expected, qint64 id, int version, const QString &which)
    {
        ++m_check.images;
        const std::optional<QString> actual = FileSha256(path);
        if (!actual || actual->isEmpty())
            broken(id, version, which + QStringLiteral(" missing"));
        else if (*actual != expected)
            broken(id, version, which + QStringLiteral(" replaced"));
    }

    void walkChains()
    {
        QHash<qint64, int> stored; // 書類版
        QSqlQuery v(gDB());
        v.setForwardOnly(true);
        v.prepare(QStringLiteral("SELECT %1, \"版\" FROM \"書類版\" WHERE \"書類\"=?").arg(QuoteIdent(QStringLiteral("ID"))));
        v.addBindValue(m_kind);
        if (v.exec())
            while (v.next())
                stored.insert(v.value(0).toLongLong(), v.value(1).toInt());

        QSqlQuery q(gDB());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT %1, %2 FROM \"書類保存版\" WHERE \"書類\"=? ORDER BY %1, \"版\"")
                      .arg(QuoteIdent(QStringLiteral("ID")),
                           QString::fromUtf8(kKeptVersionColumns).arg(QuoteIdent(QStringLiteral("DrID")))));
        q.addBindValue(m_kind);
        if (!q.exec())
            return;
        qint64 current = -1;
        QString before;
        auto finish = [&] {
            if (current < 0)
                return;
            const int newest = m_heads[current].version;
            if (stored.value(current) > newest)
                broken(current, stored.value(current), QStringLiteral("kept versions removed after version %1").arg(newest));
        };
        while (q.next()) {
            const qint64 id = q.value(0).toLongLong();
            if (id != current) {
                finish();
                current = id;
                before.clear();
                ++m_check.documents;
            }
            const KeptVersion e = KeptVersionAt(q, 1, false);
            ++m_check.versions;
            if (KeptVersionHash(m_kind, int(id), e) != e.hash)
                broken(id, e.version, QStringLiteral("kept version changed"));
            if (e.previousHash != before)
                broken(id, e.version, QStringLiteral("kept versions removed before this one"));
            before = e.hash;
            if (!e.imageHash.isEmpty())
                checkImage(KeptImageIn(m_folder, int(id), e.version), e.imageHash, id, e.version, QStringLiteral("kept image"));
            m_heads[id] = {e.version, e.deleted, e.rowHash, e.imageHash, false};
        }
        finish();
    }

    void compareRows()
    {
        QSqlQuery q(gDB());
        q.setForwardOnly(true);
        if (TableColumns(m_kind).isEmpty() || !q.exec(QStringLiteral("SELECT * FROM ") + QuoteIdent(m_kind)))
            return;
        const QSqlRecord record = q.record();
        int idColumn = -1;
        for (int i = 0; i < record.count() && idColumn < 0; ++i)
            if (record.fieldName(i).compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0)
                idColumn = i;
        while (q.next()) {
            const qint64 id = q.value(idColumn).toLongLong();
            const auto head = m_heads.find(id);
            if (head == m_heads.end()) {
                ++m_check.unversioned;
                continue;
            }
            head->rowSeen = true;
            RowValues row;
            row.reserve(record.count());
            for (int i = 0; i < record.count(); ++i)
                row.append({record.fieldName(i), SqlValue(q, i)});
            if (head->deleted)
                broken(id, head->version, QStringLiteral("row present although deleted"));
            else if (Sha256Hex(CanonicalValues(row)) != head->rowHash)
                broken(id, head->version, QStringLiteral("row changed"));
        }
    }

    void compareImages()
    {
        for (auto it = m_heads.cbegin(); it != m_heads.cend(); ++it) {
            if (it->deleted)
                continue;
            if (!it->rowSeen)
                broken(it.key(), it->version, QStringLiteral("row removed"));
            const QString path = m_folder + u'/' + QString::number(it.key()) + QStringLiteral(".png");
            if (FileStepPending(path))
                continue; // a committed save is putting its image in place
            if (it->imageHash.isEmpty()) {
                ++m_check.images;
                if (FileSha256(path).value_or(QStringLiteral("?")).isEmpty())
                    continue;
                broken(it.key(), it->version, QStringLiteral("image replaced"));
            } else {
                checkImage(path, it->imageHash, it.key(), it->version, QStringLiteral("image"));
            }
        }
    }

    QString m_kind;
    QString m_folder;
    StoreCheck &m_check;
    QHash<qint64, Head> m_heads;
};

} // namespace

QStringList StoreCheck::report() const
{
    QStringList lines{QStringLiteral("documents checked: %1").arg(documents),
                      QStringLiteral("images checked: %1").arg(images),
                      QStringLiteral("kept versions checked: %1").arg(versions),
                      QStringLiteral("documents saved before versions were kept (not checked): %1").arg(unversioned),
                      QStringLiteral("操作履歴 rows checked: %1").arg(auditRows)};
    if (auditUnlinked > 0)
        lines << QStringLiteral("操作履歴 rows not yet linked into the chain (each checked on its own): %1").arg(auditUnlinked);
    for (const StoreBreak &b : breaks) {
        if (b.kind.isEmpty())
            lines << QStringLiteral("BROKEN 操作履歴 ID %1: %2").arg(b.id).arg(b.what);
        else
            lines << QStringLiteral("BROKEN %1 ID %2 version %3: %4").arg(b.kind).arg(b.id).arg(b.version).arg(b.what);
    }
    lines << (breaks.isEmpty() ? QStringLiteral("nothing broken") : QStringLiteral("%1 breaks").arg(breaks.size()));
    return lines;
}

StoreCheck VerifyStore()
{
    StoreCheck check;
    if (!DatabaseIsOpen())
        return check;
    QStringList kinds;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT DISTINCT \"書類\" FROM \"書類保存版\" ORDER BY \"書類\"")))
        while (q.next())
            kinds << q.value(0).toString();
    for (const QString &kind : kinds)
        KindCheck(kind, check).run();
    const AuditCheck audit = VerifyAuditChain();
    check.auditRows = audit.checked;
    check.auditUnlinked = audit.unlinked;
    for (const AuditBreak &b : audit.breaks)
        check.breaks.append({QString(), b.id, 0, b.removedBefore ? QStringLiteral("rows removed before this one")
                                                                 : QStringLiteral("row changed")});
    return check;
}
