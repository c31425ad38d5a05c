#pragma once
// Bringing a catalogue file into being: the program itself never creates one; the
// command-line tool and the demo set-up do, through these.

#include <QString>

namespace Catalogue {

// Creates PATH with the six empty tables. Refuses to overwrite an existing file.
void Create(const QString& path);

// Creates PATH as Create does, then fills the reference lists a user would expect
// and about fifty plausible records.
void CreateDemo(const QString& path);

// The connection string that opens PATH (any folder) as a catalogue.
QString ConnectionStringFor(const QString& path);

} // namespace Catalogue
