#pragma once
// Reading a whole table from the catalogue file into columns of a row store, for
// TSqlGateway::Load.
//
// A large table is read on two threads, each on its own connection and each filling
// half of the columns, which roughly halves the wait for a large catalogue to open.
// Both readers must see the same rows, so they begin while a third handle holds the
// file's write lock: no one can commit between their starts, and each then keeps its
// own snapshot to the end. When the lock cannot be had at once (another program is
// writing), the table is read on one thread, as a small table always is.

#include "store/catalogue/sqlgateway.h"
#include "store/rows/rowstore.h"

#include <vector>

class TADOConnection;

namespace TableRead {

// Reads every row of TABLE in key order (KEYNAME, quoted for SQL), the values of
// COLUMNS going to COLUMNSOUT by field number; EXPECTEDROWS sizes the columns. Returns
// the number of rows read. Throws EDatabaseError as a single read would.
int Read(TADOConnection& connection, const QString& table, const QString& keyName,
         const QVector<TSqlGateway::TColumnSlot>& columns, int expectedRows,
         std::vector<TRowStore::TColumn>& columnsOut);

} // namespace TableRead
