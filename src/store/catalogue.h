#pragma once
// Bringing a catalogue file into being: the command-line tool, the demo set-up and
// the program (for a user who has no catalogue yet, or asks for a new one) do it
// through these.

#include <QString>
#include <QVector>

#include <memory>

class TDataModule1;

namespace Catalogue {

// Creates PATH with the six empty tables. Refuses to overwrite an existing file.
void Create(const QString& path);

// Creates PATH as Create does, then fills the standard reference lists: the
// catalogue a user starts with, lists to choose from and no records.
void CreateNew(const QString& path);

// Creates PATH as CreateNew does, then adds about fifty plausible records.
void CreateDemo(const QString& path);

// The keys of the standard reference lists' rows, in list order.
struct TStandardListKeys {
    QVector<int> Platforms, Categories, ProgramTypes, DiscTypes, DiscMakers;
};
// Appends the standard reference lists to the five reference tables of DM, which
// must be open.
TStandardListKeys FillStandardLists(TDataModule1& dm);

// The connection string that opens PATH (any folder) as a catalogue.
QString ConnectionStringFor(const QString& path);

// A data module on PATH (relative to the working directory) with the main table
// open, for tools that work without windows; the first failure throws.
std::unique_ptr<TDataModule1> Open(const QString& path);

} // namespace Catalogue
