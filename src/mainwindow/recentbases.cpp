#include "mainwindow/recentbases.h"

#include "platform/inifile.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Section = u"Catalogues"_s;

QString Key(int i) { return u"Recent%1"_s.arg(i + 1); }

void Write(const QString& settings, const QStringList& list)
{
    TIniFile ini(settings);
    ini.BeginUpdate();
    for (int i = 0; i < RecentBases::Size; ++i)
        ini.WriteString(Section, Key(i), list.value(i));
    ini.EndUpdate();
}

} // namespace

namespace RecentBases {

QStringList Read(const QString& settings)
{
    const TIniFile ini(settings);
    QStringList list;
    for (int i = 0; i < Size; ++i) {
        const QString path = ini.ReadString(Section, Key(i), QString());
        if (!path.isEmpty() && !list.contains(path))
            list << path;
    }
    return list;
}

QString Last(const QString& settings) { return Read(settings).value(0); }

void Remember(const QString& settings, const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList list = Read(settings);
    if (list.value(0) == absolute)
        return;
    list.removeAll(absolute);
    list.prepend(absolute);
    Write(settings, list.mid(0, Size));
}

void Forget(const QString& settings, const QString& path)
{
    QStringList list = Read(settings);
    if (list.removeAll(path) > 0)
        Write(settings, list);
}

} // namespace RecentBases
