#pragma once
#include "ScriptedPrompter.h"
#include "TestHome.h"

#include <QString>
#include <QStringList>

class FHead;
class FM;

// A patient as the start window leaves it current.
struct TestPatient
{
    QString id, name, kana;
    int sex = 1; // 1 male, 2 female
    int birth = 0; // yyyymmdd
    QString era, eraYear, address;
    int age = 0;
};
extern const TestPatient kPatientSato;   // 12 佐藤　花子, 昭和55年1月5日生まれ, 東京都
extern const TestPatient kPatientTanaka; // 5 田中　次郎, 平成01年1月8日生まれ, 大阪府

// A home as the running program has it around the main window: a throw-away
// application folder (home), a scripted prompter (prompts), the current doctor
// and patient, the templates the test writes and, when asked, the main window
// loaded for them. Going away it leaves no document window, document hook or
// navigation hook behind and the main window hidden, so that the next test
// starts as the program does.
class AppHome
{
public:
    explicit AppHome(bool withSamples = false);
    ~AppHome();
    AppHome(const AppHome &) = delete;
    AppHome &operator=(const AppHome &) = delete;

    TestHome home;
    ScriptedPrompter prompts;

    // The doctor writing: CurrentDrID and CurrentDrName.
    static void setDoctor(const QString &id, const QString &name);
    // Makes patient the current one without the database, as after the start window.
    static void setPatient(const TestPatient &patient);
    // Stores patient in the database.
    void admit(const TestPatient &patient) const;
    // Writes the template DATA/ini/<kind>.ini: "[DATA]" and lines.
    void writeTemplate(const QString &kind, const QStringList &lines) const;

    // Loads the main window for the current doctor and patient; shows it when asked.
    FHead &loadMainWindow(bool shown = false);
    // Builds kind as the 新規作成 menu does: the new document starts unchanged.
    // The document window, or nullptr when nothing was built.
    FM *build(const QString &kind);
};
