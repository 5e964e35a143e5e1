#pragma once
#include "ui/Prompter.h"

#include <QColor>
#include <QList>
#include <QStringList>
#include <optional>

// A prompter for tests: records every text it is shown and answers from queues.
// An empty queue answers No / cancel.
class ScriptedPrompter : public Prompter
{
public:
    ScriptedPrompter() { setPrompter(this); }
    ~ScriptedPrompter() override { setPrompter(nullptr); }

    void message(const QString &text, const QString &title) override;
    bool question(const QString &text, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &initial) override;
    std::optional<QColor> color(const QColor &initial) override;
    std::optional<QString> saveFileName(const QString &title, const QString &proposed,
                                        const QString &filter) override;

    QStringList messages;   // texts of message boxes, in order
    QStringList questions;  // texts of questions, in order
    QStringList prompts;    // prompts of input boxes, in order
    QStringList titles;     // titles of everything shown, in order

    QList<bool> answers;                      // for question()
    QList<std::optional<QString>> inputs;     // for input()
    QList<std::optional<QColor>> colors;      // for color()
    QStringList proposedFiles;                // what saveFileName() offered, in order
    QList<std::optional<QString>> files;      // for saveFileName()

    // Everything asked so far (messages, questions, prompts) in order.
    QStringList asked;
    void clear();
};
