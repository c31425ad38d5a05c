#pragma once
// Where the program keeps its own files. Beside the executable when its folder can be
// written, as the program always did; otherwise (an installed copy under /usr) under
// the user's configuration folder, $XDG_CONFIG_HOME/tresmol, with the same file name.
// The picture folder follows the same rule with the user's data folder.
// The name follows the executable's actual name, so two copies under different names
// keep separate files.

#include <QString>

namespace AppPaths {

// The settings file for the executable at EXECUTABLE: its name with ".ini" for its
// extension, in its folder when that folder is writable, else in the configuration
// folder. Empty EXECUTABLE means the running program's.
QString SettingsFile(const QString& executable = QString());

// The folder that holds the settings file when the executable's is not writable.
QString ConfigFolder();

// The picture folder for the executable at EXECUTABLE: "Images" in its folder while
// that folder exists and can be written, else $XDG_DATA_HOME/tresmol/Images (by
// default ~/.local/share/tresmol/Images). Neither is created here: the picture
// commands create the second when they first store a picture. Empty EXECUTABLE means
// the running program's.
QString PictureFolder(const QString& executable = QString());

} // namespace AppPaths
