#pragma once
#include <QHash>
#include <QString>
#include <QVector>

// The doctors of table 医師. Rows are never removed: deleting only sets Del to 1.
struct DoctorEntry
{
    int id = 0;
    QString name;
};

// Doctors not marked deleted. In ID order when byId, otherwise in the order the
// database returns them. Empty when the database cannot be read.
QVector<DoctorEntry> ActiveDoctors(bool byId);

// Each returns false when nothing could be stored (database closed, read-only,
// the name refused). A doctor that no longer exists is not an error.
// The name of every doctor by ID, deleted ones too (old records name them).
QHash<int, QString> DoctorNames();

bool AddDoctor(const QString &name);
bool RenameDoctor(int id, const QString &name);
bool MarkDoctorDeleted(int id);

// Goes up with every stored change, so a list shown elsewhere knows it is stale.
int DoctorsRevision();
