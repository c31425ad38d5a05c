#include "export/zipwriter.h"

#include <QDateTime>

#include <zlib.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace {

constexpr uint32_t LocalSignature = 0x04034b50;
constexpr uint32_t CentralSignature = 0x02014b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint32_t Zip64EndSignature = 0x06064b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr uint16_t Zip64ExtraId = 0x0001;
// An extra field that readers skip: it keeps a streamed entry's local header the size
// it would have with the ZIP64 field, so that field can take its place afterwards.
constexpr uint16_t PaddingExtraId = 0x5054;
constexpr uint16_t Zip64ExtraSize = 16; // both sizes, in a local header
constexpr uint16_t Deflated = 8;
constexpr uint16_t Version20 = 20, Version45 = 45;
constexpr uint32_t Max32 = 0xFFFFFFFFu;
// How many filled buffers may wait for the helper before the producer waits too.
constexpr size_t MaxQueued = 2;

void Put16(QByteArray& b, uint16_t v)
{
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    b.append(bytes, 2);
}
void Put32(QByteArray& b, uint32_t v)
{
    Put16(b, uint16_t(v & 0xFFFF));
    Put16(b, uint16_t(v >> 16));
}
void Put64(QByteArray& b, uint64_t v)
{
    Put32(b, uint32_t(v & Max32));
    Put32(b, uint32_t(v >> 32));
}

[[noreturn]] void ThrowErrno(int err) { throw std::system_error(err, std::generic_category()); }

// Writes all of DATA to FD at its offset; 0, or the errno of the failed write.
int WriteFully(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno ? errno : EIO;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= size_t(n);
    }
    return 0;
}

struct TDeflater {
    z_stream Z{};
    explicit TDeflater(int level)
    {
        // Raw deflate: the archive carries its own sizes and checksum.
        if (deflateInit2(&Z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            ThrowErrno(ENOMEM);
    }
    ~TDeflater() { deflateEnd(&Z); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
};

} // namespace

// Deflates the handed buffers on its own thread and writes the result to the file;
// the checksum is taken there too, so the producer does nothing but fill buffers.
class TZipWriter::TCompressor {
public:
    TCompressor(int fd, int level) : FFd(fd), FDeflater(level), FOut(256 * 1024, '\0')
    {
        FThread = std::thread([this] { Run(); });
    }
    ~TCompressor()
    {
        if (FThread.joinable()) {
            {
                std::lock_guard lock(FMutex);
                FClosing = true;
            }
            FWake.notify_all();
            FThread.join();
        }
    }

    // Queues FULL and returns an empty buffer; the errno of a failed write, if any, in
    // ERR.
    std::unique_ptr<TBuffer> Hand(std::unique_ptr<TBuffer> full, int& err)
    {
        std::unique_lock lock(FMutex);
        FRoom.wait(lock, [this] { return FQueue.size() < MaxQueued || FError; });
        err = FError;
        if (err)
            return full;
        FQueue.push_back(std::move(full));
        FWake.notify_one();
        if (FFree.empty())
            return std::make_unique<TBuffer>();
        auto b = std::move(FFree.back());
        FFree.pop_back();
        return b;
    }

    // Waits for the queue to drain and the stream to end; 0 or the errno.
    int Close()
    {
        {
            std::lock_guard lock(FMutex);
            FClosing = true;
        }
        FWake.notify_all();
        FThread.join();
        return FError;
    }

    uint32_t Crc() const { return FCrc; }
    uint64_t In() const { return FIn; }
    uint64_t Out() const { return FOutTotal; }

private:
    void Run()
    {
        for (;;) {
            std::unique_ptr<TBuffer> buf;
            {
                std::unique_lock lock(FMutex);
                FWake.wait(lock, [this] { return !FQueue.empty() || FClosing; });
                if (FQueue.empty())
                    break;
                buf = std::move(FQueue.front());
                FQueue.pop_front();
            }
            if (!FError)
                Deflate(buf->Data.get(), buf->Size, Z_NO_FLUSH);
            buf->Size = 0;
            {
                std::lock_guard lock(FMutex);
                FFree.push_back(std::move(buf));
            }
            FRoom.notify_one();
        }
        if (!FError)
            Deflate(nullptr, 0, Z_FINISH);
        FRoom.notify_all();
    }

    void Deflate(const char* data, size_t size, int flush)
    {
        if (size > 0)
            FCrc = uint32_t(crc32_z(FCrc, reinterpret_cast<const Bytef*>(data), size));
        FIn += size;
        z_stream& z = FDeflater.Z;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = uInt(size);
        for (;;) {
            z.next_out = reinterpret_cast<Bytef*>(FOut.data());
            z.avail_out = uInt(FOut.size());
            const int rc = deflate(&z, flush);
            const size_t produced = FOut.size() - z.avail_out;
            if (produced > 0) {
                if (const int err = WriteFully(FFd, FOut.data(), produced)) {
                    std::lock_guard lock(FMutex);
                    FError = err;
                    return;
                }
                FOutTotal += produced;
            }
            if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0)
                return;
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                std::lock_guard lock(FMutex);
                FError = EIO;
                return;
            }
        }
    }

