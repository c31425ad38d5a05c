#pragma once
// Small pieces every subcommand shares: error reporting and option parsing.

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Runs a subcommand body; an exception becomes "tresmol-cli: MESSAGE" on standard
// error and exit status 1.
int RunCommand(const std::function<int()>& body);

// Prints "tresmol-cli: MESSAGE" to standard error, a path in it with the bytes it has
// on the disk.
void Warn(const QString& message);
// Warn(MESSAGE), then 1 for the exit status.
int Fail(const QString& message);

// Flushes standard output; throws when what was written did not all arrive (a full
// disk, a closed pipe), so that the command does not report success.
void FinishOutput();

// Splits ARGS into positional arguments and the values of --name VALUE options;
// FLAGS names the options that take no value. Unknown options throw.
struct TCliArgs {
    QStringList Positional;
    QMap<QString, QString> Options;
};
TCliArgs ParseCliArgs(const QStringList& args, const QStringList& valueOptions,
                      const QStringList& flags);

class TDataModule1;
// Ends a command's work on the catalogue of DM: its file is closed at once, and its
// rows are left for the end of the process to take back whole (a catalogue of a
// million records would take longer to free row by row than to read).
void LeaveCatalogue(std::unique_ptr<TDataModule1> dm);
// Applies --sort KEY and --search TEXT to the catalogue table as the main window's
// sort menu and search box do.
void ApplyViewOptions(TDataModule1& dm, const TCliArgs& args);
