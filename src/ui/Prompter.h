#pragma once
#include <QColor>
#include <QString>
#include <optional>

class QWidget;

// The application's title, used for message boxes that name no other.
inline QString AppTitle() { return QStringLiteral("Rydol"); }

// Every message box, question, input box, colour and file dialog of the program goes
// through the current prompter, so that tests can script the answers.
// The title is shown as given: left out it is the application's title, an
// empty one gives a box without a title.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // An OK-only message box.
    virtual void message(const QString &text, const QString &title = AppTitle()) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const QString &text, const QString &title = AppTitle()) = 0;
    // A single-line input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title = AppTitle(),
                                         const QString &initial = QString()) = 0;
    // The colour dialog; nullopt when cancelled.
    virtual std::optional<QColor> color(const QColor &initial) = 0;
    // Asks where to save a file, starting from proposed (folder and name) and
    // showing the files that match filter, e.g. "PDF (*.pdf)"; nullopt when
    // cancelled.
    virtual std::optional<QString> saveFileName(const QString &title, const QString &proposed,
                                                const QString &filter) = 0;
};

Prompter &prompter();
// Replaces the prompter (tests); nullptr restores the dialog-based one.
void setPrompter(Prompter *p);
