#include "platform/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace {

// A folder is writable when a file can be created in it; the permission bits say
// nothing for root or for read-only mounts.
bool Writable(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;
    QFile probe(QDir(folder).filePath(u".tresmol-write-probe"_s));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

QString AppPaths::ConfigFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(u"tresmol"_s);
}

QString AppPaths::UserCatalogue()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(u"tresmol/Tresmol.mdb"_s);
}

QString AppPaths::SettingsFile(const QString& executable)
{
    const QFileInfo exe(executable.isEmpty() ? QCoreApplication::applicationFilePath()
                                             : executable);
    const QString name = exe.completeBaseName() + u".ini"_s;
    // A portable copy carries its settings file beside it; an installed program never
    // writes next to itself.
    const QString beside = QDir(exe.absolutePath()).filePath(name);
    if (QFileInfo(beside).isFile())
        return beside;
    return QDir(ConfigFolder()).filePath(name);
}

QString AppPaths::PictureFolder(const QString& executable)
{
    const QFileInfo exe(executable.isEmpty() ? QCoreApplication::applicationFilePath()
                                             : executable);
    const QString beside = QDir(exe.absolutePath()).filePath(u"Images"_s);
    if (Writable(beside))
        return beside;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(u"tresmol/Images"_s);
}
