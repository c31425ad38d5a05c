#pragma once
// The program's own icon: the first icon group of a PE image and the images it
// lists, written out as the bytes of an .ico file.

#include <QByteArray>
#include <QString>

#include <optional>

class TByteSource;

// The .ico file of the main icon group of the image in SOURCE: the first group the
// resource directory lists, in the language chosen as for the version resource
// (USERLANGID taking part), with its images in the group's order, each of the
// group's language where there is one. An image the group names but the file lacks,
// or whose data is neither a bitmap nor a PNG picture, is left out. Nothing when
// the source has no group or none of its images.
std::optional<QByteArray> ReadMainIcon(TByteSource& source, quint16 userLangId);

// The same for the file FILENAME, with the user's language.
std::optional<QByteArray> ReadMainIcon(const QString& fileName);
// The same for an image already in memory.
std::optional<QByteArray> ReadMainIcon(const QByteArray& image);
