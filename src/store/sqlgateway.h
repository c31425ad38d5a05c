#pragma once
// The one way rows of a table travel between the catalogue file and memory: the whole
// table read into a row store, and one row inserted, updated or deleted.
//
// Updates and deletes are optimistic: they only touch the row if it still holds
// every value it held when it was read, so a change another program made in the
// meantime is reported, never overwritten.

#include "store/schema.h"

#include <QString>
#include <QVariant>
#include <QVector>

class TADOConnection;
class TRowStore;
struct sqlite3;
struct sqlite3_stmt;

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

    // NAME as an identifier in SQL: a table's or a column's name, in double quotes.
    static QString SqlName(const QString& name) { return u'"' + name + u'"'; }

    // The auto-increment key's field number.
    int KeyField() const { return FKeyField; }

    // Reads every row of the table, in key order, into ROWS (cleared first).
    void Load(TADOConnection& connection, TRowStore& rows) const;
    // Writes a new row and returns the key the file gave it. The statement is prepared
    // on the first insert and kept until Release.
    int Insert(TADOConnection& connection, const TValues& now) const;
    // Writes the changed values of the row that held BEFORE (key included).
    void Update(TADOConnection& connection, const TValues& before, const TValues& now) const;
    // Deletes the row that holds BEFORE; a row already deleted elsewhere is no error.
    void Delete(TADOConnection& connection, const TValues& before) const;
    // Drops the kept statement; due before the connection's file is closed, which a
    // statement still open would keep from closing.
    void Release() const;

private:
    // Throws FAILURE with the driver's text as the user reads it.
    [[noreturn]] void Fail(TADOConnection& connection, const QString& failure,
                           const QString& driverText) const;
    // Runs SQL with its values bound; returns the number of rows it changed.
    int Exec(TADOConnection& connection, const QString& sql, const QVector<QVariant>& values,
             const QString& failure, QVariant* insertedKey = nullptr) const;
    // "... WHERE key = ? AND every column IS what it was", with its values appended.
    QString WhereUnchanged(const TValues& before, QVector<QVariant>& values) const;
    // True when the row with BEFORE's key is still in the file.
    bool StillThere(TADOConnection& connection, const TValues& before) const;

    QString FTable;
    QVector<TColumnSlot> FColumns;
    int FKeyField;
    QString FKeyName; // the key column's name, quoted for SQL
    // The INSERT, prepared straight on SQLite's handle: a harvest posts thousands of
    // rows, and preparing (and Qt's binding) per row would cost more than the writing.
    mutable sqlite3_stmt* FInsert = nullptr;
    mutable sqlite3* FInsertDb = nullptr;
};
