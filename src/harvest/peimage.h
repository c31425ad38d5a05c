#pragma once
// Finding the version resource of an executable image: a PE file (32 or 64 bit,
// any extension) or a 16-bit NE file. Only the headers and the resource directory
// are read, and every offset, size and count is checked against the file first.

#include "harvest/bytesource.h"

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
