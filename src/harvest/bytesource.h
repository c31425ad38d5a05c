#pragma once
// Random access to the bytes of an executable: a file read piece by piece, or bytes
// already in memory. The readers ask only for the pieces they need.

#include <QByteArray>
#include <QString>

#include <ctime>

class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Total size in bytes.
    virtual quint64 Size() const = 0;
    // LENGTH bytes from OFFSET into a new array; false when any of them lies outside
    // the source or cannot be read.
    virtual bool Read(quint64 offset, quint64 length, QByteArray& out) = 0;
    // False when the bytes may have changed since the source was opened, so that what
    // was read may mix two versions of them.
    virtual bool Unchanged() const { return true; }
};

// A regular file, opened at construction by any name, also one that is not valid
// UTF-8 (see PathFromNative); IsOpen() is false for a folder, a pipe, a missing file
// or one that cannot be opened. Reads go through a window of one page, so that the
// headers, the directory entries and a small version block that lie together cost one
// read from the system. The file is read, never mapped: one that shrinks while it is
// read makes a read fail, where a mapping would raise SIGBUS.
class TFileSource : public TByteSource {
public:
    explicit TFileSource(const QString& fileName);
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;

    bool IsOpen() const { return FHandle >= 0; }
    quint64 Size() const override { return FSize; }
    bool Read(quint64 offset, quint64 length, QByteArray& out) override;
    // False when the file's size or time stamps differ from those it had when it was
    // opened.
    bool Unchanged() const override;

private:
    static constexpr quint64 WindowSize = 4096;
    bool ReadRaw(quint64 offset, quint64 length, char* to);

    int FHandle = -1;
    quint64 FSize = 0;
    QByteArray FWindow;
    quint64 FWindowOffset = 0;
    timespec FModified{};
    timespec FChanged{};
};

// Bytes in memory.
class TMemorySource : public TByteSource {
public:
    explicit TMemorySource(QByteArray bytes) : FBytes(std::move(bytes)) {}
    quint64 Size() const override { return static_cast<quint64>(FBytes.size()); }
    bool Read(quint64 offset, quint64 length, QByteArray& out) override;

private:
    QByteArray FBytes;
};

// Little-endian words at P (no alignment needed).
inline quint16 LeU16(const char* p)
{
    return static_cast<quint16>(static_cast<quint8>(p[0]) | (static_cast<quint8>(p[1]) << 8));
}
inline quint32 LeU32(const char* p)
{
    return static_cast<quint32>(LeU16(p)) | (static_cast<quint32>(LeU16(p + 2)) << 16);
}
