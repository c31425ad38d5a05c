#include "store/catalogue/picturefolder.h"

#include "platform/nativepath.h"
#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <optional>

#include <sys/stat.h>

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

namespace {

// The picture name NAME was stored under as a numbered copy ("12_setup.ico" for
// "setup.ico"), with its number; an empty name when NAME is not numbered.
std::pair<QString, int> Numbered(const QString& name)
{
    const qsizetype underscore = name.indexOf(u'_');
    if (underscore <= 0)
        return {};
    bool ok = false;
    const int number = name.left(underscore).toInt(&ok);
    if (!ok || number <= 0 || name.at(0) == u'+')
        return {};
    return {name.mid(underscore + 1), number};
}

} // namespace

struct TPictureFolder::TIndex {
    struct TFile {
        qint64 Size = -1;           // -1: not a file, or not known
        std::optional<size_t> Hash; // of the content, once read
    };
    // A picture's name, a size and a content hash: the files that may hold those bytes.
    struct TKey {
        QString Family;
        qint64 Size;
        size_t Hash;
        bool operator==(const TKey&) const = default;
        friend size_t qHash(const TKey& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.Family, key.Size, key.Hash);
        }
    };

    // Every name in the folder, files and anything else.
    QHash<QString, TFile> Files;
    // The files a picture may be stored as (itself and its numbered copies), by the
    // picture's name, their size and hash; those not read yet under hash 0 in Unread.
    QMultiHash<TKey, QString> Read, Unread;
    // (picture name, length limit) -> the lowest number whose name may be free.
    QHash<std::pair<QString, int>, int> Next;

    // The picture names a file NAME may stand for.
    static QStringList Families(const QString& name)
    {
        const QString base = Numbered(name).first;
        return base.isEmpty() ? QStringList{name} : QStringList{name, base};
    }

    void Add(const QString& name, TFile file)
    {
        Forget(name);
        if (file.Size >= 0)
            for (const QString& family : Families(name))
                (file.Hash ? Read : Unread)
                    .insert({family, file.Size, file.Hash.value_or(0)}, name);
        Files.insert(name, file);
    }
    // NAME went from the folder: a gap to fill first when it was a numbered copy.
    void Remove(const QString& name)
    {
        if (!Forget(name))
            return;
        if (const auto [base, number] = Numbered(name); !base.isEmpty())
            for (auto it = Next.begin(); it != Next.end(); ++it)
                if (it.key().first == base)
                    it.value() = std::min(it.value(), number);
    }
    bool Forget(const QString& name)
    {
        const auto found = Files.constFind(name);
        if (found == Files.cend())
            return false;
        const TFile file = found.value();
        Files.erase(found);
        if (file.Size >= 0)
            for (const QString& family : Families(name))
                (file.Hash ? Read : Unread)
                    .remove({family, file.Size, file.Hash.value_or(0)}, name);
        return true;
    }
};

TPictureFolder::TPictureFolder(QString path) : FPath(std::move(path)) {}
TPictureFolder::~TPictureFolder() = default;

TPictureFolder::TIndex& TPictureFolder::Index() const
{
    if (!FIndex) {
        FIndex = std::make_unique<TIndex>();
        const QDir folder(FPath);
        const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                           QDir::System | QDir::NoDotAndDotDot);
        FIndex->Files.reserve(entries.size());
        for (const QFileInfo& entry : entries)
            FIndex->Add(entry.fileName(), {entry.isFile() ? entry.size() : -1, std::nullopt});
    }
    return *FIndex;
}

void TPictureFolder::Added(const QString& name, qint64 size, const QByteArray* data) const
{
    std::optional<size_t> hash;
    if (data)
        hash = qHash(*data);
    Index().Add(name, {size, hash});
}

QString TPictureFolder::FreeName(const QString& name, int maxLength) const
{
    TIndex& index = Index();
    // A name taken by anything, a folder or a dangling link included, is not free; one
    // that another program took since the folder was listed is learnt here.
    const auto taken = [&](const QString& candidate) {
        if (index.Files.contains(candidate))
            return true;
        // The entry itself, not what a link points at: one look at the disk.
        struct stat entry {};
        if (::lstat(PathToNative(QDir(FPath).filePath(candidate)).constData(), &entry) != 0)
            return false;
        index.Add(candidate, {});
        return true;
    };
    QString candidate = Fit(name, maxLength);
    if (!taken(candidate))
        return candidate;
    // Every number below NEXT was found taken, so the search goes on from there.
    auto found = index.Next.find(std::pair(name, maxLength));
    if (found == index.Next.end())
        found = index.Next.insert(std::pair(name, maxLength), 1);
    int& next = found.value();
    for (;; ++next) {
        candidate = Fit(QString::number(next) + u'_' + name, maxLength);
        if (!taken(candidate))
            return candidate;
    }
}

