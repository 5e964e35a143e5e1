#include "persistence/SaveDocument.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "persistence/KeptVersions.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/FileJournal.h"
#include "storage/Ini.h"
#include "storage/PausePoint.h"
#include "templates/KindTable.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cmath>
#include <limits>
#include <sys/stat.h>

namespace {

QString g_lastError;

bool fail(const QString &reason = QString())
{
    g_lastError = reason;
    return false;
}

QString ImageNotWritten(const QString &path)
{
    return QStringLiteral("ページの画像を書き込めませんでした。\n") + path;
}

// The leading number of a caption as the 32-bit integer a number column
// holds; halves round to even. nullopt when it does not fit.
std::optional<int> numberOfCaption(const QString &text)
{
    const double value = std::nearbyint(Val(text));
    if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(value);
}

// A number field stores its caption only when the caption is a whole number
// (full-width digits and blanks around it allowed) or empty; any other text
// ("約2週間", "36.5", "12日") would reach the column changed or as 0.
bool isWholeNumber(const QString &caption)
{
    static const QRegularExpression whole(QStringLiteral("^([+-]?[0-9]+)?$"));
    return whole.match(caption).hasMatch();
}

int today()
{
    const QDate d = QDate::currentDate();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

// The next number after the highest the kind has used, in its table or
// among its kept versions (a deleted document's number stays its own), or
// the next one up whose page image does not exist: an image without its row
// (a save that stopped half way, a table lost or replaced) keeps its number.
// Other workstations' saves, new or not, go on meanwhile.
std::optional<int> nextNumber(const QString &table)
{
    QSqlQuery q(gDB());
    if (!q.exec(QStringLiteral("SELECT MAX(ID) FROM ") + QuoteIdent(table)) || !q.next())
        return std::nullopt;
    const qint64 next = std::max<qint64>(q.value(0).toLongLong(), HighestKeptNumber(table)) + 1;
    std::optional<qint64> number = next > std::numeric_limits<int>::max() ? next : dialect::ClaimNumber(table, next);
    while (number && *number <= std::numeric_limits<int>::max()) {
        const QFileInfo image(DocumentImagePath(table, int(*number)));
        if (!image.exists() && !image.isSymLink())
            break;
        number = dialect::ClaimNumber(table, *number + 1);
    }
    if (!number)
        return std::nullopt;
    if (*number > std::numeric_limits<int>::max()) {
        fail(QStringLiteral("書類番号が上限の %1 に達しています。").arg(std::numeric_limits<int>::max()));
        return std::nullopt;
    }
    return int(*number);
}

bool writeFields(Recordset &rs, const DocumentData &doc)
{
    for (const FieldValue &f : doc.fields) {
        if (f.tag.isEmpty() || IsFixedKindColumn(f.tag))
            continue;
        const std::optional<int> kind = DataKindNumber(f.dataKind);
        if (!kind)
            return fail(DataKindProblem({f.tag, f.dataKind}));
        if (*kind == 1 && StoredLength(f.text) > kTextFieldSize)
            return fail(f.tag + QStringLiteral(" の値が長すぎます（%1 文字、上限 %2 文字）。")
                                    .arg(StoredLength(f.text))
                                    .arg(kTextFieldSize));
        if (*kind == 0) {
            const QString caption = f.text.normalized(QString::NormalizationForm_KC).trimmed();
            const auto number = numberOfCaption(caption);
            if (!number)
                return fail(f.tag + QStringLiteral(" の値が大きすぎます。"));
            if (!isWholeNumber(caption))
                return fail(f.tag + QStringLiteral(" には整数を入力してください。"));
            if (!rs.setField(f.tag, *number))
                return false;
        } else if (!rs.setField(f.tag, f.text)) {
            return false;
        }
    }
    for (const CheckValue &c : doc.checks) {
        if (!c.tag.isEmpty() && !IsFixedKindColumn(c.tag) && !rs.setField(c.tag, int(Val(c.state))))
            return false;
    }
    return true;
}

// What a save records in 操作履歴.
struct AuditEntry {
    QString operation;
    QString patient;
};

// Adds or edits the row inside the open transaction; number is the row's ID,
// version the document's new version, before the row as it was (an edit),
// audit what the save is to record.
bool writeRow(const QString &table, const DocumentData &doc, const QString &state, int &number, int &version,
              RowValues &before, AuditEntry &audit, SaveFailure &why)
{
    const QString quoted = QuoteIdent(table);
    Recordset rs;
    const bool isNew = number == 0;
    why = SaveFailure::Failed;
    if (isNew) {
        const auto next = nextNumber(table);
        if (!next)
            return false;
        number = *next;
        PausePoint("number-claimed");
        if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + quoted + QStringLiteral(" WHERE 1=0"))
            || !rs.addNew() || !rs.setField(QStringLiteral("ID"), number)
            || !rs.setField(QStringLiteral("DrID"), CurrentDrID))
            return false;
        if (!AdvanceVersion(table, number, &version))
            return false;
    } else {
        const VersionClaim claim = ClaimNextVersion(table, number, doc.version, &version);
        if (claim != VersionClaim::Claimed) {
            if (claim == VersionClaim::Overtaken)
                why = SaveFailure::Overtaken;
            return false;
        }
        if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + quoted + QStringLiteral(" WHERE ID=?"), {number})
            || !rs.edit())
            return false;
        for (const QString &column : rs.columns())
            before.append({column, rs.field(column)});
    }
    QString operation = isNew ? audit::NewSave() : audit::Save();
    if (!isNew && (state == u"0" || state == u"1")) {
        const QVariant before = rs.field(QStringLiteral("終了判定"));
        if (before.isNull() || before.toInt() != state.toInt())
            operation = state == u"0" ? audit::ToPending() : audit::ToFinished();
    }
    const QString patient = doc.patientId.isEmpty() ? PatientID : doc.patientId;
    if (!rs.setField(QStringLiteral("患者番号"), patient) || !writeFields(rs, doc)
        || !rs.setField(QStringLiteral("編集日"), today()))
        return false;
    if (state == QStringLiteral("0") || state == QStringLiteral("1")) {
        if (!rs.setField(QStringLiteral("終了判定"), state.toInt()))
            return false;
    } else if (isNew && !rs.setField(QStringLiteral("終了判定"), 0)) {
        return false;
    }
    if (!rs.update())
        return false;
    audit = {operation, patient};
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

