#include "harvest/bytesource.h"

#include <QFileInfo>

TFileSource::TFileSource(const QString& fileName) : FFile(fileName)
{
    // Regular files only: a folder has no bytes for us, and opening a named pipe
    // would wait for a writer that never comes.
    const QFileInfo info(fileName);
    if (!info.isFile())
        return;
    FOpen = FFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (FOpen)
        FSize = static_cast<quint64>(qMax<qint64>(0, FFile.size()));
}

bool TFileSource::Read(quint64 offset, quint64 length, QByteArray& out)
{
    if (!FOpen || offset > FSize || length > FSize - offset)
        return false;
    out.resize(static_cast<qsizetype>(length));
    if (length == 0)
        return true;
    if (!FFile.seek(static_cast<qint64>(offset)))
        return false;
    return FFile.read(out.data(), static_cast<qint64>(length)) == static_cast<qint64>(length);
}

bool TMemorySource::Read(quint64 offset, quint64 length, QByteArray& out)
{
    if (offset > Size() || length > Size() - offset)
        return false;
    out = FBytes.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
    return true;
}
