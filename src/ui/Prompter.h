#pragma once
#include <QColor>
#include <QString>
#include <optional>

class QWidget;

// Every message box, question, input box and colour dialog of the program goes
// through the current prompter, so that tests can script the answers.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // An OK-only message box.
    virtual void message(const QString &text, const QString &title = QString()) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const QString &text, const QString &title = QString()) = 0;
    // A single-line input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title = QString(),
                                         const QString &initial = QString()) = 0;
    // The colour dialog; nullopt when cancelled.
    virtual std::optional<QColor> color(const QColor &initial) = 0;
};

// The application's title, used for message boxes that name no other.
inline QString AppTitle() { return QStringLiteral("Rydol"); }

Prompter &prompter();
// Replaces the prompter (tests); nullptr restores the dialog-based one.
void setPrompter(Prompter *p);
