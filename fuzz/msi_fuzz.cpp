// Fuzz entry point: any bytes as a Windows Installer package. Opening either fails with
// the reader's error or gives a package whose every query answers; the package read
// as an archive of the files it installs walks to its end, reading every member.

#include "harvest/archivestream.h"
#include "harvest/msipackage.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const Harvest::TMsiPackage package(bytes, Harvest::TMsiPackage::TRead::Contents);
        for (const QString& name : {u"ProductName"_s, u"Manufacturer"_s, u"ProductVersion"_s,
                                    u"ProductLanguage"_s, u"ARPCOMMENTS"_s})
            (void)package.Property(name);
        (void)package.InstalledPaths();
        for (const Harvest::TMsiPackage::TCabinet& cab : package.Cabinets()) {
            QByteArray stream;
            if (cab.Embedded)
                (void)package.ReadStream(cab.Name, Harvest::MaxMemberBytes, stream);
        }
    } catch (const Harvest::EPackageError&) {
        // Not a package: the harvest records it without information.
    }

    // The same bytes through the archive search's reading, with its budget.
    QByteArray image = bytes;
    if (!image.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return 0;
    const std::unique_ptr<Harvest::TArchiveStream> stream =
        Harvest::TArchiveStream::OpenMemory(image);
    Harvest::TInflateBudget budget;
    stream->SetBudget(&budget);
    while (stream->Next() == Harvest::TArchiveStream::TNext::Entry) {
        (void)stream->MemberPath();
        QByteArray member;
        if (stream->IsFile() && !stream->ReadData(Harvest::MaxMemberBytes, member))
            break;
    }
    return 0;
}
