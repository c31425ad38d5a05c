#include "harvest/harvestfile.h"

#include "harvest/nativepath.h"
#include "store/dataset.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

// A regular file mapped into memory, for the paths Qt cannot open by name.
class TMappedFile {
public:
    explicit TMappedFile(const QByteArray& nativePath)
    {
        const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            void* p = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                FData = p;
                FSize = size_t(info.st_size);
            }
        }
        ::close(fd);
    }
    ~TMappedFile()
    {
        if (FData)
            ::munmap(FData, FSize);
    }
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    bool IsOpen() const { return FData != nullptr; }
    QByteArray Bytes() const
    {
        return QByteArray::fromRawData(static_cast<const char*>(FData), qsizetype(FSize));
    }

private:
    void* FData = nullptr;
    size_t FSize = 0;
};

class TSpan {
public:
    explicit TSpan(qint64* sum) : FSum(sum)
    {
        if (FSum)
            FTimer.start();
    }
    ~TSpan()
    {
        if (FSum)
            *FSum += FTimer.nsecsElapsed();
    }

private:
    qint64* FSum;
    QElapsedTimer FTimer;
};

} // namespace

std::unique_ptr<TVerInfoRes> ReadVerInfo(const QString& path)
{
    if (!PathHasEscapes(path))
        return std::make_unique<TVerInfoRes>(path);
    // The reader opens files through Qt, which writes names as UTF-8; a name that is
    // not is opened here and read from memory.
    TMappedFile file(PathToNative(path));
    if (!file.IsOpen())
        throw ENoVerInfoError();
    return std::make_unique<TVerInfoRes>(file.Bytes(), path);
}

void HarvestFile(TDataSet& table, const QString& path, THarvestStats* stats)
{
    TField* fileName;
    TField* columns[VersionColumnCount];
    {
        TSpan span(stats ? &stats->StoreNs : nullptr);
        // Leaving the current record the ordinary way keeps what the user typed into it.
        table.CheckBrowseMode();
        table.Insert();
        fileName = table.FieldByName(u"FileName"_s);
        for (int i = 0; i < VersionColumnCount; ++i)
            columns[i] = table.FieldByName(VersionColumns[i].toString());
    }
    // Only the reading may fail quietly; an error of the catalogue while the values
    // are written is the user's to see.
    TVersionValues values;
    bool haveInfo = true;
    {
        TSpan span(stats ? &stats->ReadNs : nullptr);
        try {
            values = VersionValues(*ReadVerInfo(path));
        } catch (const std::exception&) {
            haveInfo = false;
            values = NoVersionValues();
        }
    }
    {
        TSpan span(stats ? &stats->StoreNs : nullptr);
        fileName->SetAsString(path);
        for (int i = 0; i < VersionColumnCount; ++i)
            columns[i]->SetAsString(values[i].Value);
        if (!haveInfo && stats)
            ++stats->NoInfo;
    }
    TSpan span(stats ? &stats->StoreNs : nullptr);
    table.Post();
    if (stats)
        ++stats->Files;
}

} // namespace Harvest
