#pragma once
// The spreadsheet export: the catalogue, as the main window's view shows it (search
// and sort in force), written to a new .xlsx workbook.
//
// The sheet: one worksheet "Экспорт"; the title in D1, row 1 bold, size 15, blue;
// row 2 bold with the 23 column titles; rows 1 and 2 frozen; fixed column widths;
// from row 3 one row per record of the view, in the view's order: the integer fields
// (`Номер`, `Year`, `Rating`) as numbers, everything else as text, so "0409" keeps its
// zero. A text longer than a cell holds (32,767 characters) is cut to that, and said.
//
// The workbook is written in constant memory, the sheet compressed on a second thread
// while its rows are produced, into a file that has no name until it is complete (see
// TUnnamedFile): a failure or a kill leaves nothing behind, and nothing that is
// already there is replaced or written through.
//
// The main window's "Экспорт" command calls ExportCatalogue(), then opens the file
// it returns with the desktop's default application (Shell::OpenFile); the command
// line calls WriteWorkbook() with the user's file name. Nothing here needs widgets.

#include "platform/errors.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>

class TDataSet;
class TDataModule1;

// Why a workbook was not written. The export says what and where; each front end puts
// it into its own language (the windows' error box in Russian, the command line in
// English) from that, so neither has to take the other's text apart.
enum class TExportFault {
    Taken,          // PATH, the workbook's name, is taken (by anything, a symbolic link too)
    TooManyRecords, // the view has COUNT records, more than a sheet holds
    NoFolder,       // the folder PATH is not there
    NotAFolder,     // PATH, where the workbook should go, is no folder
    CannotCreate,   // no file can be made in the folder PATH; ERRNO says why
    CannotWrite,    // the workbook could not be written in the folder PATH; ERRNO
    CannotName,     // the workbook could not be given its name PATH; ERRNO
};

// A workbook that cannot be written: folder missing or not writable, disk full,
// destination taken. The message is the text of the standard error box.
class EExportError : public EError {
public:
    EExportError(TExportFault fault, const QString& path, int err = 0, qsizetype count = 0);

    TExportFault Fault() const { return FFault; }
    const QString& Path() const { return FPath; }
    int Errno() const { return FErrno; }
    qsizetype Count() const { return FCount; }

private:
    TExportFault FFault;
    QString FPath;
    int FErrno;
    qsizetype FCount;
};

namespace SpreadsheetExport {

struct TColumn {
    QString Title; // row 2
    int Width;     // in characters of the sheet's standard font
    QString Field; // field of the catalogue table whose text fills the column
};

// The 23 exported columns in sheet order. Column 4 holds the program's maker
// (CompanyName), column 8 the disc maker; both are titled "Производитель".
const std::array<TColumn, 23>& Columns();

QString SheetName(); // "Экспорт"
QString TitleText(); // "Tresmol - экспорт базы данных " (ends in a blank)
int TitleColumn();   // 4: the title goes to D1
int MaxRecords();    // a sheet's rows less the title and the column titles
// Row 1's font colour in the program's colour encoding 0x00BBGGRR (pure blue).
constexpr quint32 TitleColour = 0xFF0000;
constexpr int TitleFontSize = 15;

// Progress of a run: DONE of TOTAL record rows written. Called with 0 before the first
// row, now and then while the rows are written (often enough to repaint a progress
// bar), and with DONE == TOTAL when the file is complete. It may let the event loop
// repaint (the main window sets its progress bar and processes paint events, leaving
// out user input), but it must not change the catalogue.
using TProgress = std::function<void(int done, int total)>;

// A text that was cut to a cell's limit in a workbook that was written all the same.
struct TCutText {
    int Row;          // of the sheet, from 1
    int Column;       // of the sheet, from 0 (an index into Columns())
    qsizetype Length; // the whole text's
    int Limit;        // the most characters a cell holds
};
// The cell's name on the sheet: "R3" for row 3, column 18.
QString CellName(const TCutText& cut);
// The windows' words for a cut text.
QString CutTextMessage(const TCutText& cut);

// A word for the user about a cut text. Without one, CutTextMessage goes to standard
// error.
using TWarning = std::function<void(const TCutText& cut)>;

// Writes the view of TABLE (an open catalogue table) to a new workbook at PATH.
//
// The cursor moves as the export walks the view: to the first record at the start
// (posting or dropping a pending change, as any move does) and to the last record at
// the end, so the table's after-scroll handler (status bar, picture) runs for both
// and the catalogue stands on the view's last record afterwards. The rows between are
// read from the view without moving the cursor, so neither the handler nor the
// data-aware controls do work for each of them.
//
// Throws the engine's error when TABLE is closed (before any file is touched), and
// EExportError when PATH exists (as anything, a symbolic link included), the view has
// more records than a sheet holds, or the workbook cannot be written.
void WriteWorkbook(TDataSet& table, const QString& path, const TProgress& progress = {},
                   const TWarning& warn = {});

// The user's documents folder (XDG), created when it does not exist yet.
QString DocumentsFolder();

// "Tresmol-YYYY-MM-DD-HHMMSS.xlsx" in FOLDER for the time WHEN; when that name is
// taken (by anything, a symbolic link to nothing too), the first free one of
// "...-2.xlsx", "...-3.xlsx" and so on.
QString FreshFileName(const QString& folder, const QDateTime& when);

// Writes the view of TABLE to a fresh file (FreshFileName, now) in FOLDER and returns
// its path. An existing file is never replaced, even one that appears while the
// workbook is being written.
QString ExportToFolder(TDataSet& table, const QString& folder, const TProgress& progress = {},
                       const TWarning& warn = {});

// The main window's export command: the catalogue table of DM exported to a fresh
// file in the documents folder. Returns the file's path, which the caller then opens
// with the default application. Errors are exceptions (EError) for the standard error
// box; nothing is asked and nothing else is shown. In the main window:
//
//     const QString path = SpreadsheetExport::ExportCatalogue(*DataModule1,
//         [this](int done, int total) {
//             ProgressBar->setMaximum(total);
//             ProgressBar->setValue(done);
//             QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
//         });
//     Shell::OpenFile(path); // false when the desktop has no application for it
QString ExportCatalogue(TDataModule1& dm, const TProgress& progress = {},
                        const TWarning& warn = {});

} // namespace SpreadsheetExport
