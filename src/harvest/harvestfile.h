#pragma once
// Harvesting: one executable becomes one new catalogue record holding its path and
// what its version information says.

#include "harvest/verinfores.h"
#include "harvest/versionvalues.h"

#include <QString>

#include <memory>
#include <optional>

class TDataSet;
class TPictureFolder;

namespace Harvest {

class TKnownFiles;
class TMemberReader;

// The version information of PATH, also for a path holding bytes escaped by
// PathFromNative. Throws the reader's errors.
std::unique_ptr<TVerInfoRes> ReadVerInfo(const QString& path);

// What harvesting reads of one file before any record is touched.
struct TFileFacts {
    TVersionValues Values; // "NO_INFO" in each without readable version information
    bool HaveInfo = false;
    qint64 Size = -1;               // in bytes; -1 when not asked for or unknown
    bool Member = false;            // the path names a member of a disc image or archive
    std::optional<QByteArray> Icon; // the program's icon as an .ico file, when asked for
};

// The facts of PATH. With MEMBERS, a path inside a disc image or archive is read
// through it (see TMemberReader); without, every path is a file on disc. WANTSIZE
// asks for the size too, WANTICON for the icon. With PACKAGES, a name ending in
// ".msi" is read as a Windows Installer package (see PackageValues), without an icon;
// one that cannot be read has no information, as an executable without a version
// resource.
TFileFacts ReadFileFacts(const QString& path, TMemberReader* members, bool wantSize,
                         bool wantIcon = false, bool packages = false);

// What harvesting does beyond the plain step; none of it by default.
struct THarvestOptions {
    // Reads the paths that name members of disc images and archives. Such a record's
    // PlacingProgram and ExtractFileName get the path split after the member's folder.
    TMemberReader* Members = nullptr;
    // Files the catalogue already holds are left out, and each file harvested is
    // added, so that a path met twice in one run is harvested once.
    TKnownFiles* Known = nullptr;
    // A record harvested without a picture gets the program's icon, stored in this
    // picture folder as NAME.ico after the file's name (1_NAME.ico... when taken) and
    // named in Images. An icon that cannot be stored leaves Images empty.
    const TPictureFolder* Icons = nullptr;
    // Files named *.msi are read as Windows Installer packages.
    bool Packages = false;
};

// What HarvestFile did, added up over calls.
struct THarvestStats {
    int Files = 0;      // records added
    int Skipped = 0;    // files left out as already in the catalogue
    int NoInfo = 0;     // of which without readable version information
    qint64 ReadNs = 0;  // opening and querying the version information
    qint64 StoreNs = 0; // the record: leaving the old one, inserting, writing, posting
};

// Adds one record to TABLE for PATH and posts it. A record being edited or inserted
// is first left as leaving a record does: posted when it holds a change (held text of
// bound edits included), dropped when not. Then a new record is inserted, FileName
// gets PATH as given, the other columns the file's items, language name, language id
// and code page, each cut to its column's size; a file without readable version
// information gets "NO_INFO" in all thirteen. Errors of the catalogue are not caught.
void HarvestFile(TDataSet& table, const QString& path, THarvestStats* stats = nullptr);
// The same with OPTIONS. False when the file was left out as already known.
bool HarvestFile(TDataSet& table, const QString& path, const THarvestOptions& options,
                 THarvestStats* stats = nullptr);

} // namespace Harvest