    int FFd;
    TDeflater FDeflater;
    std::string FOut;
    uint32_t FCrc = 0;
    uint64_t FIn = 0, FOutTotal = 0;

    std::mutex FMutex;
    std::condition_variable FWake, FRoom;
    std::deque<std::unique_ptr<TBuffer>> FQueue;
    std::vector<std::unique_ptr<TBuffer>> FFree;
    bool FClosing = false;
    int FError = 0;
    std::thread FThread;
};

TZipWriter::TZipWriter(int fd, int level) : FFd(fd), FLevel(level)
{
    // Every entry bears the time the archive was begun, in the format's local time.
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    FDate = uint16_t(((std::max(d.year(), 1980) - 1980) << 9) | (d.month() << 5) | d.day());
    FTime = uint16_t((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
}

TZipWriter::~TZipWriter() = default;

void TZipWriter::WriteAll(const char* data, size_t size)
{
    if (const int err = WriteFully(FFd, data, size))
        ThrowErrno(err);
    FOffset += size;
}

void TZipWriter::WriteAt(uint64_t offset, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::pwrite(FFd, p, left, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ThrowErrno(n < 0 ? errno : EIO);
        p += n;
        left -= size_t(n);
        offset += uint64_t(n);
    }
}

bool TZipWriter::NeedsZip64(const TEntry& e) const
{
    return e.Compressed >= FZip64Threshold || e.Uncompressed >= FZip64Threshold;
}

// A local header; RESERVE leaves room for the ZIP64 sizes in an extra field.
QByteArray TZipWriter::LocalHeader(const TEntry& e, bool zip64, bool reserve) const
{
    QByteArray h;
    Put32(h, LocalSignature);
    Put16(h, zip64 ? Version45 : Version20);
    Put16(h, 0); // flags
    Put16(h, Deflated);
    Put16(h, e.Time);
    Put16(h, e.Date);
    Put32(h, e.Crc);
    Put32(h, zip64 ? Max32 : uint32_t(e.Compressed));
    Put32(h, zip64 ? Max32 : uint32_t(e.Uncompressed));
    Put16(h, uint16_t(e.Name.size()));
    Put16(h, zip64 || reserve ? 4 + Zip64ExtraSize : 0);
    h.append(e.Name);
    if (zip64) {
        Put16(h, Zip64ExtraId);
        Put16(h, Zip64ExtraSize);
        Put64(h, e.Uncompressed);
        Put64(h, e.Compressed);
    } else if (reserve) {
        Put16(h, PaddingExtraId);
        Put16(h, Zip64ExtraSize);
        h.append(Zip64ExtraSize, '\0');
    }
    return h;
}

void TZipWriter::AddFile(const QByteArray& name, const QByteArray& data)
{
    TEntry e;
    e.Name = name;
    e.Time = FTime;
    e.Date = FDate;
    e.Offset = FOffset;
    e.Uncompressed = uint64_t(data.size());
    e.Crc = uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), size_t(data.size())));
    TDeflater d(FLevel);
    std::string out(deflateBound(&d.Z, uLong(data.size())), '\0');
    d.Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    d.Z.avail_in = uInt(data.size());
    d.Z.next_out = reinterpret_cast<Bytef*>(out.data());
    d.Z.avail_out = uInt(out.size());
    if (deflate(&d.Z, Z_FINISH) != Z_STREAM_END)
        ThrowErrno(EIO);
    out.resize(out.size() - d.Z.avail_out);
    e.Compressed = out.size();
    const QByteArray header = LocalHeader(e, NeedsZip64(e), false);
    WriteAll(header.constData(), size_t(header.size()));
    WriteAll(out.data(), out.size());
    FEntries.push_back(e);
}

