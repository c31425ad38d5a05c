#include "harvest/filesearch.h"

#include "harvest/archivesearch.h"
#include "harvest/archivestream.h"
#include "harvest/msipackage.h"
#include "platform/nativepath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <set>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

QChar Fold(QChar c) { return c.toCaseFolded(); }

// A set at MASK[i] (just after '['): does C belong to it? END receives the index
// after the closing ']'; false from the function with END = -1 when there is none.
bool InSet(const QString& mask, qsizetype i, QChar c, qsizetype& end)
{
    bool negate = false;
    if (i < mask.size() && mask[i] == u'!') {
        negate = true;
        ++i;
    }
    bool hit = false;
    bool first = true;
    const QChar fc = Fold(c);
    while (i < mask.size() && (first || mask[i] != u']')) {
        first = false;
        QChar lo = Fold(mask[i]);
        QChar hi = lo;
        if (i + 2 < mask.size() && mask[i + 1] == u'-' && mask[i + 2] != u']') {
            hi = Fold(mask[i + 2]);
            i += 3;
        } else {
            ++i;
        }
        if (fc >= lo && fc <= hi)
            hit = true;
    }
    if (i >= mask.size()) {
        end = -1;
        return false;
    }
    end = i + 1;
    return hit != negate;
}

struct TEntry {
    QByteArray Name;
    unsigned char Type;
};

class TSearch {
public:
    TSearch(const QString& mask, const TFoundFile& found, const TSearchOptions& options)
        : FMask(mask), FFound(found), FOptions(options)
    {
    }

    bool Folder(const QString& folder)
    {
        const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
        const QByteArray nativeBase = PathToNative(base);
        std::vector<TEntry> entries;
        if (!List(nativeBase, entries))
            return true;
        for (const TEntry& e : entries) {
            if (e.Name == "." || e.Name == "..")
                continue;
            const QString name = PathFromNative(e.Name);
            const QString path = base + name;
            const bool folder = IsFolder(e, nativeBase);
            if (folder && !Folder(path))
                return false;
            const bool package = FOptions.Packages && IsPackageName(name);
            if (MatchesMask(name, FMask) || package) {
                if (!FFound(path))
                    return false;
                if (!package)
                    continue;
            }
            if (FOptions.InsideContainers && !folder && IsContainerName(name) &&
                (FOptions.Packages || !IsPackageName(name)) &&
                !SearchContainer(path, FMask, FFound, FOptions)) {
                return false;
            }
        }
        return true;
    }

private:
    // The entries of the folder at BASE, each real folder once; false when it cannot
    // be listed or was listed before. The listing is read whole and closed before any
    // subfolder is opened, so deep trees do not run out of descriptors.
    bool List(const QByteArray& base, std::vector<TEntry>& entries)
    {
        DIR* dir = ::opendir(base.constData());
        if (!dir)
            return false;
        struct stat info {};
        if (::fstat(::dirfd(dir), &info) != 0 || !FSeen.insert({info.st_dev, info.st_ino}).second) {
            ::closedir(dir);
            return false;
        }
        while (const dirent* d = ::readdir(dir))
            entries.push_back({QByteArray(d->d_name), d->d_type});
        ::closedir(dir);
        return true;
    }

    static bool IsFolder(const TEntry& e, const QByteArray& nativeBase)
    {
        if (e.Type == DT_DIR)
            return true;
        if (e.Type != DT_LNK && e.Type != DT_UNKNOWN)
            return false;
        struct stat info {};
        const QByteArray path = nativeBase + e.Name;
        return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    const QString FMask;
    const TFoundFile& FFound;
    const TSearchOptions& FOptions;
    std::set<std::pair<dev_t, ino_t>> FSeen;
};

} // namespace

bool MatchesMask(const QString& name, const QString& mask)
{
    // Greedy match with one backtrack point: the last '*' seen.
    qsizetype n = 0, m = 0;
    qsizetype starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size()) {
            const QChar mc = mask[m];
            if (mc == u'*') {
                starM = ++m;
                starN = n;
                continue;
            }
            if (mc == u'?') {
                ++m;
                ++n;
                continue;
            }
            if (mc == u'[') {
                qsizetype end = 0;
                if (InSet(mask, m + 1, name[n], end)) {
                    m = end;
                    ++n;
                    continue;
                }
                if (end < 0 && Fold(name[n]) == u'[') { // no closing ']': a plain '['
                    ++m;
                    ++n;
                    continue;
                }
            } else if (Fold(mc) == Fold(name[n])) {
                ++m;
                ++n;
                continue;
            }
        }
        if (starM < 0)
            return false;
        m = starM;
        n = ++starN;
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

bool SearchFiles(const QString& folder, const QString& mask, const TFoundFile& found)
{
    return SearchFiles(folder, mask, found, TSearchOptions());
}

bool SearchFiles(const QString& folder, const QString& mask, const TFoundFile& found,
                 const TSearchOptions& options)
{
    TSearch search(mask, found, options);
    return search.Folder(folder);
}

bool CollectFiles(const QStringList& paths, const QString& mask, const TFoundFile& found,
                  TOtherPaths others)
{
    return CollectFiles(paths, mask, found, others, TSearchOptions());
}

bool CollectFiles(const QStringList& paths, const QString& mask, const TFoundFile& found,
                  TOtherPaths others, const TSearchOptions& options)
{
    for (const QString& path : paths) {
        struct stat info {};
        const bool folder =
            ::stat(PathToNative(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
        if (folder) {
            if (!SearchFiles(path, mask, found, options))
                return false;
            continue;
        }
        const QString name = path.section(u'/', -1);
        const bool package = options.Packages && IsPackageName(name);
        if (options.InsideContainers && IsContainerName(name) &&
            (options.Packages || !IsPackageName(name)) &&
            ::stat(PathToNative(path).constData(), &info) == 0) {
            // A package given by name is harvested itself as well as searched.
            if (package && others == TOtherPaths::Take && !found(path))
                return false;
            if (!SearchContainer(path, mask, found, options))
                return false;
        } else if (others == TOtherPaths::Take && !found(path)) {
            return false;
        }
    }
    return true;
}

} // namespace Harvest