// The complete image (png), on the disk with its name, before the row commits.
bool writeTemporaryImage(const QImage &surface, QTemporaryFile &file, QByteArray &png)
{
    if (!file.open() || !file.setPermissions(ordinaryFileMode()))
        return false;
    QBuffer buffer(&png);
    const bool written = buffer.open(QIODevice::WriteOnly) && CompactPageImage(surface).save(&buffer, "PNG")
                      && file.write(png) == png.size() && file.flush() && SyncFile(int(file.handle()));
    file.close();
    return written && file.error() == QFileDevice::NoError
        && SyncFolder(QFileInfo(file.fileName()).absolutePath());
}

} // namespace

QString LastSaveError()
{
    return g_lastError;
}

bool SaveDocument(DocumentData &doc, const QString &state, SaveFailure *why)
{
    g_lastError.clear();
    SaveFailure failure = SaveFailure::Failed;
    if (why)
        *why = failure;
    if (!IsUsableKindName(doc.kind) || doc.surface.isNull() || !DatabaseIsOpen())
        return false;
    const QString table = StoredTableName(doc.kind);
    const QString folder = DocumentImageFolder(table);
    if (!QDir().mkpath(folder))
        return fail(ImageNotWritten(folder));

    if (!BeginTrans())
        return false;
    int number = doc.number;
    int version = doc.version;
    auto abandon = [&](const QString &reason = QString()) {
        Rollback();
        if (why)
            *why = failure == SaveFailure::None ? SaveFailure::Failed : failure;
        return reason.isEmpty() ? false : fail(reason);
    };
    if (!HoldFileSteps())
        return abandon();
    QTemporaryFile image(TemporaryFileTemplate(folder));
    QByteArray png;
    if (!writeTemporaryImage(doc.surface, image, png))
        return abandon(ImageNotWritten(folder));
    PausePoint("image-written");
    RowValues before;
    AuditEntry audit;
    if (!writeRow(table, doc, state, number, version, before, audit, failure))
        return abandon();
    if (VersionKeeping() && !KeepSavedVersion(table, number, version, before, png)) {
        failure = SaveFailure::Failed;
        return abandon(QStringLiteral("以前の版を保管できませんでした。"));
    }
    PausePoint("row-written");
    const QString target = DocumentImagePath(table, number);
    const QFileInfo existing(target);
    if ((existing.exists() || existing.isSymLink()) && !existing.isFile()) {
        failure = SaveFailure::Failed;
        return abandon(ImageNotWritten(target));
    }
    const QString aside = doc.keepDamagedImage && existing.exists() ? AsideImagePath(target) : QString();
    // The 操作履歴 row is written last, just before the commit; it is linked
    // into the chain after it.
    if (!RecordFileStep(target, image.fileName(), aside)
        || !WriteAudit(audit.operation, CurrentDrID, table, number, audit.patient) || !CommitTrans()) {
        failure = SaveFailure::Failed;
        return abandon();
    }
    // Committed: the step is carried out now, or at the next start if the
    // program stops before it is done.
    image.setAutoRemove(false);
    doc.number = number;
    doc.version = version;
    PausePoint("committed");
    if (!CarryOutFileStep(target, image.fileName(), aside))
        return fail(ImageNotWritten(target));
    doc.keepDamagedImage = false;
    if (why)
        *why = SaveFailure::None;
    return true;
}
