#pragma once
// What the record commands of every window do to a dataset, written once over its
// public operations so that no two windows save in different ways.

class TDataSet;

namespace RecordOps {

// "Сохранить": text the bound widgets still hold is taken into the record first, so a
// value the user typed counts as a change even while its box has the focus; then the
// record is posted when it holds a change. A closed dataset is left alone. True when
// the record was posted.
bool SaveIfModified(TDataSet& table);

} // namespace RecordOps
