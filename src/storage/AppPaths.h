#pragma once
#include <QString>

// The application folder holds DATA/. It is the executable's folder unless
// RYDOL_HOME names another one. Paths always use '/'.
QString AppFolder();
// AppFolder() + "/DATA/" + relative (relative may be empty).
QString DataPath(const QString &relative = QString());
// Overrides the application folder for the rest of the run (tests, tools).
void SetAppFolder(const QString &folder);

// parent/name, or the folder of parent whose name differs from name only in
// letter case when there is one (and no folder spelled exactly so): one kind,
// one folder, whichever spelling of its name a template uses.
QString FolderIgnoringCase(const QString &parent, const QString &name);
