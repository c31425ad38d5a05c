#include "harvest/peimage.h"

#include <QHash>
#include <QList>

#include <unordered_map>

namespace {

// MS-DOS header: "MZ", and at 0x3C the file offset of the new header.
constexpr quint64 DosHeaderSize = 0x40;
constexpr quint64 DosNewHeaderField = 0x3C;

// PE: "PE\0\0", then the 20-byte file header, then the optional header.
constexpr quint64 PeFileHeaderSize = 20;
constexpr quint16 PeMagic32 = 0x10B;
constexpr quint16 PeMagic64 = 0x20B;
constexpr quint64 PeSectionHeaderSize = 40;
constexpr quint32 PeResourceDirectoryIndex = 2;
constexpr quint32 PeMinFileAlignment = 0x200;

// Resource directory: a 16-byte header whose last two words count the named and
// the numbered entries, then the entries, 8 bytes each.
constexpr quint64 ResDirHeaderSize = 16;
constexpr quint64 ResDirEntrySize = 8;
constexpr quint32 ResHighBit = 0x80000000u;
constexpr quint64 ResDataEntrySize = 16;

constexpr quint16 LangNeutral = 0x0000;
constexpr quint16 LangUsEnglish = 0x0409;

// NE: at 0x24 of the NE header the offset of the resource table, at 0x26 that of
// the resident-name table that follows it, both from the start of the NE header.
constexpr quint64 NeHeaderSize = 0x40;
constexpr quint16 NeIntegerId = 0x8000;
constexpr quint64 NeTypeInfoSize = 8;
constexpr quint64 NeNameInfoSize = 12;
constexpr quint32 NeMaxAlignShift = 24;

struct TSection {
    quint32 VirtualAddress;
    quint32 RawSize;
    quint32 RawOffset;
};

class TPeImage {
public:
    TPeImage(TByteSource& source, quint64 peOffset) : FSource(source), FPeOffset(peOffset) {}
    std::optional<TVersionResource> Find(quint16 userLangId);
    bool LoadHeaders();
    std::optional<TResourceData> Resource(quint16 type, std::optional<quint16> name,
                                          const QList<quint16>& languages, quint16* chosenLang);

private:
    // A data entry as the directory gives it: nothing checked yet.
    struct TDataEntry {
        quint32 Rva;
        quint32 Size;
    };
    std::optional<TDataEntry> DataEntry(quint16 type, std::optional<quint16> name,
                                        const QList<quint16>& languages, quint16* chosenLang);
    // Where ENTRY's data starts in the file, when all of it lies there.
    std::optional<quint64> InFile(const TDataEntry& entry) const;
    // File offset of the LENGTH bytes at RVA, when they all lie in the file.
    std::optional<quint64> RvaToOffset(quint64 rva, quint64 length) const;
    bool ReadRva(quint64 rva, quint64 length, QByteArray& out);
    struct TEntry {
        quint32 Name;
        quint32 Target;
    };
    struct TDirectory {
        QList<TEntry> Entries; // the named ones first, then the numbered ones
        qsizetype Named = 0;
        QHash<quint32, qsizetype> ById; // the first numbered entry of each id
    };
    // The directory at OFFSET within the resource section; null when it cannot be
    // read. Each directory is read once per image: a group of icons asks the same
    // directories once for every image it lists.
    const TDirectory* ReadDirectory(quint32 offset);
    std::optional<quint32> SubdirectoryById(quint32 dirOffset, quint16 id);

