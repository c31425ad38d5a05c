#pragma once
// Bringing a catalogue file into being: the command-line tool, the demo set-up and
// the program (for a user who has no catalogue yet, or asks for a new one) do it
// through these.

#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class TDataModule1;
enum class TBookFields;

namespace Catalogue {

// Creates PATH with the six empty tables, then lets FILL (when given) add to the new
// catalogue, named by the temporary name it has meanwhile. All of it happens beside
// PATH under that name; the finished file then moves to PATH without replacing
// anything, so that a catalogue is either whole at PATH or absent, even when the
// process is killed on the way. Refuses to overwrite an existing file (or link).
void Build(const QString& path, const std::function<void(const QString& temporary)>& fill);

// Creates PATH with the six empty tables, as Build does.
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
// open, for tools that work without windows; the first failure throws. FIELDS says
// which of the table's fields are read (see TDataModule1).
std::unique_ptr<TDataModule1> Open(const QString& path, TBookFields fields);

} // namespace Catalogue
