#pragma once
// File names as the system stores them are bytes; the catalogue keeps text. A name
// that is valid UTF-8 becomes that text; every byte that is not part of a valid UTF-8
// character becomes the private-use character U+EF00 + byte (U+EF80..U+EFFF), so that
// any name found on disk goes into the catalogue, which stores only valid Unicode, and
// back to the disk unchanged. A name holding U+EF80..U+EFFF itself has those
// characters' bytes escaped too, which keeps the way back exact.

#include <QByteArray>
#include <QString>

// BYTES as text, invalid UTF-8 bytes escaped.
QString PathFromNative(const QByteArray& bytes);
// The bytes that PATH stands for: escaped bytes restored, the rest in UTF-8.
QByteArray PathToNative(const QString& path);
// True when PATH holds an escaped byte, i.e. Qt's own file classes cannot open it.
bool PathHasEscapes(const QString& path);
