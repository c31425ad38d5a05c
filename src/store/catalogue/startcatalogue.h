#pragma once
// Which catalogue the program opens when it starts. The catalogue named on the command
// line; else Tresmol.mdb in the working directory, as the program always did; else the
// user's own catalogue, made on the first start with the standard reference lists, so
// that a program started from the desktop's menu is ready to use at once.

#include <QString>

#include <functional>

namespace StartCatalogue {

enum class TSource { Argument, WorkingDirectory, UserCatalogue };

struct TChoice {
    TSource Source = TSource::WorkingDirectory;
    // The file, as the connection string names it.
    QString Path;
    QString ConnectionString;
    // True when the file is the user's catalogue and does not exist yet.
    bool Create = false;
};

// The choice for ARGUMENT (empty when none was given), by what exists now in the
// working directory and the user's data folder. A file that exists is chosen even
// when it cannot be opened: opening it then reports why.
TChoice Choose(const QString& argument);

// Chooses as Choose does and makes the user's catalogue when it is missing. A failure
// to make it goes to REPORT; the program then starts disconnected, as on a file that
// cannot be opened. Returns the connection string to start on.
QString Prepare(const QString& argument, const std::function<void(const QString&)>& report);

} // namespace StartCatalogue
