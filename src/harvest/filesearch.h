#pragma once
// The search behind the add-programs wizard and `tresmol-cli harvest`: a folder and
// all its subfolders, depth first, for names that match a mask.

#include <QString>

#include <functional>

namespace Harvest {

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

} // namespace Harvest
