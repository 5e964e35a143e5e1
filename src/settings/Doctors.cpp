#include "settings/Doctors.h"

#include "storage/Database.h"

namespace {

int g_revision = 0;

// Opens the doctor's row in gRS for editing and stores one column.
bool updateDoctor(int id, const QString &column, const QVariant &value)
{
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From 医師 Where ID=?"), {id}))
        return false;
    bool ok = true;
    if (!gRS.eof()) {
        ok = gRS.edit() && gRS.setField(column, value) && gRS.update();
        if (ok)
            ++g_revision;
    }
    gRS.close();
    return ok;
}

} // namespace

QVector<DoctorEntry> ActiveDoctors(bool byId)
{
    QVector<DoctorEntry> doctors;
    const QString sql = byId ? QStringLiteral("Select * From 医師 Where DEL=0 Order By ID ASC")
                             : QStringLiteral("Select * From 医師 Where Del=0");
    if (!OpenRS(QStringLiteral("Snapshot"), sql))
        return doctors;
    for (; !gRS.eof(); gRS.moveNext())
        doctors.append({gRS.field(QStringLiteral("ID")).toInt(), gRS.text(QStringLiteral("Name"))});
    gRS.close();
    return doctors;
}

QHash<int, QString> DoctorNames()
{
    QHash<int, QString> names;
    if (!OpenRS(QStringLiteral("Snapshot"), QStringLiteral("Select ID, Name From 医師")))
        return names;
    for (; !gRS.eof(); gRS.moveNext())
        names.insert(gRS.field(QStringLiteral("ID")).toInt(), gRS.text(QStringLiteral("Name")));
    gRS.close();
    return names;
}

bool AddDoctor(const QString &name)
{
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("医師")))
        return false;
    const bool ok = gRS.addNew() && gRS.setField(QStringLiteral("Name"), name)
        && gRS.setField(QStringLiteral("Del"), 0) && gRS.update();
    gRS.close();
    if (ok)
        ++g_revision;
    return ok;
}

bool RenameDoctor(int id, const QString &name)
{
    return updateDoctor(id, QStringLiteral("Name"), name);
}

bool MarkDoctorDeleted(int id)
{
    return updateDoctor(id, QStringLiteral("Del"), 1);
}

int DoctorsRevision()
{
    return g_revision;
}
