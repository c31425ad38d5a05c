// tresmol-cli harvest CATALOGUE PATH... [--inside-archives] [--msi] [--skip-known] [--icons
// [--picture-folder DIR]]: the wizard's search over every folder given, then
// HarvestFile for each path in order, as "Сканировать" does. --inside-archives
// searches disc images and archives too, --msi finds Windows Installer packages and
// reads them (with --inside-archives, the programs inside them too), --skip-known leaves out the
// files the catalogue already holds, --icons stores each program's icon as its record's picture in
// the picture folder of the program installed beside tresmol-cli, or in DIR.

#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvest/knownfiles.h"
#include "harvest/memberreader.h"
#include "platform/apppaths.h"
#include "platform/nativepath.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/picturefolder.h"
#include "store/rows/dberrors.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

void Write(const QString& text)
{
    const QByteArray bytes = PathToNative(text);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// Progress on standard error: one line rewritten in place on a terminal, a line every
// thousand files otherwise.
class TProgress {
public:
    explicit TProgress(qsizetype total) : FTotal(total), FTty(::isatty(STDERR_FILENO) == 1)
    {
        FTimer.start();
    }
    void Step(qsizetype done, const QString& path)
    {
        if (FTty) {
            if (done != FTotal && FTimer.elapsed() - FLast < 100)
                return;
            FLast = FTimer.elapsed();
            QString name = path.section(u'/', -1);
            if (name.size() > 40)
                name = name.left(37) + u"..."_s;
            Write(u"\r\x1b[Kharvesting %1/%2 %3"_s.arg(done).arg(FTotal).arg(name));
            if (done == FTotal)
                Write(u"\n"_s);
        } else if (done % 1000 == 0 && done != FTotal) {
            Write(u"harvested %1 of %2\n"_s.arg(done).arg(FTotal));
        }
    }

private:
    qsizetype FTotal;
    bool FTty;
    QElapsedTimer FTimer;
    qint64 FLast = -1000;
};

// The picture folder by the bytes of its name. The picture folder names its files
// through Qt, which spells every name in UTF-8; a folder whose name is not UTF-8 is
// therefore created and opened here by its bytes and reached through this process's
// handle on it, so that the icons go into the very folder the user named.
class TNativeFolder {
public:
    explicit TNativeFolder(const QString& path) : FPath(path)
    {
        if (!PathHasEscapes(path))
            return;
        const QByteArray native = PathToNative(QDir::current().absoluteFilePath(path));
        for (qsizetype slash = native.indexOf('/', 1); slash != -1;
             slash = native.indexOf('/', slash + 1))
            ::mkdir(native.left(slash).constData(), 0777);
        ::mkdir(native.constData(), 0777);
        FHandle = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // A folder that cannot be had leaves the name as it is: storing an icon then
        // fails, and the record is saved without one, as for any other such folder.
        if (FHandle >= 0)
            FPath = u"/proc/self/fd/"_s + QString::number(FHandle);
    }
    ~TNativeFolder()
    {
        if (FHandle >= 0)
            ::close(FHandle);
    }
    TNativeFolder(const TNativeFolder&) = delete;
    TNativeFolder& operator=(const TNativeFolder&) = delete;

    const QString& Path() const { return FPath; }

private:
    QString FPath;
    int FHandle = -1;
};

} // namespace

