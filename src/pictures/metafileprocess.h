#pragma once
// Metafiles converted to SVG in a helper process, tresmol-metafile, under a budget of
// time and memory.
//
// libwmf cannot be interrupted: a damaged file can hold it in an endless loop. Of the
// two ways to live with that, a worker thread whose result is dropped and which is
// left to run, and a helper process, the helper is taken:
// - a process can be stopped; a thread in an endless loop would burn a core until the
//   program ends, one more for every such file shown, and would keep the program's
//   thread pool from finishing at exit;
// - the memory budget is a limit of the helper alone (its address space), where in a
//   thread a library's allocations cannot be told from the window's;
// - a library that crashes on a damaged file takes down the helper, not the catalogue.
// Its price, starting a small process per metafile, is a few milliseconds.

#include "pictures/metafile.h"

#include <QByteArray>
#include <QString>

namespace Metafile {

// What one conversion may take. A real metafile converts in well under a second.
inline constexpr int TimeBudgetMs = 3000;
inline constexpr qint64 MemoryBudget = 512LL * 1024 * 1024;
// The largest metafile handed over, and the largest drawing taken back.
inline constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;
inline constexpr qint64 MaxSvgBytes = 128LL * 1024 * 1024;

enum class TFormat { Wmf, Emf };

enum class TOutcome {
    Converted,
    Failed,     // not a metafile the library can draw
    OverTime,   // stopped at the time budget
    OverMemory, // ended at the memory budget
    Crashed,    // the helper ended abnormally
    NoHelper,   // the helper could not be started
};

struct TConversion {
    TOutcome Outcome = TOutcome::Failed;
    TSvg Svg;
};

// DATA converted by the helper process. Blocks until the helper ends, at most the
// time budget and a moment for stopping it.
TConversion ConvertApart(TFormat format, const QByteArray& data);

// Where the helper is: beside the installed program in its libexec folder, or where
// the build put it.
QString HelperPath();

} // namespace Metafile
