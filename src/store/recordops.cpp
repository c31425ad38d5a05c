#include "store/recordops.h"

#include "store/dataset.h"

namespace RecordOps {

bool SaveIfModified(TDataSet& table)
{
    if (!table.Active())
        return false;
    table.UpdateRecord();
    if (!table.Modified())
        return false;
    table.Post();
    return true;
}

int DeleteAll(TDataSet& table, const TDeleteProgress& progress)
{
    const int before = table.RecordCount();
    while (table.RecordCount() >= 1 && !table.IsEmpty()) {
        table.Delete();
        if (progress && !progress(table.RecordCount()))
            break;
    }
    // A pending new record is dropped rather than deleted, so count what left the file.
    return before - table.RecordCount();
}

} // namespace RecordOps
