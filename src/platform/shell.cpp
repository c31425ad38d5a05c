#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace Shell {

namespace {

TOpener& Opener()
{
    static TOpener opener;
    return opener;
}

bool Open(const QUrl& url)
{
    if (const TOpener& opener = Opener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

} // namespace

bool OpenFile(const QString& path) { return Open(QUrl::fromLocalFile(path)); }

bool OpenUrl(const QUrl& url) { return Open(url); }

void SetOpener(TOpener opener) { Opener() = std::move(opener); }

bool IsNativeExecutable(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable() &&
           info.suffix().compare(u"exe"_s, Qt::CaseInsensitive) != 0;
}

QString StartFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"Файл не найден: %1"_s.arg(path);
    if (IsNativeExecutable(path)) {
        QProcess process;
        process.setProgram(info.absoluteFilePath());
        process.setWorkingDirectory(info.absolutePath());
        process.setStandardInputFile(QProcess::nullDevice());
        if (!process.startDetached())
            return u"Не удалось запустить %1: %2"_s.arg(path, process.errorString());
        return QString();
    }
    if (!OpenFile(info.absoluteFilePath()))
        return u"Нет приложения, которое открыло бы файл %1"_s.arg(path);
    return QString();
}

} // namespace Shell
