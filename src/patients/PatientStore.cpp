#include "patients/PatientStore.h"

#include "storage/Database.h"
#include "storage/Dialect.h"

bool StorePatient(const PatientRecord &patient)
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("Select * From Kanja_Data Where ID =?"),
                 {patient.id}))
        return false;
    if (!(rs.eof() ? rs.addNew() : rs.edit()))
        return false;
    rs.setField(QStringLiteral("ID"), patient.id);
    rs.setField(QStringLiteral("Name"), patient.name);
    rs.setField(QStringLiteral("Kana"), patient.kana);
    rs.setField(QStringLiteral("Birth"), patient.birth);
    rs.setField(QStringLiteral("Sex"), patient.sex);
    rs.setField(QStringLiteral("Address"), patient.address);
    // update() also fails when one of the fields above could not be set.
    const bool stored = rs.update();
    rs.close();
    return stored;
}

namespace {

bool IdTaken(const QString &id, bool *readable)
{
    Recordset rs;
    *readable = rs.open(QStringLiteral("Snapshot"),
                        QStringLiteral("Select ID From Kanja_Data Where ID=?"), {id});
    return *readable && !rs.eof();
}

} // namespace

QString NextFreePatientID()
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"), QStringLiteral("Select ID From Kanja_Data")))
        return QString();
    // IDs are text, so the highest number is found by value, not by text order
    // ("9" sorts after "12").
    qulonglong highest = 0;
    for (; !rs.eof(); rs.moveNext()) {
        const QString id = rs.text(QStringLiteral("ID")).trimmed();
        bool numeric = !id.isEmpty();
        for (const QChar c : id)
            numeric = numeric && c >= u'0' && c <= u'9';
        if (!numeric)
            continue;
        bool ok = false;
        const qulonglong n = id.toULongLong(&ok);
        if (ok && n > highest)
            highest = n;
    }
    rs.close();

    for (qulonglong candidate = highest + 1; candidate != 0; ++candidate) {
        bool readable = false;
        const QString id = QString::number(candidate);
        if (!IdTaken(id, &readable))
            return readable ? id : QString();
    }
    return QString();
}

std::optional<QVector<PatientHit>> FindPatientsByKana(const QString &text)
{
    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"),
                 QStringLiteral("Select * From Kanja_Data Where ") + dialect::ContainsLike(QStringLiteral("Kana"))
                     + QStringLiteral(" Order By ID Asc"),
                 {QStringLiteral("%") + EscapeLike(text) + QStringLiteral("%")}))
        return std::nullopt;
    QVector<PatientHit> hits;
    for (; !rs.eof(); rs.moveNext())
        hits.append(PatientHit{rs.text(QStringLiteral("ID")), rs.text(QStringLiteral("Name"))});
    rs.close();
    return hits;
}
