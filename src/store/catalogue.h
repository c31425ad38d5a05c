#pragma once
// Bringing a catalogue file into being: the program itself never creates one; the
// command-line tool and the demo set-up do, through these.

#include <QString>

#include <functional>
#include <memory>

class TDataModule1;

namespace Catalogue {

// Creates PATH with the six empty tables, then lets FILL (when given) add to the new
// catalogue, named by the temporary name it has meanwhile. All of it happens beside
// PATH under that name; the finished file then moves to PATH without replacing
// anything, so that a catalogue is either whole at PATH or absent, even when the
// process is killed on the way. Refuses to overwrite an existing file (or link).
void Build(const QString& path, const std::function<void(const QString& temporary)>& fill);

// Creates PATH with the six empty tables, as Build does.
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