namespace {

// Pictures larger than this are always copied, never compared.
constexpr qint64 SameFileLimit = 64 * 1024 * 1024;

QByteArray Content(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QString TPictureFolder::SameFile(const QString& name, const QByteArray& data) const
{
    // The same picture added again, or the same icon harvested again, would otherwise
    // leave one more copy under the next free name each time. Only the names it would
    // have been given are looked at, and only those of the same size and hash: each
    // file is read once for its hash however often the name comes back.
    TIndex& index = Index();
    const QString folder = FPath;
    const auto content = [&folder](const QString& file) {
        return Content(QDir(folder).filePath(file));
    };
    const QStringList unread = index.Unread.values({name, data.size(), 0});
    for (const QString& file : unread) {
        const QByteArray bytes = content(file);
        index.Add(file, {bytes.size(), qHash(bytes)});
    }
    const QStringList candidates = index.Read.values({name, data.size(), qHash(data)});
    for (const QString& file : candidates) {
        const QByteArray bytes = content(file);
        if (bytes == data)
            return file;
        index.Add(file, {bytes.size(), qHash(bytes)}); // changed since it was read
    }
    return QString();
}

void TPictureFolder::MakeFolder() const
{
    if (FFolderMade)
        return;
    if (!QDir().mkpath(FPath))
        throw EError(
            u"Не удалось создать папку для картинок %1"_s.arg(QDir::toNativeSeparators(FPath)));
    FFolderMade = true;
}

bool TPictureFolder::RemakeFolder() const
{
    if (QFileInfo(FPath).isDir())
        return false;
    FFolderMade = false;
    MakeFolder();
    return true;
}

QString TPictureFolder::Store(const QString& source, int maxLength) const
{
    const QFileInfo from(source);
    if (!from.isFile())
        throw EError(u"Не удалось скопировать картинку: файл %1 не найден"_s.arg(
            QDir::toNativeSeparators(source)));
    QByteArray content;
    bool compared = false;
    if (QFile in(source); from.size() <= SameFileLimit && in.open(QIODevice::ReadOnly)) {
        content = in.readAll();
        compared = content.size() == from.size();
        if (const QString same = SameFile(from.fileName(), content); !same.isEmpty())
            return same;
    }
    MakeFolder();
    // Between choosing a name and copying, another program may take it; the copy never
    // overwrites, so it then fails and the next free name is tried.
    QString lastError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString name = FreeName(from.fileName(), maxLength);
        QFile file(source);
        if (file.copy(QDir(FPath).filePath(name))) {
            Added(name, from.size(), compared ? &content : nullptr);
            return name;
        }
        lastError = file.errorString();
        if (!QFileInfo::exists(QDir(FPath).filePath(name)) && !RemakeFolder())
            break;
    }
    throw EError(u"Не удалось скопировать картинку %1 в папку %2: %3"_s.arg(
        QDir::toNativeSeparators(source), QDir::toNativeSeparators(FPath), lastError));
}

QString TPictureFolder::StoreData(const QString& name, const QByteArray& data, int maxLength) const
{
    if (const QString same = SameFile(name, data); !same.isEmpty())
        return same;
    MakeFolder();
    // As for a copy: a name another program takes meanwhile makes the next one tried.
    QString lastError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString stored = FreeName(name, maxLength);
        QFile file(QDir(FPath).filePath(stored));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(data) == data.size() && file.flush()) {
                file.close();
                Added(stored, data.size(), &data);
                return stored;
            }
            lastError = file.errorString();
            file.close();
            file.remove();
            break;
        }
        lastError = file.errorString();
        if (!QFileInfo::exists(file.fileName()) && !RemakeFolder())
            break;
    }
    throw EError(u"Не удалось записать картинку %1 в папку %2: %3"_s.arg(
        name, QDir::toNativeSeparators(FPath), lastError));
}

bool TPictureFolder::Remove(const QString& name) const
{
    if (!Holds(name) || !QFile::remove(FilePath(name)))
        return false;
    if (FIndex)
        FIndex->Remove(name);
    return true;
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
