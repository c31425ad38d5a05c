#pragma once
// The pictures of the program's commands, asked of the desktop's icon theme by their
// freedesktop names. Where the desktop's theme lacks one, or there is no desktop
// theme at all, the full-colour pictures of the Adwaita theme (Debian package
// adwaita-icon-theme) stand in; nothing is drawn by the program itself.
//
// Full colour rather than monochrome ("symbolic") pictures where the theme has both,
// and a disabled form that is grey and faint, so that an enabled button never looks
// disabled and a disabled one plainly does.

#include <QIcon>
#include <QString>

namespace Icons {

// The theme that stands in for pictures the desktop's theme lacks.
QString FallbackTheme(); // "Adwaita"

// The picture named NAME (a freedesktop icon name such as "document-save"); a null
// icon when no theme has it. Its name() is NAME.
QIcon Themed(const QString& name);

} // namespace Icons
