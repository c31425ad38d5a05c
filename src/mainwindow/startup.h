#pragma once
// Start-up and shut-down: the program's windows and its data module, created once in
// a fixed order and destroyed at exit.

#include <QString>

namespace Startup {

// Creates, all hidden and in this order: the main window, the data module (which opens
// the connection and the five reference cursors, each failure shown in the standard
// error box), the record editor, the disc-maker and disc-type list editors, the About
// window, the column chooser, the wizard, the platform, category and program-type list
// editors, the file information window and the picture viewer.
void CreateForms(const QString& connectionString);
// Destroys every window, then the data module (which closes the connection).
void DestroyForms();

} // namespace Startup
