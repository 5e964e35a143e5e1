#include "persistence/OpenSavedDocument.h"

#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "storage/Database.h"

#include <QFile>
#include <QPainter>

namespace {

bool isZero(const QVariant &value)
{
    if (value.isNull())
        return true;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok && number == 0;
}

QString captionOf(const FieldValue &field, const QVariant &value)
{
    const QString kind = field.dataKind.trimmed();
    if (kind == QStringLiteral("1") || kind == QStringLiteral("2"))
        return value.isNull() ? QString() : value.toString();
    return isZero(value) ? QString() : value.toString();
}

QString stateOf(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("0");
    return value.toString();
}

} // namespace

bool LoadSavedDocument(const QString &kind, int id, DocumentData &out)
{
    out.kind = kind;
    out.number = id;
    if (!IsUsableKindName(kind))
        return false;
    // The version first: a save of another workstation in between makes the
    // content newer than the version, which refuses a later save rather than
    // letting it overwrite.
    const QString table = StoredTableName(kind);
    const int version = StoredVersion(table, id);
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"), QStringLiteral("SELECT * FROM ") + QuoteIdent(table) + QStringLiteral(" WHERE ID=?"), {id})
        || rs.eof())
        return false;
    out.patientId = rs.hasField(QStringLiteral("患者番号")) ? rs.field(QStringLiteral("患者番号")).toString() : QString();
    for (FieldValue &field : out.fields) {
        if (!field.tag.isEmpty() && rs.hasField(field.tag))
            field.text = captionOf(field, rs.field(field.tag));
    }
    for (CheckValue &check : out.checks) {
        if (!check.tag.isEmpty() && rs.hasField(check.tag))
            check.state = stateOf(rs.field(check.tag));
    }
    out.version = version;
    return true;
}

QImage ReadPngImage(const QString &path)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(8) != signature)
        return QImage();
    file.seek(0);
    QImage image = ReadPageImage(&file);
    if (image.isNull())
        return QImage();
    // Pages are stored as palette images where they can be; the surface is
    // RGB32, and converting here keeps that work off the caller's thread.
    if (!image.hasAlphaChannel() && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

bool DrawPngImage(const QImage &image, QImage &surface)
{
    if (surface.isNull() || image.isNull())
        return false;
    if (image.size() == surface.size() && image.format() == surface.format()) {
        surface = image; // covers every pixel: no need to paint
        return true;
    }
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, image);
    return true;
}

bool LoadPngImage(const QString &path, QImage &surface)
{
    return !surface.isNull() && DrawPngImage(ReadPngImage(path), surface);
}

bool OpenSavedDocument(DocumentData &doc, int id)
{
    const bool found = LoadSavedDocument(doc.kind, id, doc);
    LoadPngImage(DocumentImagePath(doc.kind, id), doc.surface);
    return found;
}
