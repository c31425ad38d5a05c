#pragma once
// The desktop shell: a file or address handed to the application the desktop
// associates with it, and programs started on their own.

#include <QString>
#include <QUrl>

#include <functional>

namespace Shell {

// Opens the local file PATH with the desktop's default application. False when the
// desktop has no application for it (or no desktop at all); nothing is shown then.
bool OpenFile(const QString& path);

// Opens the address URL with the desktop's default application for its scheme: a web
// page or a local document in the default browser. False when nothing could open it.
bool OpenUrl(const QUrl& url);

// What hands a URL to the desktop; true when something took it. Tests install their
// own, so that nothing is really opened; an empty opener restores the desktop's.
using TOpener = std::function<bool(const QUrl&)>;
void SetOpener(TOpener opener);

// True for a file this program can start directly: a native executable of the
// platform. A Windows program (".exe") is not one, even when its file is marked
// executable, as files on Windows-formatted media often are.
bool IsNativeExecutable(const QString& path);

// Starts PATH on its own: a native executable as a detached process (no arguments,
// its own folder as the working directory, independent of this program), any other
// file with the desktop's default application for it. An empty text when it started,
// otherwise the reason it did not.
QString StartFile(const QString& path);

} // namespace Shell
