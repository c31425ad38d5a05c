#pragma once
// What the record commands of every window and of tresmol-cli do to a dataset, written
// once over its public operations so that a window and the command line cannot drift.

#include <QString>
#include <QVector>

#include <functional>

class TDataSet;
class TADOConnection;
class QVariant;

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

// How many catalogue records in the file refer to the row of REFERENCETABLE (one of
// the five reference tables) whose key is KEY. Counted by the file itself, so records
// that no dataset has loaded count too. A closed connection fails.
int CatalogueUses(TADOConnection& connection, const QString& referenceTable, const QVariant& key);

// "Удалить" of a reference list: deletes the current row of REFERENCE, but refuses,
// changing nothing, a row that catalogue records still use, since their lookup text
// would silently become empty. A pending new row is dropped as the engine's delete
// does; an empty or closed list fails with the engine's error.
void DeleteReference(TDataSet& reference);

// One field's new text, as "tresmol-cli set" takes it from FIELD=VALUE.
struct TFieldText {
    QString Field;
    QString Text;
};

// Moves TABLE (open, without a filter hiding rows) to the record whose key (Id) is KEY;
// fails when there is none.
void GoToKey(TDataSet& table, int key);

// Changes the record whose key is KEY as an edit in the windows does: each stored field
// named (by its column's name, a lookup by its key column) takes its text as a bound
// box would, an empty text clearing it, and the record is posted. At the first failure
// (an unknown field, a value the field refuses, no such record, a conflict with another
// user) the change is cancelled and nothing is written.
void SetFields(TDataSet& table, int key, const QVector<TFieldText>& values);

// Deletes the records whose keys are KEYS as "Удалить" does, all or none: a missing key
// or a conflict with another user leaves every record in the file, and the table is
// read again. Returns how many were deleted.
int DeleteKeys(TDataSet& table, const QVector<int>& keys);

} // namespace RecordOps
