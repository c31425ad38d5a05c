#pragma once
// Bringing a catalogue file into being: the program itself never creates one; the
// command-line tool and the demo set-up do, through these.

#include <QString>

#include <memory>

class TDataModule1;

namespace Catalogue {

// Creates PATH with the six empty tables. Refuses to overwrite an existing file.
void Create(const QString& path);

// Creates PATH as Create does, then fills the reference lists a user would expect
// and about fifty plausible records.
void CreateDemo(const QString& path);

// The connection string that opens PATH (any folder) as a catalogue.
QString ConnectionStringFor(const QString& path);

// A data module on PATH (relative to the working directory) with the main table
// open, for tools that work without windows; the first failure throws.
std::unique_ptr<TDataModule1> Open(const QString& path);

} // namespace Catalogue
