#include "harvest/verinfores.h"

#include "harvest/bytesource.h"
#include "harvest/peimage.h"
#include "harvest/versionblock.h"
#include "platform/localenames.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const char16_t* const ItemKeys[VerInfoItemCount] = {
    u"CompanyName",     u"FileDescription",  u"FileVersion", u"InternalName",   u"LegalCopyright",
    u"LegalTrademarks", u"OriginalFilename", u"ProductName", u"ProductVersion", u"Comments",
};

// The fixed file information record (VS_FIXEDFILEINFO).
constexpr qsizetype FixedInfoSize = 52;
constexpr qsizetype FixedFlagsMask = 24;
constexpr qsizetype FixedFlags = 28;

// Flag bits with a text, in the order the texts are listed.
struct TFlagText {
    quint32 Bit;
    const char16_t* Text;
};
constexpr TFlagText FlagTexts[] = {
    {0x02, u"Pre-release"},
    {0x08, u"Private build"},
    {0x20, u"Special build"},
    {0x01, u"Debug"},
};

// A version block never holds more than its 16-bit length can say.
constexpr quint32 MaxBlockSize = 0x10000;

// VALUE as four upper-case hexadecimal digits at TO.
void WriteHex4(char16_t* to, quint32 value)
{
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    for (int i = 0; i < 4; ++i)
        to[i] = Digits[(value >> (12 - 4 * i)) & 0xF];
}

} // namespace

QString VerInfoItemKey(TVerInfoItem item)
{
    if (item < 0 || item >= VerInfoItemCount)
        return QString();
    return QString::fromUtf16(ItemKeys[item]);
}

ENoVerInfoError::ENoVerInfoError() : EError(u"No Version Info Available."_s) {}

eNoFixeVerInfo::eNoFixeVerInfo() : EError(u"No fixed file info"_s) {}

TVerInfoRes::TVerInfoRes(const QString& fileName) : FFileName(fileName)
{
    TFileSource source(fileName);
    if (!source.IsOpen())
        throw ENoVerInfoError();
    Read(source);
}

TVerInfoRes::TVerInfoRes(const QByteArray& image, const QString& fileName) : FFileName(fileName)
{
    TMemorySource source(image);
    Read(source);
}

TVerInfoRes::TVerInfoRes(TByteSource& source, const QString& fileName) : FFileName(fileName)
{
    Read(source);
}

TVerInfoRes::~TVerInfoRes() = default;

void TVerInfoRes::Read(TByteSource& source)
{
    // The size of the version block; nothing, or a size that does not read as a
    // positive signed number, means no version information.
    const std::optional<TVersionResource> resource =
        FindVersionResource(source, LocaleNames::UserLangId());
    if (!resource || static_cast<qint32>(resource->Size) <= 0)
        throw ENoVerInfoError();
    FSize = static_cast<qint32>(qMin(resource->Size, MaxBlockSize));
    FHandle = 0;

    // The block itself.
    if (!source.Read(resource->Offset, static_cast<quint64>(FSize), FBuffer))
        throw EVerInfoError(u"Cannot obtain version info."_s);

    const TVersionBlock block(FBuffer);
    // The first translation: a language id and a code page, 4 bytes.
    const auto translation = block.Query(u"\\VarFileInfo\\Translation");
    if (!translation || translation->Length < 4)
        throw EVerInfoError(u"No language info."_s);
    FTranslation = translation->Offset;

    const auto fixed = block.Query(u"\\");
    if (!fixed || fixed->Length < FixedInfoSize)
        throw eNoFixeVerInfo();
    FFixedInfo = fixed->Offset;

    // The string table that the items are read from: exactly the first
    // translation's language and code page, as four upper-case hexadecimal digits
    // each; no other table stands in for it.
    const quint32 pair = Translation();
    char16_t table[8];
    WriteHex4(table, pair & 0xFFFF);
    WriteHex4(table + 4, pair >> 16);
    FStringTable = block.Node({u"StringFileInfo", QStringView(table, 8)});

    // A file rewritten while it was read is an error for that file, never a mix of
    // two versions.
    if (!source.Unchanged())
        throw EVerInfoError(u"Cannot obtain version info."_s);

    const char* info = FBuffer.constData() + FFixedInfo;
    const quint32 flags = LeU32(info + FixedFlagsMask) & LeU32(info + FixedFlags);
    for (const TFlagText& f : FlagTexts) {
        if (flags & f.Bit)
            FFlags.append(QString::fromUtf16(f.Text));
    }
}

quint32 TVerInfoRes::Translation() const { return LeU32(FBuffer.constData() + FTranslation); }

QString TVerInfoRes::GetVerValue(TVerInfoItem item) const
{
    if (item < 0 || item >= VerInfoItemCount)
        return QString();
    // \StringFileInfo\<language><code page>\<key>, the table found at construction.
    if (!FStringTable)
        return QString();
    const TVersionBlock block(FBuffer);
    const auto value = block.ChildValue(*FStringTable, QStringView(ItemKeys[item]));
    if (!value)
        return QString();
    return block.Text(*value, static_cast<quint16>(Translation() >> 16));
}

QString TVerInfoRes::GetLanguageName() const
{
    return LocaleNames::LanguageName(static_cast<quint16>(Translation() & 0xFFFF));
}

QString TVerInfoRes::GetLangIdText() const
{
    char16_t text[4];
    WriteHex4(text, Translation() & 0xFFFF);
    return QStringView(text, 4).toString();
}

QString TVerInfoRes::GetCodePageText() const { return QString::number(Translation() >> 16); }
