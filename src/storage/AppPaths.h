#pragma once
#include <QString>

// The application folder holds DATA/. It is the executable's folder unless
// RYDOL_HOME names another one. Paths always use '/'.
QString AppFolder();
// AppFolder() + "/DATA/" + relative (relative may be empty).
QString DataPath(const QString &relative = QString());
// Overrides the application folder for the rest of the run (tests, tools).
void SetAppFolder(const QString &folder);
