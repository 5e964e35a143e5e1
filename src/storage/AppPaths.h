#pragma once
#include <QString>

// The application folder holds DATA/. It is the folder named by RYDOL_HOME,
// else the executable's folder when it holds DATA/, else, for an installed
// program (one with <prefix>/share/rydol/DATA beside its bin/ folder, or with
// a configuration file), the installed home: the folder named by home= in
// /etc/rydol/rydol.conf (RYDOL_CONF names another file), else
// $XDG_DATA_HOME/Rydol. Paths always use '/'.
QString AppFolder();
// AppFolder() + "/DATA/" + relative (relative may be empty).
QString DataPath(const QString &relative = QString());
// Overrides the application folder for the rest of the run (tests, tools).
void SetAppFolder(const QString &folder);

// Makes the application folder ready before anything reads it: a configured
// home must already hold DATA/; a user's own installed home is filled from
// the installed samples on first start. Empty when ready, else what the user
// is told (with the path).
QString PrepareAppFolder();

// The installed home as configFile and userDataFolder ($XDG_DATA_HOME) make it.
struct InstalledHome {
    QString folder;
    bool configured = false; // named by home= in the configuration file
};
InstalledHome ReadInstalledHome(const QString &configFile, const QString &userDataFolder);
// PrepareAppFolder() for a given home and samples folder.
QString PrepareHome(const InstalledHome &home, const QString &samples, const QString &configFile);

// parent/name, or the folder of parent whose name differs from name only in
// letter case when there is one (and no folder spelled exactly so): one kind,
// one folder, whichever spelling of its name a template uses.
QString FolderIgnoringCase(const QString &parent, const QString &name);
