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

} // namespace RecordOps