int CmdHarvest(const QStringList& args)
{
    return RunCommand([&] {
        const QStringList flags = {u"--inside-archives"_s, u"--msi"_s, u"--skip-known"_s,
                                   u"--icons"_s};
        const TCliArgs a = ParseCliArgs(args, {u"--picture-folder"_s}, flags);
        if (a.Positional.size() < 2)
            return Fail(u"usage: tresmol-cli harvest CATALOGUE PATH... [--inside-archives] "
                        u"[--msi] [--skip-known] [--icons [--picture-folder DIR]]"_s);
        QStringList given = a.Positional;
        const bool inside = a.Options.contains(u"--inside-archives"_s);
        const bool packages = a.Options.contains(u"--msi"_s);
        const QString catalogue = given.takeFirst();
        // Every path must be there before anything is added: a typo is an error, not a
        // record, and an empty argument does not stand for the working folder.
        for (const QString& g : given) {
            if (g.isEmpty())
                throw EError(u"harvest: an empty path was given"_s);
            struct stat info {};
            if (::stat(PathToNative(g).constData(), &info) != 0)
                throw EError(u"harvest: "_s + g + u": "_s +
                             QString::fromLocal8Bit(std::strerror(errno)));
        }

        const std::unique_ptr<TDataModule1> opened = Catalogue::Open(catalogue, TBookFields::All);
        TDataModule1& dm = *opened;
        TDataSet& table = dm.BookTable;

        // The paths, as the wizard would list them: every folder searched in turn. Any
        // other path is harvested as given; one that vanished since it was checked
        // becomes a NO_INFO record, as a file that vanished from the wizard's list does.
        QElapsedTimer clock;
        clock.start();
        for (QString& g : given)
            if (!QDir::isAbsolutePath(g))
                g = QDir::currentPath() + u'/' + g;
        QStringList paths;
        Harvest::TSearchOptions search;
        search.InsideContainers = inside;
        search.Packages = packages;
        // A disc image or archive that cannot be read is passed over, never the run.
        int skippedContainers = 0;
        search.Problem = [&](const QString& path, const QString& why) {
            ++skippedContainers;
            Write(u"skipped %1: %2\n"_s.arg(path, why));
        };
        Harvest::CollectFiles(
            given, Harvest::ExeMask.toString(),
            [&](const QString& p) {
                paths << p;
                return true;
            },
            Harvest::TOtherPaths::Take, search);
        const qint64 searchMs = clock.elapsed();

        Harvest::TMemberReader members;
        std::unique_ptr<Harvest::TKnownFiles> known;
        if (a.Options.contains(u"--skip-known"_s))
            known = std::make_unique<Harvest::TKnownFiles>(table);
        // The program itself is "tresmol" beside tresmol-cli.
        const TNativeFolder folder(a.Options.value(
            u"--picture-folder"_s,
            AppPaths::PictureFolder(QCoreApplication::applicationDirPath() + u"/tresmol"_s)));
        const TPictureFolder pictures(folder.Path());
        Harvest::THarvestOptions options;
        options.Members = inside ? &members : nullptr;
        options.Known = known.get();
        options.Packages = packages;
        options.Icons = a.Options.contains(u"--icons"_s) ? &pictures : nullptr;

        Harvest::THarvestStats stats;
        TProgress progress(paths.size());
        clock.restart();
        try {
            for (qsizetype i = 0; i < paths.size(); ++i) {
                Harvest::HarvestFile(table, paths[i], options, &stats);
                progress.Step(i + 1, paths[i]);
            }
        } catch (const EError&) {
            // A lock or a full disk stops the run; what was posted before stays.
            Write(u"%1 of %2 files were saved before the error\n"_s.arg(stats.Files)
                      .arg(paths.size()));
            throw;
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double measured = double(stats.ReadNs + stats.StoreNs);
        const auto share = [&](qint64 part) {
            return measured > 0 ? QString::number(100.0 * double(part) / measured, 'f', 1)
                                : u"0.0"_s;
        };
        if (known)
            Write(u"%1 files already in the catalogue left out\n"_s.arg(stats.Skipped));
        if (skippedContainers > 0)
            Write(u"%1 disc images or archives skipped\n"_s.arg(skippedContainers));
        Write(u"%1 files harvested, %2 without version information, in %3 s (%4 files/s; "
              u"search %5 ms; reading %6%, storing %7%)\n"_s.arg(stats.Files)
                  .arg(stats.NoInfo)
                  .arg(seconds, 0, 'f', 3)
                  .arg(seconds > 0 ? qRound64(stats.Files / seconds) : 0)
                  .arg(searchMs)
                  .arg(share(stats.ReadNs), share(stats.StoreNs)));
        return 0;
    });
}
