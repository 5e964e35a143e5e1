#include "persistence/OpenSavedDocument.h"

#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "storage/Database.h"
#include "storage/DatabaseFailure.h"
#include "templates/PageLimits.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

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

bool LoadSavedDocument(const QString &kind, int id, DocumentData &out, RowValues *stored)
{
    out.kind = kind;
    out.number = id;
    if (!IsUsableKindName(kind) || !DatabaseIsOpen())
        return false;
    // The row and its version in one statement, so that both are of the same
    // moment: a save of another workstation is either in both or in neither.
    const QString table = StoredTableName(kind);
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1, * FROM %2 WHERE ID=?").arg(StoredVersionSubquery(), QuoteIdent(table))))
        return false;
    q.addBindValue(table);
    q.addBindValue(id);
    q.addBindValue(id);
    if (!ExecNoted(q) || !q.next())
        return false;
    // The columns by the names the query reports; a tag found among them
    // not (a name with quotes, which the driver's names lose) is looked up
    // in the table's own definition, as a general recordset would.
    const QSqlRecord record = q.record();
    QStringList names;
    for (int i = 1; i < record.count(); ++i)
        names << record.fieldName(i);
    QHash<QString, int> column;
    auto index = [&] {
        column.clear();
        for (int i = int(names.size()) - 1; i >= 0; --i) // the first of a name wins
            column.insert(names[i].toCaseFolded(), i + 1);
    };
    index();
    auto has = [&](const QString &tag) { return !tag.isEmpty() && column.contains(tag.toCaseFolded()); };
    const bool allFound = std::all_of(out.fields.cbegin(), out.fields.cend(), [&](const FieldValue &f) { return f.tag.isEmpty() || has(f.tag); })
                       && std::all_of(out.checks.cbegin(), out.checks.cend(), [&](const CheckValue &c) { return c.tag.isEmpty() || has(c.tag); });
    QVariantList row;
    row.reserve(record.count());
    for (int i = 0; i < record.count(); ++i)
        row << SqlValue(q, i);
    if (stored) {
        stored->clear();
        stored->reserve(names.size());
        for (int i = 0; i < names.size(); ++i)
            stored->append({names[i], row[i + 1]});
    }
    if (!allFound) {
        q.finish(); // a server connection runs one query at a time
        if (const QStringList own = TableColumns(table); own.size() == names.size()) {
            names = own;
            index();
        }
    }
    const QString patientColumn = QStringLiteral("患者番号");
    out.patientId = has(patientColumn) ? row[column.value(patientColumn.toCaseFolded())].toString() : QString();
    for (FieldValue &field : out.fields)
        if (has(field.tag))
            field.text = captionOf(field, row[column.value(field.tag.toCaseFolded())]);
    for (CheckValue &check : out.checks)
        if (has(check.tag))
            check.state = stateOf(row[column.value(check.tag.toCaseFolded())]);
    out.version = row[0].isNull() ? 0 : row[0].toInt();
    return true;
}

void ApplyRowValues(const RowValues &row, DocumentData &out)
{
    QHash<QString, QVariant> column;
    for (auto it = row.crbegin(); it != row.crend(); ++it) // the first of a name wins
        column.insert(it->first.toCaseFolded(), it->second);
    auto has = [&](const QString &tag) { return !tag.isEmpty() && column.contains(tag.toCaseFolded()); };
    out.patientId = column.value(QStringLiteral("患者番号")).toString();
    for (FieldValue &field : out.fields)
        if (has(field.tag))
            field.text = captionOf(field, column.value(field.tag.toCaseFolded()));
    for (CheckValue &check : out.checks)
        if (has(check.tag))
            check.state = stateOf(column.value(check.tag.toCaseFolded()));
}

namespace {

// A PNG from device, its surface's format where it has no alpha; null when
// it does not begin with the PNG signature or cannot be decoded.
QImage decodePng(QIODevice &device)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (device.peek(8) != signature)
        return QImage();
    QImage image = ReadPageImage(&device);
    if (image.isNull())
        return QImage();
    // Pages are stored as palette images where they can be; the surface is
    // RGB32, and converting here keeps that work off the caller's thread.
    if (!image.hasAlphaChannel() && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

} // namespace

QImage ReadPngImage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return decodePng(file);
}

PageFile ReadPageFile(const QString &path)
{
    PageFile page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path))
            page.sha256 = QString();
        return page;
    }
    // A page's PNG is never larger than the page's pixels: a bigger file is
    // no page, and is not read into memory whole.
    if (file.size() > LargestPageImageBytes() + (1 << 20))
        return page;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return page;
    page.sha256 = Sha256Hex(bytes);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    page.image = decodePng(buffer);
    return page;
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
