#pragma once
// Finding the version resource of an executable image: a PE file (32 or 64 bit,
// any extension) or a 16-bit NE file. Only the headers and the resource directory
// are read, and every offset, size and count is checked against the file first.

#include "harvest/bytesource.h"

#include <memory>
#include <optional>

struct TVersionResource {
    quint64 Offset = 0; // where the version block starts in the file
    quint32 Size = 0;   // its size as the resource directory gives it
};

// Resource type and name of the version resource; only this name counts.
constexpr quint16 ResourceTypeVersion = 16;
constexpr quint16 ResourceNameVersion = 1;

// The version resource of the image in SOURCE, or nothing when the source is no
// executable image or has no version resource (type 16, numeric name 1) lying
// inside the file. Among the languages of that resource the neutral one (0) is
// taken, then USERLANGID, then 0x0409 (US English), then the first one listed.
// A resource whose size reads as zero or negative is returned as it is; the caller
// decides about it.
std::optional<TVersionResource> FindVersionResource(TByteSource& source, quint16 userLangId);

// Where a resource's data lies in the file.
struct TResourceData {
    quint64 Offset = 0;
    quint32 Size = 0;
};

// Resource types of the icons: the images and the groups that list them.
constexpr quint16 ResourceTypeIcon = 3;
constexpr quint16 ResourceTypeGroupIcon = 14;

// The resources of a PE image (32 or 64 bit), walked with the same checks as the
// version resource. A source that is no PE image reads as having none.
class TResourceReader {
public:
    // SOURCE must outlive the reader. USERLANGID takes part in choosing a language.
    TResourceReader(TByteSource& source, quint16 userLangId);
    ~TResourceReader();
    TResourceReader(const TResourceReader&) = delete;
    TResourceReader& operator=(const TResourceReader&) = delete;

    bool IsOpen() const;
    // The resource of TYPE with the numeric NAME, or with no NAME the first name the
    // type's directory lists. Its language is chosen as for the version resource,
    // with PREFERREDLANG, when given, tried first; CHOSENLANG receives the language
    // taken. Nothing when there is no such resource, or its data is empty or does
    // not lie wholly inside the file.
    std::optional<TResourceData> Find(quint16 type, std::optional<quint16> name,
                                      std::optional<quint16> preferredLang = std::nullopt,
                                      quint16* chosenLang = nullptr);
    bool Read(const TResourceData& data, QByteArray& out);

private:
    struct TImpl;
    TByteSource& FSource;
    quint16 FUserLangId;
    std::unique_ptr<TImpl> FImpl;
};
