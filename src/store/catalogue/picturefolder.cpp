#include "store/catalogue/picturefolder.h"

#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

// CANDIDATE kept to MAXLENGTH characters: the part before the last dot is shortened,
// the extension stays unless it alone is too long. A surrogate pair is never split.
QString Fit(const QString& candidate, int maxLength)
{
    if (maxLength <= 0 || candidate.size() <= maxLength)
        return candidate;
    const qsizetype dot = candidate.lastIndexOf(u'.');
    const QString extension = dot > 0 ? candidate.mid(dot) : QString();
    qsizetype keep = maxLength - extension.size();
    if (keep <= 0)
        return candidate.left(maxLength);
    if (candidate.at(keep - 1).isHighSurrogate())
        --keep;
    return candidate.left(keep) + extension;
}

} // namespace

bool TPictureFolder::SafeName(const QString& name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

QString TPictureFolder::FilePath(const QString& name) const
{
    return SafeName(name) ? QDir(FPath).filePath(name) : QString();
}

bool TPictureFolder::Holds(const QString& name) const
{
    const QString path = FilePath(name);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString TPictureFolder::FreeName(const QString& name, int maxLength) const
{
    // A name taken by anything, a folder or a dangling link included, is not free.
    const auto taken = [this](const QString& candidate) {
        const QFileInfo info(QDir(FPath).filePath(candidate));
        return info.exists() || info.isSymLink();
    };
    QString candidate = Fit(name, maxLength);
    for (int n = 1; taken(candidate); ++n)
        candidate = Fit(QString::number(n) + u'_' + name, maxLength);
    return candidate;
}

namespace {

// Pictures larger than this are always copied, never compared.
constexpr qint64 SameFileLimit = 64 * 1024 * 1024;

} // namespace

QString TPictureFolder::SameFile(const QString& name, const QByteArray& data) const
{
    // The same picture added again, or the same icon harvested again, would otherwise
    // leave one more copy under the next free name each time. Only the names it would
    // have been given are looked at, and their contents only when the sizes agree.
    const QDir folder(FPath);
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString candidate = file.fileName();
        const qsizetype underscore = candidate.indexOf(u'_');
        bool numbered = false;
        if (underscore > 0 && candidate.mid(underscore + 1) == name)
            candidate.left(underscore).toUInt(&numbered);
        if ((candidate != name && !numbered) || file.size() != data.size())
            continue;
        QFile f(file.filePath());
        if (f.open(QIODevice::ReadOnly) && f.readAll() == data)
            return candidate;
    }
    return QString();
}

QString TPictureFolder::Store(const QString& source, int maxLength) const
{
    const QFileInfo from(source);
    if (!from.isFile())
        throw EError(u"Не удалось скопировать картинку: файл %1 не найден"_s.arg(
            QDir::toNativeSeparators(source)));
    if (QFile in(source); from.size() <= SameFileLimit && in.open(QIODevice::ReadOnly))
        if (const QString same = SameFile(from.fileName(), in.readAll()); !same.isEmpty())
            return same;
    if (!QDir().mkpath(FPath))
        throw EError(
            u"Не удалось создать папку для картинок %1"_s.arg(QDir::toNativeSeparators(FPath)));
    // Between choosing a name and copying, another program may take it; the copy never
    // overwrites, so it then fails and the next free name is tried.
    QString lastError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString name = FreeName(from.fileName(), maxLength);
        QFile file(source);
        if (file.copy(QDir(FPath).filePath(name)))
            return name;
        lastError = file.errorString();
        if (!QFileInfo::exists(QDir(FPath).filePath(name)))
            break;
    }
    throw EError(u"Не удалось скопировать картинку %1 в папку %2: %3"_s.arg(
        QDir::toNativeSeparators(source), QDir::toNativeSeparators(FPath), lastError));
}

QString TPictureFolder::StoreData(const QString& name, const QByteArray& data, int maxLength) const
{
    if (const QString same = SameFile(name, data); !same.isEmpty())
        return same;
    if (!QDir().mkpath(FPath))
        throw EError(
            u"Не удалось создать папку для картинок %1"_s.arg(QDir::toNativeSeparators(FPath)));
    // As for a copy: a name another program takes meanwhile makes the next one tried.
    QString lastError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString stored = FreeName(name, maxLength);
        QFile file(QDir(FPath).filePath(stored));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(data) == data.size() && file.flush()) {
                file.close();
                return stored;
            }
            lastError = file.errorString();
            file.close();
            file.remove();
            break;
        }
        lastError = file.errorString();
        if (!QFileInfo::exists(file.fileName()))
            break;
    }
    throw EError(u"Не удалось записать картинку %1 в папку %2: %3"_s.arg(
        name, QDir::toNativeSeparators(FPath), lastError));
}

bool TPictureFolder::Remove(const QString& name) const
{
    return Holds(name) && QFile::remove(FilePath(name));
}

int PictureUses(TADOConnection& connection, const QString& name)
{
    if (!connection.Connected())
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    const QString table = QString::fromUtf16(Schema::SoftTable);
    try {
        TSqliteStatement count = connection.Database(table).Prepare(
            (u"SELECT COUNT(*) FROM "_s + SqlName(table) + u" WHERE \"Images\" = ?"_s).toUtf8());
        Cells::Bind(count, 1, TFieldType::ftString, name);
        return count.Step() ? int(count.Integer(0)) : 0;
    } catch (const ESqliteError& e) {
        throw connection.Failure(TDbAction::ReadTable, e, table);
    }
}
