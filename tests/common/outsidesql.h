#pragma once
// SQL run on a catalogue file on a connection of its own, as another program would run
// it: for tests that change the file behind the engine's back, or look at what it
// holds.

#include "store/catalogue/connection.h"
#include "store/sqlite/sqlite.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

// A connection to the file PATH, writable unless READONLY.
inline TSqliteDatabase OutsideConnection(const QString& path, bool readOnly = false)
{
    return TSqliteDatabase::Open(SqliteUri(path).toUtf8(),
                                 readOnly ? TSqliteDatabase::TAccess::ReadOnly
                                          : TSqliteDatabase::TAccess::ReadWrite);
}

// Runs SQL (one or more statements) on the file PATH.
inline void RunOutside(const QString& path, const QString& sql)
{
    OutsideConnection(path).Exec(sql.toUtf8());
}

// Binds VALUES to ST in order: null, integer or text as each QVariant is.
inline void BindAll(TSqliteStatement& st, const QVariantList& values)
{
    int at = 0;
    for (const QVariant& v : values) {
        ++at;
        if (v.isNull())
            st.BindNull(at);
        else if (v.typeId() == QMetaType::QString)
            st.BindText(at, v.toString());
        else
            st.BindInteger(at, v.toLongLong());
    }
}

// The first column of each row SQL gives on DB: null, integer or text as stored.
inline QVariantList QueryColumn(const TSqliteDatabase& db, const QString& sql)
{
    QVariantList out;
    TSqliteStatement st = db.Prepare(sql.toUtf8());
    while (st.Step())
        out << (st.IsNull(0)      ? QVariant()
                : st.IsInteger(0) ? QVariant(st.Integer(0))
                                  : QVariant(st.Text(0)));
    return out;
}
