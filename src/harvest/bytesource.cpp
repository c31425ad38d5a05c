#include "harvest/bytesource.h"

#include "platform/nativepath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileSource::TFileSource(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    // Opened without waiting, so that a named pipe cannot hold us up; only a
    // regular file is kept. A name that is not valid UTF-8 opens by its own bytes.
    const QByteArray path = PathToNative(fileName);
    FHandle = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (FHandle < 0)
        return;
    struct stat info {};
    if (::fstat(FHandle, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(FHandle);
        FHandle = -1;
        return;
    }
    FSize = static_cast<quint64>(info.st_size);
    FModified = info.st_mtim;
    FChanged = info.st_ctim;
}

bool TFileSource::Unchanged() const
{
    struct stat info {};
    return FHandle >= 0 && ::fstat(FHandle, &info) == 0 &&
           static_cast<quint64>(info.st_size) == FSize && info.st_mtim.tv_sec == FModified.tv_sec &&
           info.st_mtim.tv_nsec == FModified.tv_nsec && info.st_ctim.tv_sec == FChanged.tv_sec &&
           info.st_ctim.tv_nsec == FChanged.tv_nsec;
}

TFileSource::~TFileSource()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

bool TFileSource::ReadRaw(quint64 offset, quint64 length, char* to)
{
    while (length > 0) {
        const ssize_t n =
            ::pread(FHandle, to, static_cast<size_t>(length), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        offset += static_cast<quint64>(n);
        length -= static_cast<quint64>(n);
    }
    return true;
}

bool TFileSource::Read(quint64 offset, quint64 length, QByteArray& out)
{
    if (FHandle < 0 || offset > FSize || length > FSize - offset)
        return false;
    const quint64 windowEnd = FWindowOffset + static_cast<quint64>(FWindow.size());
    if (offset < FWindowOffset || offset + length > windowEnd) {
        if (length > WindowSize) {
            out.resize(static_cast<qsizetype>(length));
            return ReadRaw(offset, length, out.data());
        }
        // A new window: the page that holds OFFSET, or the last page of the file
        // when the piece runs over the page's end.
        quint64 start = offset & ~(WindowSize - 1);
        if (offset + length > start + WindowSize)
            start = offset;
        const quint64 size = qMin(WindowSize, FSize - start);
        FWindow.resize(static_cast<qsizetype>(size));
        if (!ReadRaw(start, size, FWindow.data())) {
            FWindow.clear();
            return false;
        }
        FWindowOffset = start;
    }
    out =
        FWindow.mid(static_cast<qsizetype>(offset - FWindowOffset), static_cast<qsizetype>(length));
    return true;
}

bool TMemorySource::Read(quint64 offset, quint64 length, QByteArray& out)
{
    if (offset > Size() || length > Size() - offset)
        return false;
    out = FBytes.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
    return true;
}
