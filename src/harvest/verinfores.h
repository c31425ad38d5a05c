#pragma once
// TVerInfoRes: the version information of one Windows executable or library, read
// straight from the file's version resource on any system.

#include "harvest/versionblock.h"
#include "platform/errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class TByteSource;

// The ten standard items, by their position in the item table.
enum TVerInfoItem {
    viCompanyName,
    viFileDescription,
    viFileVersion,
    viInternalName,
    viLegalCopyright,
    viLegalTrademarks,
    viOriginalFilename,
    viProductName,
    viProductVersion,
    viComments,
};
constexpr int VerInfoItemCount = 10;

// The key of ITEM in the version block's string tables ("CompanyName", ...).
QString VerInfoItemKey(TVerInfoItem item);

// No version resource, no file, a folder, an unreadable file.
class ENoVerInfoError : public EError {
public:
    ENoVerInfoError();
};

// The block cannot be read, or it has no translation.
class EVerInfoError : public EError {
public:
    using EError::EError;
};

// No fixed file information record, or one that is too short.
class eNoFixeVerInfo : public EError {
public:
    eNoFixeVerInfo();
};

class TVerInfoRes {
public:
    // Reads and checks everything; throws ENoVerInfoError, EVerInfoError or
    // eNoFixeVerInfo when FILENAME has no usable version information, or when the file
    // changes while it is read. FILENAME may hold bytes escaped by PathFromNative.
    explicit TVerInfoRes(const QString& fileName);
    // The same over an image already in memory (FILENAME only names it).
    TVerInfoRes(const QByteArray& image, const QString& fileName);
    // The same over any source of bytes, such as a disc that fails to read.
    TVerInfoRes(TByteSource& source, const QString& fileName);
    virtual ~TVerInfoRes();

    TVerInfoRes(const TVerInfoRes&) = delete;
    TVerInfoRes& operator=(const TVerInfoRes&) = delete;

    // The item's text in the string table of the first translation; empty when
    // that table or that item is missing.
    QString GetVerValue(TVerInfoItem item) const;
    // The display name of the first translation's language, in the user's language.
    QString GetLanguageName() const;
    // The first translation's language id, four upper-case hexadecimal digits.
    QString GetLangIdText() const;
    // The first translation's code page in decimal.
    QString GetCodePageText() const;

    const QString& FileName() const { return FFileName; }
    // The file's build flags as texts ("Pre-release", "Private build", "Special
    // build", "Debug", in that order).
    const QStringList& Flags() const { return FFlags; }

private:
    void Read(TByteSource& source);
    quint32 Translation() const;

    QString FFileName;
    quint32 FHandle = 0;
    qint32 FSize = 0;
    QByteArray FBuffer;
    qsizetype FTranslation = -1; // offset of the first translation pair in FBuffer
    qsizetype FFixedInfo = -1;   // offset of the fixed file information in FBuffer
    // The string table of the first translation in FBuffer, when there is one.
    std::optional<TVersionBlock::TNode> FStringTable;
    QStringList FFlags;
};