    TByteSource& FSource;
    quint64 FPeOffset;
    quint32 FSizeOfHeaders = 0;
    quint32 FResourceRva = 0;
    QList<TSection> FSections;
    std::unordered_map<quint32, std::optional<TDirectory>> FDirectories;
};

bool TPeImage::LoadHeaders()
{
    QByteArray fileHeader;
    if (!FSource.Read(FPeOffset + 4, PeFileHeaderSize, fileHeader))
        return false;
    const quint16 sectionCount = LeU16(fileHeader.constData() + 2);
    const quint16 optionalSize = LeU16(fileHeader.constData() + 16);
    const quint64 optionalOffset = FPeOffset + 4 + PeFileHeaderSize;

    QByteArray optional;
    if (optionalSize < 2 || !FSource.Read(optionalOffset, optionalSize, optional))
        return false;
    const char* opt = optional.constData();
    const quint16 magic = LeU16(opt);
    quint64 countField = 0;
    if (magic == PeMagic32)
        countField = 92;
    else if (magic == PeMagic64)
        countField = 108;
    else
        return false;
    const quint64 directories = countField + 4;
    const quint64 resourceEntry = directories + PeResourceDirectoryIndex * 8;
    if (optionalSize < resourceEntry + 8)
        return false;
    if (LeU32(opt + countField) <= PeResourceDirectoryIndex)
        return false;
    FSizeOfHeaders = LeU32(opt + 60);
    const quint32 fileAlignment = LeU32(opt + 36);
    FResourceRva = LeU32(opt + resourceEntry);
    if (FResourceRva == 0)
        return false;

    QByteArray table;
    if (!FSource.Read(optionalOffset + optionalSize, sectionCount * PeSectionHeaderSize, table))
        return false;
    FSections.reserve(sectionCount);
    for (quint16 i = 0; i < sectionCount; ++i) {
        const char* s = table.constData() + i * PeSectionHeaderSize;
        quint32 rawOffset = LeU32(s + 20);
        // The loader takes a section's file position down to a multiple of 512
        // whenever the file alignment is at least that.
        if (fileAlignment >= PeMinFileAlignment)
            rawOffset &= ~(PeMinFileAlignment - 1);
        FSections.append({LeU32(s + 12), LeU32(s + 16), rawOffset});
    }
    return true;
}

std::optional<quint64> TPeImage::RvaToOffset(quint64 rva, quint64 length) const
{
    for (const TSection& s : FSections) {
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress <= s.RawSize &&
            length <= s.RawSize - (rva - s.VirtualAddress))
            return s.RawOffset + (rva - s.VirtualAddress);
    }
    // The headers are mapped where they lie in the file.
    if (rva <= FSizeOfHeaders && length <= FSizeOfHeaders - rva)
        return rva;
    return std::nullopt;
}

bool TPeImage::ReadRva(quint64 rva, quint64 length, QByteArray& out)
{
    const std::optional<quint64> offset = RvaToOffset(rva, length);
    return offset && FSource.Read(*offset, length, out);
}

const TPeImage::TDirectory* TPeImage::ReadDirectory(quint32 offset)
{
    const auto cached = FDirectories.find(offset);
    if (cached != FDirectories.end())
        return cached->second ? &*cached->second : nullptr;
    std::optional<TDirectory>& slot = FDirectories[offset];
    const quint64 rva = static_cast<quint64>(FResourceRva) + offset;
    QByteArray header;
    if (!ReadRva(rva, ResDirHeaderSize, header))
        return nullptr;
    const quint16 named = LeU16(header.constData() + 12);
    const quint16 numbered = LeU16(header.constData() + 14);
    const quint64 count = static_cast<quint64>(named) + numbered;
    QByteArray raw;
    if (!ReadRva(rva + ResDirHeaderSize, count * ResDirEntrySize, raw))
        return nullptr;
    TDirectory directory;
    directory.Entries.reserve(static_cast<qsizetype>(count));
    for (quint64 i = 0; i < count; ++i) {
        const char* e = raw.constData() + i * ResDirEntrySize;
        directory.Entries.append({LeU32(e), LeU32(e + 4)});
        if (i >= named)
            if (!directory.ById.contains(LeU32(e)))
                directory.ById.insert(LeU32(e), qsizetype(i));
    }
    directory.Named = named;
    slot = std::move(directory);
    return &*slot;
}

