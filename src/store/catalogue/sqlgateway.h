#pragma once
// The one way rows of a table travel between the catalogue file and memory: the whole
// table read into a row store, and one row inserted, updated or deleted. Values cross
// under the catalogue's rule for empty and null (store/catalogue/cells.h).
//
// Updates and deletes are optimistic: inside one write transaction the row is read
// again and compared, under that rule, with the values it held when it was read, and
// only then written, so a change another program made in the meantime is reported,
// never overwritten.

#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"
#include "store/sqlite/sqlite.h"

#include <QString>
#include <QVariant>
#include <QVector>

class TADOConnection;
class TRowStore;

class TSqlGateway {
public:
    // A record's values by field number, as the row store numbers its fields; only
    // the stored fields are read.
    using TValues = QVector<QVariant>;

    struct TColumnSlot {
        int Field; // the field's number in the row store
        QString Name;
        TFieldType Type;
    };

    // The stored fields of TABLE, each with its field number; KEYFIELD numbers the
    // auto-increment key among them.
    TSqlGateway(QString table, QVector<TColumnSlot> columns, int keyField);
    ~TSqlGateway();
    TSqlGateway(const TSqlGateway&) = delete;
    TSqlGateway& operator=(const TSqlGateway&) = delete;

    // The auto-increment key's field number.
    int KeyField() const { return FKeyField; }

    // Reads every row of the table, in key order, into ROWS (cleared first).
    void Load(TADOConnection& connection, TRowStore& rows) const;
    // Writes a new row and returns the key the file gave it. NOW holds values as
    // Cells::Normal keeps them, so that the row in memory is what the file now holds.
    // The statement is prepared on the first insert and kept until Release.
    int Insert(TADOConnection& connection, const TValues& now) const;
    // Writes the changed values of the row that held BEFORE (key included).
    void Update(TADOConnection& connection, const TValues& before, const TValues& now) const;
    // Deletes the row that holds BEFORE; a row already deleted elsewhere is no error.
    void Delete(TADOConnection& connection, const TValues& before) const;
    // Drops the kept statements; due before the connection's file is closed, which a
    // statement still open would keep from closing.
    void Release() const;

private:
    // Within a write transaction: reads the row with BEFORE's key again and fails with
    // a conflict of ACTION when it differs from BEFORE. False when the row is gone.
    bool StillUnchanged(TADOConnection& connection, const TSqliteDatabase& db, TDbAction action,
                        const TValues& before) const;

    QString FTable;
    QVector<TColumnSlot> FColumns;
    int FKeyField;
    QString FKeyName; // the key column's name, quoted for SQL
    // Kept from their first use: a harvest inserts thousands of rows, and preparing
    // per row would cost more than the writing.
    mutable TSqliteStatement FInsert, FReadRow;
};
