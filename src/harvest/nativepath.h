#pragma once
// File names as the system stores them are bytes; the catalogue keeps text. A name
// that is valid UTF-8 becomes that text; every byte of a name that is not becomes the
// lone surrogate U+DC80 + byte (as Python's "surrogateescape" does), so that any name
// found on disk goes into the catalogue and back to the disk unchanged.

#include <QByteArray>
#include <QString>

// BYTES as text, invalid UTF-8 bytes escaped.
QString PathFromNative(const QByteArray& bytes);
// The bytes that PATH stands for: escaped bytes restored, the rest in UTF-8.
QByteArray PathToNative(const QString& path);
// True when PATH holds an escaped byte, i.e. Qt's own file classes cannot open it.
bool PathHasEscapes(const QString& path);
