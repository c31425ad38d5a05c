#pragma once
// What the record commands of every window and of tresmol-cli do to a dataset, written
// once over its public operations so that a window and the command line cannot drift.

#include <functional>

class TDataSet;

namespace RecordOps {

// "Сохранить": text the bound widgets still hold is taken into the record first, so a
// value the user typed counts as a change even while its box has the focus; then the
// record is posted when it holds a change. A closed dataset is left alone. True when
// the record was posted.
bool SaveIfModified(TDataSet& table);

// Told after each record deleted, with the record count the dataset reports now;
// returns false to stop there.
using TDeleteProgress = std::function<bool(int remaining)>;

// "Очистить базу": deletes the current record of TABLE's view until the view shows
// none. The record count includes rows that a record filter hides, so with a search
// in force only what the search shows goes and the rest stays. An error of the engine
// ends the loop at that record, with the records before it deleted. Returns how many
// records were deleted.
int DeleteAll(TDataSet& table, const TDeleteProgress& progress = {});

} // namespace RecordOps
