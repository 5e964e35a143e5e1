#include "patients/Patient.h"

#include "app/AppState.h"
#include "storage/Database.h"

#include <cmath>

namespace {

struct EraRow
{
    int firstDay;     // yyyymmdd
    int offset;       // Gregorian year = era year + offset
    const char *name;
    const char *letter;
};

// Newest first; a date belongs to the first era whose first day it reaches.
constexpr EraRow kEras[] = {
    {20190501, 2018, "令和", "R"},
    {19890108, 1988, "平成", "H"},
    {19261225, 1925, "昭和", "S"},
    {19120730, 1911, "大正", "T"},
    {18680101, 1867, "明治", "M"},
};

QString TwoDigits(int n)
{
    return (QStringLiteral("0") + QString::number(n)).right(2);
}

} // namespace

Era EraOfDate(int yyyymmdd)
{
    for (const EraRow &row : kEras) {
        if (yyyymmdd >= row.firstDay) {
            const int gregorianYear = QString::number(yyyymmdd).left(4).toInt();
            return Era{QString::fromUtf8(row.name), QString::fromUtf8(row.letter),
                       gregorianYear - row.offset};
        }
    }
    return Era{};
}

QStringList EraNames()
{
    QStringList names;
    for (const EraRow &row : kEras)
        names << QString::fromUtf8(row.name);
    return names;
}

int DateNumber(const QDate &day)
{
    return day.year() * 10000 + day.month() * 100 + day.day();
}

int AgeOn(int birth, const QDate &day)
{
    return int(std::floor((DateNumber(day) - birth) / 10000.0));
}

bool LookupPatient(const QString &id)
{
    PatientName.clear();
    PatientID.clear();
    PatientKana.clear();
    PatientBirth = 0;
    PatientEra.clear();
    PatientEraYear.clear();
    PatientAddress.clear();
    // Cleared as well, so that no window shows the previous patient's sex and
    // age beside an empty name.
    PatientSex = 0;
    PatientAge = 0;

    Recordset rs;
    if (!rs.open(QStringLiteral("Snapshot"), QStringLiteral("Select * From Kanja_Data Where ID=?"),
                 {id})
        || rs.eof())
        return false;

    PatientID = rs.text(QStringLiteral("ID"));
    PatientName = rs.text(QStringLiteral("Name"));
    PatientKana = rs.text(QStringLiteral("Kana"));
    bool ok = false;
    const int sex = rs.field(QStringLiteral("Sex")).toInt(&ok);
    if (ok)
        PatientSex = sex;
    const int birth = rs.field(QStringLiteral("Birth")).toInt(&ok);
    if (ok)
        PatientBirth = birth;
    PatientAddress = rs.text(QStringLiteral("Address"));

    const Era era = EraOfDate(PatientBirth);
    if (!era.name.isEmpty()) {
        PatientEra = era.name;
        PatientEraYear = TwoDigits(era.year);
    }
    // Without a birth date there is no age to show.
    if (PatientBirth != 0)
        PatientAge = AgeOn(PatientBirth, QDate::currentDate());
    rs.close();
    return true;
}

int EraDateToNumber(const QString &eraDate)
{
    int year = eraDate.mid(2, 2).toInt();
    const QString era = eraDate.left(2);
    for (const EraRow &row : kEras) {
        if (era == QString::fromUtf8(row.name)) {
            year += row.offset;
            break;
        }
    }
    return (QString::number(year) + eraDate.right(4)).toInt();
}

bool IsValidEraDate(const QString &eraDate)
{
    if (eraDate.size() != 8)
        return false;
    for (int i = 2; i < 8; ++i)
        if (eraDate[i] < u'0' || eraDate[i] > u'9')
            return false;
    const QString era = eraDate.left(2);
    const int eraYear = eraDate.mid(2, 2).toInt();
    // A day belongs to an era from the era's first day until the day before
    // the next era's first day; the newest is open.
    int nextFirstDay = 0;
    for (const EraRow &row : kEras) {
        if (era == QString::fromUtf8(row.name)) {
            const QDate day(eraYear + row.offset, eraDate.mid(4, 2).toInt(), eraDate.mid(6, 2).toInt());
            const int number = DateNumber(day);
            return eraYear >= 1 && day.isValid() && number >= row.firstDay
                && (nextFirstDay == 0 || number < nextFirstDay);
        }
        nextFirstDay = row.firstDay;
    }
    return false;
}

QList<QPair<QString, QString>> CurrentPatientValues()
{
    // No birth date (or no patient) leaves month, day and age empty rather
    // than "0", here and in the document fields copied from these values.
    const bool hasBirth = PatientBirth != 0;
    const QString birth = hasBirth ? QString::number(PatientBirth) : QString();
    return {
        {QStringLiteral("患者番号"), PatientID},
        {QStringLiteral("カナ名"), PatientKana},
        {QStringLiteral("患者名"), PatientName},
        {QStringLiteral("生年"), PatientEra + PatientEraYear},
        {QStringLiteral("生月"), birth.mid(4, 2)},
        {QStringLiteral("生日"), birth.right(2)},
        {QStringLiteral("年齢"), hasBirth ? QString::number(PatientAge) : QString()},
        // A failed lookup leaves no patient, and no sex to show.
        {QStringLiteral("性別"), PatientID.isEmpty() ? QString() : PatientSex == 1 ? QStringLiteral("男") : QStringLiteral("女")},
        {QStringLiteral("住所"), PatientAddress},
    };
}
