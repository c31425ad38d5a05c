#pragma once
// Harvesting: one executable becomes one new catalogue record holding its path and
// what its version information says.

#include "harvest/verinfores.h"
#include "harvest/versionvalues.h"

#include <QString>

#include <memory>

class TDataSet;

namespace Harvest {

// The version information of PATH, also for a path holding bytes escaped by
// PathFromNative. Throws the reader's errors.
std::unique_ptr<TVerInfoRes> ReadVerInfo(const QString& path);

// What HarvestFile did, added up over calls.
struct THarvestStats {
    int Files = 0;      // records added
    int NoInfo = 0;     // of which without readable version information
    qint64 ReadNs = 0;  // opening and querying the version information
    qint64 StoreNs = 0; // the record: leaving the old one, inserting, writing, posting
};

// Adds one record to TABLE for PATH and posts it. A record being edited or inserted
// is first left as leaving a record does: posted when it holds a change (held text of
// bound edits included), dropped when not. Then a new record is inserted, FileName
// gets PATH as given, the other columns the file's items, language name, language id
// and code page, each cut to its column's size; a file without readable version
// information gets "NO_INFO" in all thirteen. Errors of the catalogue are not caught.
void HarvestFile(TDataSet& table, const QString& path, THarvestStats* stats = nullptr);

} // namespace Harvest
