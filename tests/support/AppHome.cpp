#include "AppHome.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "templates/ui/BuildDocument.h"
#include "ui/Navigation.h"

#include <QCoreApplication>

const TestPatient kPatientSato{
    QStringLiteral("12"), QStringLiteral("佐藤　花子"), QStringLiteral("ｻﾄｳ ﾊﾅｺ"), 2, 19800105,
    QStringLiteral("昭和"), QStringLiteral("55"), QStringLiteral("東京都"), 46,
};
const TestPatient kPatientTanaka{
    QStringLiteral("5"), QStringLiteral("田中　次郎"), QStringLiteral("ﾀﾅｶ ｼﾞﾛｳ"), 1, 19890108,
    QStringLiteral("平成"), QStringLiteral("01"), QStringLiteral("大阪府"), 37,
};

AppHome::AppHome(bool withSamples)
    : home(withSamples)
{
}

AppHome::~AppHome()
{
    docHooks() = DocumentHooks();
    // A changed document would ask whether to save it.
    if (FM *doc = fm())
        doc->更新チェック更新();
    UnloadFM();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    nav() = Navigation();
    if (FHead *head = fhead())
        head->hide();
}

void AppHome::setDoctor(const QString &id, const QString &name)
{
    CurrentDrID = id;
    CurrentDrName = name;
}

void AppHome::setPatient(const TestPatient &patient)
{
    PatientID = patient.id;
    PatientName = patient.name;
    PatientKana = patient.kana;
    PatientSex = patient.sex;
    PatientBirth = patient.birth;
    PatientEra = patient.era;
    PatientEraYear = patient.eraYear;
    PatientAddress = patient.address;
    PatientAge = patient.age;
}

void AppHome::admit(const TestPatient &patient) const
{
    home.addPatient(patient.id, patient.name, patient.kana, patient.sex, patient.birth, patient.address);
}

void AppHome::writeTemplate(const QString &kind, const QStringList &lines) const
{
    home.writeIni(kind, QStringLiteral("[DATA]\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

FHead &AppHome::loadMainWindow(bool shown)
{
    FHead &head = fheadInstance();
    head.MDIForm_Load();
    if (shown)
        head.show();
    return head;
}

FM *AppHome::build(const QString &kind)
{
    if (!BuildDocument(kind) || !fm())
        return nullptr;
    fm()->更新チェック更新();
    return fm();
}
