#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace Shell {

bool OpenFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace Shell
