#pragma once
#include <QString>
#include <functional>

// How one window reaches another without depending on its class. Every hook
// is set by InstallNavigation() at start-up; a hook that is not set yet does
// nothing but show the start window again, so nobody is stranded.
struct Navigation
{
    std::function<void()> showStart;              // FStart shows itself again
    std::function<void()> showPatientEntry;       // F患者情報入力
    std::function<void(bool finished)> showSaveList; // FSaveList: finished or pending documents
    std::function<void()> showSettings;           // F設定
    std::function<void()> showMainWindow;         // FHead for the current patient
    // Builds the document window for kind and opens the saved document id.
    std::function<void(const QString &kind, int id)> openSavedDocument;
    // Once the doctor is known (remembered at start, or chosen): offers the
    // documents that doctor left unsaved by a crash. Before a restored one
    // opens, takeDoctor makes the doctor current (and hides the start window).
    // True when one was restored (the main window shows it).
    std::function<bool(const QString &doctorId, const std::function<bool()> &takeDoctor)> recoverDrafts;
};

Navigation &nav();