std::optional<quint32> TPeImage::SubdirectoryById(quint32 dirOffset, quint16 id)
{
    const TDirectory* directory = ReadDirectory(dirOffset);
    if (!directory)
        return std::nullopt;
    // Numbered entries follow the named ones; a name never matches a number.
    const auto found = directory->ById.constFind(id);
    if (found == directory->ById.constEnd())
        return std::nullopt;
    const TEntry& e = directory->Entries.at(*found);
    if (!(e.Target & ResHighBit))
        return std::nullopt;
    return e.Target & ~ResHighBit;
}

std::optional<TVersionResource> TPeImage::Find(quint16 userLangId)
{
    if (!LoadHeaders())
        return std::nullopt;
    const auto entry = DataEntry(ResourceTypeVersion, ResourceNameVersion,
                                 {LangNeutral, userLangId, LangUsEnglish}, nullptr);
    if (!entry)
        return std::nullopt;
    TVersionResource found;
    found.Size = entry->Size;
    if (static_cast<qint32>(entry->Size) > 0) {
        const std::optional<quint64> offset = InFile(*entry);
        if (!offset)
            return std::nullopt;
        found.Offset = *offset;
    }
    return found;
}

std::optional<TPeImage::TDataEntry> TPeImage::DataEntry(quint16 type, std::optional<quint16> name,
                                                        const QList<quint16>& languages,
                                                        quint16* chosenLang)
{
    // Three levels, walked downwards along one path: type, name, language. The walk
    // never goes deeper, so a directory that points back at itself ends it too.
    const auto names = SubdirectoryById(0, type);
    if (!names)
        return std::nullopt;
    std::optional<quint32> langDir;
    if (name) {
        langDir = SubdirectoryById(*names, *name);
    } else {
        // The first name the directory lists, named or numbered: the one Windows
        // shows for the file.
        const TDirectory* directory = ReadDirectory(*names);
        if (directory && !directory->Entries.isEmpty() &&
            (directory->Entries.first().Target & ResHighBit))
            langDir = directory->Entries.first().Target & ~ResHighBit;
    }
    if (!langDir)
        return std::nullopt;
    const TDirectory* directory = ReadDirectory(*langDir);
    if (!directory || directory->Entries.isEmpty())
        return std::nullopt;
    const QList<TEntry>* entries = &directory->Entries;
    const qsizetype named = directory->Named;

    const TEntry* chosen = nullptr;
    for (const quint16 wanted : languages) {
        for (qsizetype i = named; i < entries->size() && !chosen; ++i) {
            if (entries->at(i).Name == wanted)
                chosen = &entries->at(i);
        }
        if (chosen)
            break;
    }
    if (!chosen)
        chosen = &entries->at(named < entries->size() ? named : 0);
    if (chosen->Target & ResHighBit)
        return std::nullopt; // a directory where the data should be

    QByteArray data;
    if (!ReadRva(static_cast<quint64>(FResourceRva) + chosen->Target, ResDataEntrySize, data))
        return std::nullopt;
    if (chosenLang)
        *chosenLang = static_cast<quint16>(chosen->Name);
    return TDataEntry{LeU32(data.constData()), LeU32(data.constData() + 4)};
}

std::optional<quint64> TPeImage::InFile(const TDataEntry& entry) const
{
    const std::optional<quint64> offset = RvaToOffset(entry.Rva, entry.Size);
    if (!offset || *offset > FSource.Size() || entry.Size > FSource.Size() - *offset)
        return std::nullopt;
    return offset;
}

std::optional<TResourceData> TPeImage::Resource(quint16 type, std::optional<quint16> name,
                                                const QList<quint16>& languages,
                                                quint16* chosenLang)
{
    const auto entry = DataEntry(type, name, languages, chosenLang);
    if (!entry || entry->Size == 0)
        return std::nullopt;
    const std::optional<quint64> offset = InFile(*entry);
    if (!offset)
        return std::nullopt;
    return TResourceData{*offset, entry->Size};
}

