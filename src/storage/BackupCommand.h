#pragma once
#include <QStringList>

// The administrator's commands, run without windows:
//   Rydol --backup <folder>
//   Rydol --verify-backup <folder>
//   Rydol --restore <folder> --to <empty folder> [--to postgresql://…]
// Whether arg (the first argument) names one of them.
bool IsBackupCommand(const char *arg);
// Runs the command of arguments (without the program's name) and returns the
// exit code: 0 done (a verified backup: whole), 1 failed or not whole, 2 the
// arguments make no command.
int RunBackupCommand(const QStringList &arguments);
