#pragma once
// The search behind the add-programs wizard and `tresmol-cli harvest`: a folder and
// all its subfolders, depth first, for names that match a mask.

#include <QString>
#include <QStringList>

#include <functional>

namespace Harvest {

// Told when a disc image or archive is passed over: its path and why.
using TContainerProblem = std::function<void(const QString& path, const QString& why)>;

// What the search does beyond the folders themselves.
struct TSearchOptions {
    // Look inside disc images and archives as SearchContainer does, at the place
    // each is met.
    bool InsideContainers = false;
    TContainerProblem Problem;
    // Windows Installer packages ("*.msi") are found beside the names that match the
    // mask; inside disc images and archives too when those are searched. With
    // InsideContainers, each package is then searched for the programs it installs, as
    // an archive is, after the package itself has been passed on.
    bool Packages = false;
};

// The wizard's mask.
inline constexpr QStringView ExeMask = u"*.exe";

// NAME against MASK: '*' any run of characters (empty too), '?' any one character,
// "[abc]", "[a-z]", "[!a-z]" one character of (or not of) a set; letters compare
// without regard to case.
bool MatchesMask(const QString& name, const QString& mask);

// Told each path found; returns false to stop the search.
using TFoundFile = std::function<bool(const QString& path)>;

// Searches FOLDER depth first. Entries come in the order the file system lists them,
// hidden ones and "."-names included; a subfolder (or a link to one) is searched at
// the place it is met, before the entries after it; then, folder or not, an entry
// whose name matches MASK is passed to FOUND as the base path (FOLDER with a '/'
// added when it lacks one) plus the name. A folder that cannot be listed gives
// nothing and no error. Every real folder is searched once per call, so a link loop
// ends. Names that are not UTF-8 come as PathFromNative text. Returns false when
// FOUND stopped the search.
bool SearchFiles(const QString& folder, const QString& mask, const TFoundFile& found);
// The same, inside disc images and archives too when OPTIONS ask for it.
bool SearchFiles(const QString& folder, const QString& mask, const TFoundFile& found,
                 const TSearchOptions& options);

// What CollectFiles does with a path that names no folder.
enum class TOtherPaths {
    Skip, // the wizard: a folder that vanished or was never one gives nothing
    Take, // the command line: a file given by name is harvested as it is, missing or not
};

// The files of several PATHS, in their order: a folder (or a link to one) is searched
// with SearchFiles for MASK, any other path is skipped or passed to FOUND as OTHERS
// says. FOUND is told every path as it is met and may stop the whole collection by
// returning false; the function then returns false.
bool CollectFiles(const QStringList& paths, const QString& mask, const TFoundFile& found,
                  TOtherPaths others = TOtherPaths::Skip);
// The same with OPTIONS for every folder; when they ask to look inside disc images
// and archives, a path that names one is searched inside, whatever OTHERS says.
bool CollectFiles(const QStringList& paths, const QString& mask, const TFoundFile& found,
                  TOtherPaths others, const TSearchOptions& options);

} // namespace Harvest