std::optional<TVersionResource> FindInNe(TByteSource& source, quint64 neOffset)
{
    QByteArray header;
    if (!source.Read(neOffset, NeHeaderSize, header))
        return std::nullopt;
    const quint16 tableStart = LeU16(header.constData() + 0x24);
    const quint16 tableEnd = LeU16(header.constData() + 0x26);
    if (tableEnd <= tableStart)
        return std::nullopt; // no resource table
    QByteArray table;
    if (!source.Read(neOffset + tableStart, tableEnd - tableStart, table))
        return std::nullopt;

    const char* t = table.constData();
    const quint64 length = static_cast<quint64>(table.size());
    if (length < 2)
        return std::nullopt;
    const quint32 shift = LeU16(t);
    if (shift > NeMaxAlignShift)
        return std::nullopt;
    quint64 pos = 2;
    while (pos + 2 <= length) {
        const quint16 type = LeU16(t + pos);
        if (type == 0)
            break; // end of the type list
        if (pos + NeTypeInfoSize > length)
            return std::nullopt;
        const quint16 count = LeU16(t + pos + 2);
        pos += NeTypeInfoSize;
        for (quint16 i = 0; i < count; ++i, pos += NeNameInfoSize) {
            if (pos + NeNameInfoSize > length)
                return std::nullopt;
            if (type != (NeIntegerId | ResourceTypeVersion) ||
                LeU16(t + pos + 6) != (NeIntegerId | ResourceNameVersion))
                continue;
            const quint64 offset = static_cast<quint64>(LeU16(t + pos)) << shift;
            quint64 size = static_cast<quint64>(LeU16(t + pos + 2)) << shift;
            // The last resource may be padded past the end of the file.
            if (offset >= source.Size())
                return std::nullopt;
            size = qMin(size, source.Size() - offset);
            TVersionResource found;
            found.Offset = offset;
            found.Size = static_cast<quint32>(qMin<quint64>(size, 0x7FFFFFFF));
            return found;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<TVersionResource> FindVersionResource(TByteSource& source, quint16 userLangId)
{
    QByteArray dos;
    if (!source.Read(0, DosHeaderSize, dos) || dos[0] != 'M' || dos[1] != 'Z')
        return std::nullopt;
    const quint64 newHeader = LeU32(dos.constData() + DosNewHeaderField);
    QByteArray signature;
    if (!source.Read(newHeader, 4, signature))
        return std::nullopt;
    if (signature == QByteArrayView("PE\0\0", 4)) {
        TPeImage image(source, newHeader);
        return image.Find(userLangId);
    }
    if (signature.startsWith("NE"))
        return FindInNe(source, newHeader);
    return std::nullopt;
}

struct TResourceReader::TImpl {
    std::optional<TPeImage> Image;
};

TResourceReader::TResourceReader(TByteSource& source, quint16 userLangId)
    : FSource(source), FUserLangId(userLangId), FImpl(std::make_unique<TImpl>())
{
    QByteArray dos;
    if (!source.Read(0, DosHeaderSize, dos) || dos[0] != 'M' || dos[1] != 'Z')
        return;
    const quint64 newHeader = LeU32(dos.constData() + DosNewHeaderField);
    QByteArray signature;
    if (!source.Read(newHeader, 4, signature) || signature != QByteArrayView("PE\0\0", 4))
        return;
    FImpl->Image.emplace(source, newHeader);
    if (!FImpl->Image->LoadHeaders())
        FImpl->Image.reset();
}

TResourceReader::~TResourceReader() = default;

bool TResourceReader::IsOpen() const { return FImpl->Image.has_value(); }

std::optional<TResourceData> TResourceReader::Find(quint16 type, std::optional<quint16> name,
                                                   std::optional<quint16> preferredLang,
                                                   quint16* chosenLang)
{
    if (!FImpl->Image)
        return std::nullopt;
    QList<quint16> languages;
    if (preferredLang)
        languages << *preferredLang;
    languages << LangNeutral << FUserLangId << LangUsEnglish;
    return FImpl->Image->Resource(type, name, languages, chosenLang);
}

bool TResourceReader::Read(const TResourceData& data, QByteArray& out)
{
    return FSource.Read(data.Offset, data.Size, out);
}
