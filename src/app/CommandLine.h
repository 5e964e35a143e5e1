#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// One option of the command line. A new option is added to CommandLineOptions()
// (which --help and the tests read) and handled in main.cpp.
struct CommandLineOption {
    QString name;      // "--migrate-to"
    QString valueName; // "URL"; empty when the option takes no value
    QString japanese;  // what it does, one line each
    QString english;
};

// Every option, in the order --help lists them.
const QList<CommandLineOption> &CommandLineOptions();

// What the command line asks for: option empty starts the windows. An option
// with a value is written "--name VALUE" or "--name=VALUE". error, when not
// empty, is the message for a refused command line (exit code 2).
struct CommandLine {
    QString option;
    QString value;
    QString error;
};
// arguments without the program's own name.
CommandLine ParseCommandLine(const QStringList &arguments);

// The text of --help, in Japanese and English.
QString CommandLineHelp();
// The text of --version: "Rydol 1.0.0 (commit 0123abcd4567)".
QString VersionText();
