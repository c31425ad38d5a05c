#pragma once
// The folder search carried on inside disc images and archives: the members whose
// names match the mask, named CONTAINER!/MEMBER.

#include "harvest/filesearch.h"

#include <QString>

namespace Harvest {

// The regular-file members of the container at PATH whose names (without their
// folders) match MASK, in the order the archive holds them, each passed to FOUND as
// PATH + "!" + the member's path from the archive's root ("/SETUP/SETUP.EXE"). A
// member that is itself a disc image or archive is read into memory and searched at
// its place the same way, up to MaxNesting levels. A container that cannot be read to
// its end, or that holds an encrypted member, gives nothing at all and is told to
// PROBLEM; one inside another is passed over alone. A container whose search goes
// past its budget (see TInflateBudget) gives nothing either, and is told to PROBLEM as
// "too large to search". Returns false when FOUND stopped.
bool SearchContainer(const QString& path, const QString& mask, const TFoundFile& found,
                     const TContainerProblem& problem);
// The same with the packages and the PROBLEM of OPTIONS: a Windows Installer package
// inside (when OPTIONS ask for packages) is passed to FOUND and then searched at its
// place; the container at PATH may itself be one, searched for the programs it
// installs (see TArchiveStream).
bool SearchContainer(const QString& path, const QString& mask, const TFoundFile& found,
                     const TSearchOptions& options);

} // namespace Harvest
