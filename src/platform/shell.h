#pragma once
// The desktop shell's "open": a file or address handed to the application the
// desktop associates with it.

#include <QString>
#include <QUrl>

namespace Shell {

// Opens the local file PATH with the desktop's default application. False when the
// desktop has no application for it (or no desktop at all); nothing is shown then.
bool OpenFile(const QString& path);

// Opens the address URL with the desktop's default application for its scheme: a web
// page or a local document in the default browser. False when nothing could open it.
bool OpenUrl(const QUrl& url);

} // namespace Shell
