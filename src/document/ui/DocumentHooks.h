#pragma once
#include <QString>
#include <functional>

class QComboBox;

// Procedures of other subsystems that the main window and the document window
// call. Each is set by the subsystem that owns it; an unset hook does nothing
// (and a save that cannot run reports failure).
struct DocumentHooks
{
    // Saves the document of the document window: number shown in Lb登録番号,
    // state "0" pending, "1" finished, "" keep. True on success.
    std::function<bool(int number, const QString &state)> saveDocument;
    // After saveDocument failed: the message that says why, empty when the
    // doctor declined the save (unset: the generic "保存できませんでした").
    std::function<QString()> saveFailureText;
    // Fills FHead's LV履歴 and M履歴 for the current patient.
    std::function<void()> refreshPatientHistory;
    // Copies FHead's LV履歴 into the document window's M履歴.
    std::function<void()> fillHistoryMenu;
    // Opens saved document id of kind in a document window of its own
    // (built, filled and then shown).
    std::function<void(const QString &kind, const QString &id)> openSavedDocument;
    // Shows the printer selection dialog.
    std::function<void()> showPrintDialog;
    // Asks for a file and writes the document into it as a PDF.
    std::function<void()> exportPdf;
    // Fills the phrase classes of the current doctor / the phrases of one class.
    std::function<void(QComboBox *)> loadPhraseClasses;
    std::function<void(const QString &phraseClass)> loadPhrases;
    // Shows the picture dialog and the text dialog (not modal).
    std::function<void()> showPictureDialog;
    std::function<void()> showTextDialog;
    // What can be undone or redone in the drawing of the document window changed.
    std::function<void()> drawingHistoryChanged;
    // The document window was closed after its save question was settled
    // (saved, unchanged, or not to be saved).
    std::function<void()> documentUnloaded;
};

DocumentHooks &docHooks();
// The message for the save that just failed; empty when the doctor declined it.
QString SaveFailureText();
