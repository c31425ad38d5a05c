#pragma once
// Where the program keeps its own files. The settings file is beside the executable
// only when one is already there (a portable copy carried with its settings);
// otherwise it is in the user's configuration folder, $XDG_CONFIG_HOME/tresmol, with
// the same file name. The picture folder is beside the executable when an "Images"
// folder there can be written, else in the user's data folder.
// The name follows the executable's actual name, so two copies under different names
// keep separate files.

#include <QString>

namespace AppPaths {

// The settings file for the executable at EXECUTABLE: its name with ".ini" for its
// extension, in its folder when a file of that name is there, else in the
// configuration folder (made by the first write, not here). Empty EXECUTABLE means the
// running program's.
QString SettingsFile(const QString& executable = QString());

// The folder that holds the settings file when none is beside the executable.
QString ConfigFolder();

// The picture folder for the executable at EXECUTABLE: "Images" in its folder while
// that folder exists and can be written, else $XDG_DATA_HOME/tresmol/Images (by
// default ~/.local/share/tresmol/Images). Neither is created here: the picture
// commands create the second when they first store a picture. Empty EXECUTABLE means
// the running program's.
QString PictureFolder(const QString& executable = QString());

// The user's own catalogue, $XDG_DATA_HOME/tresmol/Tresmol.mdb (by default under
// ~/.local/share): where a program started from the desktop's menu keeps its records.
QString UserCatalogue();

} // namespace AppPaths
