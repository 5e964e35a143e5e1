#include "persistence/SaveDocument.h"

#include "app/AppState.h"
#include "persistence/DocumentImage.h"
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

// Adds or edits the row inside the open transaction; number is the row's ID.
bool writeRow(const DocumentData &doc, const QString &state, int &number)
{
    const QString table = QuoteIdent(doc.kind);
    Recordset rs;
    const bool isNew = number == 0;
    if (isNew) {
        bool ok = false;
        number = nextNumber(doc.kind, &ok);
        if (!ok || !rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"))
            || !rs.addNew() || !rs.setField(QStringLiteral("ID"), number)
            || !rs.setField(QStringLiteral("DrID"), CurrentDrID))
            return false;
    } else if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ID=?"), {number})
               || !rs.edit()) {
        return false;
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
    return rs.update();
}

bool writeTemporaryImage(const QImage &surface, QTemporaryFile &file)
{
    if (!file.open())
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

bool SaveDocument(DocumentData &doc, const QString &state)
{
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
    if (!writeRow(doc, state, number) || !CommitTrans()) {
        Rollback();
        return false;
    }
    doc.number = number;
    if (!moveIntoPlace(image.fileName(), DocumentImagePath(doc.kind, number)))
        return false;
    image.setAutoRemove(false);
    return true;
}
