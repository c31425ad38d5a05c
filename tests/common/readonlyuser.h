#pragma once
// Running a program as someone who may read a folder but not write to it. Root may
// write to any folder, so as root the program runs as nobody.

#include <QStandardPaths>
#include <QStringList>

#include <optional>
#include <unistd.h>

// The words to put before a command so that it runs as such a user: none when this
// process is one already, nothing at all when no such user can be had (root without
// setpriv), which the caller skips on.
inline std::optional<QStringList> AsUserWhoCannotWrite()
{
    if (::geteuid() != 0)
        return QStringList();
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return std::nullopt;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                       QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};
}

// The words to put before a command so that it runs as the user UID: only root may
// switch, so nothing when this process is not root or setpriv is missing.
inline std::optional<QStringList> AsUser(uid_t uid)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return std::nullopt;
    const QString id = QString::number(uid);
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=") + id,
                       QStringLiteral("--regid=") + id, QStringLiteral("--clear-groups")};
}