void TZipWriter::BeginEntry(const QByteArray& name)
{
    TEntry e;
    e.Name = name;
    e.Time = FTime;
    e.Date = FDate;
    e.Offset = FOffset;
    const QByteArray header = LocalHeader(e, false, true);
    WriteAll(header.constData(), size_t(header.size()));
    FEntries.push_back(e);
    FCompressor = std::make_unique<TCompressor>(FFd, FLevel);
    FFilling = std::make_unique<TBuffer>();
}

void TZipWriter::Hand()
{
    int err = 0;
    FFilling = FCompressor->Hand(std::move(FFilling), err);
    if (err)
        ThrowErrno(err);
}

void TZipWriter::EndEntry()
{
    if (FFilling->Size > 0)
        Hand();
    const int err = FCompressor->Close();
    if (err)
        ThrowErrno(err);
    TEntry& e = FEntries.back();
    e.Crc = FCompressor->Crc();
    e.Uncompressed = FCompressor->In();
    e.Compressed = FCompressor->Out();
    FCompressor.reset();
    FFilling.reset();
    FOffset += e.Compressed;
    // The header, now that its checksum and sizes are known, in the space kept for it.
    WriteAt(e.Offset, LocalHeader(e, NeedsZip64(e), true));
}

void TZipWriter::Finish()
{
    const uint64_t start = FOffset;
    bool anyZip64 = false;
    QByteArray dir;
    for (const TEntry& e : FEntries) {
        const bool bigU = e.Uncompressed >= FZip64Threshold;
        const bool bigC = e.Compressed >= FZip64Threshold;
        const bool bigO = e.Offset >= FZip64Threshold;
        QByteArray extra;
        if (bigU)
            Put64(extra, e.Uncompressed);
        if (bigC)
            Put64(extra, e.Compressed);
        if (bigO)
            Put64(extra, e.Offset);
        const bool zip64 = !extra.isEmpty();
        anyZip64 = anyZip64 || zip64;
        Put32(dir, CentralSignature);
        Put16(dir, (3 << 8) | (zip64 ? Version45 : Version20)); // made on Unix
        Put16(dir, zip64 ? Version45 : Version20);
        Put16(dir, 0);
        Put16(dir, Deflated);
        Put16(dir, e.Time);
        Put16(dir, e.Date);
        Put32(dir, e.Crc);
        Put32(dir, bigC ? Max32 : uint32_t(e.Compressed));
        Put32(dir, bigU ? Max32 : uint32_t(e.Uncompressed));
        Put16(dir, uint16_t(e.Name.size()));
        Put16(dir, uint16_t(zip64 ? 4 + extra.size() : 0));
        Put16(dir, 0);          // comment
        Put16(dir, 0);          // disk
        Put16(dir, 0);          // internal attributes
        Put32(dir, 0644 << 16); // a plain file, rw-r--r--
        Put32(dir, bigO ? Max32 : uint32_t(e.Offset));
        dir.append(e.Name);
        if (zip64) {
            Put16(dir, Zip64ExtraId);
            Put16(dir, uint16_t(extra.size()));
            dir.append(extra);
        }
    }
    const uint64_t count = FEntries.size();
    const uint64_t size = uint64_t(dir.size());
    const bool bigStart = start >= FZip64Threshold;
    QByteArray end;
    if (anyZip64 || bigStart) {
        const uint64_t zip64End = start + size;
        Put32(end, Zip64EndSignature);
        Put64(end, 44);
        Put16(end, (3 << 8) | Version45);
        Put16(end, Version45);
        Put32(end, 0);
        Put32(end, 0);
        Put64(end, count);
        Put64(end, count);
        Put64(end, size);
        Put64(end, start);
        Put32(end, Zip64LocatorSignature);
        Put32(end, 0);
        Put64(end, zip64End);
        Put32(end, 1);
    }
    Put32(end, EndSignature);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, uint16_t(count));
    Put16(end, uint16_t(count));
    Put32(end, uint32_t(size));
    Put32(end, bigStart ? Max32 : uint32_t(start));
    Put16(end, 0);
    dir.append(end);
    WriteAll(dir.constData(), size_t(dir.size()));
}
