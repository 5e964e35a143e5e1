#include "persistence/SaveDocument.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "storage/AuditTrail.h"
#include "storage/Dialect.h"
#include "storage/Database.h"
#include "storage/Ini.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/stat.h>

namespace {

// The leading number of a caption as the 32-bit integer a number column
// holds; halves round to even. nullopt when it does not fit.
std::optional<int> numberOfCaption(const QString &text)
{
    const double value = std::nearbyint(Val(text));
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

int today()
{
    const QDate d = QDate::currentDate();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

int nextNumber(const QString &kind, bool *ok)
{
    QSqlQuery q(gDB());
    *ok = q.exec(QStringLiteral("SELECT MAX(ID) FROM ") + QuoteIdent(kind)) && q.next();
    if (!*ok)
        return 0;
    return q.value(0).isNull() ? 1 : q.value(0).toInt() + 1;
}

bool writeFields(Recordset &rs, const DocumentData &doc)
{
    for (const FieldValue &f : doc.fields) {
        if (f.tag.isEmpty())
            continue;
        bool kindOk = false;
        const int kind = f.dataKind.trimmed().toInt(&kindOk);
        if (!kindOk)
            return false;
        if (kind == 0) {
            const auto number = numberOfCaption(f.text);
            if (!number || !rs.setField(f.tag, *number))
                return false;
        } else if (!rs.setField(f.tag, f.text)) {
            return false;
        }
    }
    for (const CheckValue &c : doc.checks) {
        if (!c.tag.isEmpty() && !rs.setField(c.tag, int(Val(c.state))))
            return false;
    }
    return true;
}

// Adds or edits the row inside the open transaction; number is the row's ID,
// version the document's new version.
bool writeRow(const DocumentData &doc, const QString &state, int &number, int &version, SaveFailure &why)
{
    const QString table = QuoteIdent(doc.kind);
    Recordset rs;
    const bool isNew = number == 0;
    why = SaveFailure::Failed;
    if (isNew) {
        bool ok = dialect::LockForNewRows(table);
        if (ok)
            number = nextNumber(doc.kind, &ok);
        if (!ok || !rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"))
            || !rs.addNew() || !rs.setField(QStringLiteral("ID"), number)
            || !rs.setField(QStringLiteral("DrID"), CurrentDrID))
            return false;
        if (!AdvanceVersion(doc.kind, number, &version))
            return false;
    } else {
        const VersionClaim claim = ClaimNextVersion(doc.kind, number, doc.version, &version);
        if (claim != VersionClaim::Claimed) {
            if (claim == VersionClaim::Overtaken)
                why = SaveFailure::Overtaken;
            return false;
        }
        if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ID=?"), {number})
            || !rs.edit())
            return false;
    }
    QString operation = isNew ? audit::NewSave() : audit::Save();
    if (!isNew && (state == u"0" || state == u"1")) {
        const QVariant before = rs.field(QStringLiteral("終了判定"));
        if (before.isNull() || before.toInt() != state.toInt())
            operation = state == u"0" ? audit::ToPending() : audit::ToFinished();
    }
    if (!rs.setField(QStringLiteral("患者番号"), PatientID) || !writeFields(rs, doc)
        || !rs.setField(QStringLiteral("編集日"), today()))
        return false;
    if (state == QStringLiteral("0") || state == QStringLiteral("1")) {
        if (!rs.setField(QStringLiteral("終了判定"), state.toInt()))
            return false;
    } else if (isNew && !rs.setField(QStringLiteral("終了判定"), 0)) {
        return false;
    }
    if (!rs.update() || !WriteAudit(operation, CurrentDrID, doc.kind, number, PatientID))
        return false;
    why = SaveFailure::None;
    return true;
}

// The mode a file created the ordinary way gets: read-write for all, less
// the user's umask (a temporary file starts readable by its owner only).
QFileDevice::Permissions ordinaryFileMode()
{
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    bool known = false;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                mask = mode_t(line.mid(6).trimmed().toUInt(&known, 8));
                break;
            }
    }
    if (!known) {
        mask = ::umask(0);
        ::umask(mask);
    }
    const mode_t mode = 0666 & ~mask;
    QFileDevice::Permissions permissions;
    const std::pair<mode_t, QFileDevice::Permissions> bits[] = {
        {S_IRUSR, QFileDevice::ReadOwner | QFileDevice::ReadUser},
        {S_IWUSR, QFileDevice::WriteOwner | QFileDevice::WriteUser},
        {S_IRGRP, QFileDevice::ReadGroup}, {S_IWGRP, QFileDevice::WriteGroup},
        {S_IROTH, QFileDevice::ReadOther}, {S_IWOTH, QFileDevice::WriteOther},
    };
    for (const auto &[bit, permission] : bits)
        if (mode & bit)
            permissions |= permission;
    return permissions;
}

bool writeTemporaryImage(const QImage &surface, QTemporaryFile &file)
{
    if (!file.open() || !file.setPermissions(ordinaryFileMode()))
        return false;
    const bool written = CompactPageImage(surface).save(&file, "PNG") && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

// Replaces any older image; rename(2) does that in one step.
bool moveIntoPlace(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

bool SaveDocument(DocumentData &doc, const QString &state, SaveFailure *why)
{
    SaveFailure failure = SaveFailure::Failed;
    if (why)
        *why = failure;
    if (!IsUsableKindName(doc.kind) || doc.surface.isNull() || !DatabaseIsOpen())
        return false;
    const QString folder = DocumentImageFolder(doc.kind);
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile image(folder + QStringLiteral("/.saving-XXXXXX.tmp"));
    if (!writeTemporaryImage(doc.surface, image))
        return false;

    if (!BeginTrans())
        return false;
    int number = doc.number;
    int version = doc.version;
    if (!writeRow(doc, state, number, version, failure) || !CommitTrans()) {
        Rollback();
        if (why)
            *why = failure == SaveFailure::None ? SaveFailure::Failed : failure;
        return false;
    }
    doc.number = number;
    doc.version = version;
    if (!moveIntoPlace(image.fileName(), DocumentImagePath(doc.kind, number)))
        return false;
    image.setAutoRemove(false);
    if (why)
        *why = SaveFailure::None;
    return true;
}
