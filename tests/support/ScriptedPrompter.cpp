#include "ScriptedPrompter.h"

void ScriptedPrompter::message(const QString &text, const QString &title)
{
    messages << text;
    titles << title;
    asked << text;
}

bool ScriptedPrompter::question(const QString &text, const QString &title)
{
    questions << text;
    titles << title;
    asked << text;
    return answers.isEmpty() ? false : answers.takeFirst();
}

std::optional<QString> ScriptedPrompter::input(const QString &prompt, const QString &title,
                                               const QString &)
{
    prompts << prompt;
    titles << title;
    asked << prompt;
    return inputs.isEmpty() ? std::nullopt : inputs.takeFirst();
}

std::optional<QColor> ScriptedPrompter::color(const QColor &)
{
    asked << QStringLiteral("<color>");
    return colors.isEmpty() ? std::nullopt : colors.takeFirst();
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString &title, const QString &proposed,
                                                      const QString &)
{
    proposedFiles << proposed;
    titles << title;
    asked << title;
    return files.isEmpty() ? std::nullopt : files.takeFirst();
}

void ScriptedPrompter::clear()
{
    messages.clear();
    questions.clear();
    prompts.clear();
    titles.clear();
    asked.clear();
    proposedFiles.clear();
}
