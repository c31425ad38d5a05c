#include "store/catalogue/sqlgateway.h"

#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/tableread.h"
#include "store/rows/rowstore.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// About how many rows TABLE holds, never far too many: no more than its keys span,
// nor than the file could hold. Only room is made by it, so a guess that a writer
// has meanwhile made wrong costs nothing.
int ExpectedRows(const TSqliteDatabase& db, const QString& table, const QString& key, int columns)
{
    const QString from = u" FROM "_s + SqlName(table);
    const qint64 keys = db.QueryInteger(
        (u"SELECT max("_s + key + u") - min("_s + key + u") + 1"_s + from).toUtf8());
    // A row takes at least a byte per column in the file, and a few more for its cell.
    const qint64 fileRows =
        db.QueryInteger("PRAGMA page_count") * db.QueryInteger("PRAGMA page_size") / (columns + 4);
    return int(std::clamp<qint64>(std::min(keys, fileRows), 0, 1 << 28));
}

} // namespace

TSqlGateway::TSqlGateway(QString table, QVector<TColumnSlot> columns, int keyField)
    : FTable(std::move(table)), FColumns(std::move(columns)), FKeyField(keyField)
{
    for (const TColumnSlot& c : FColumns)
        if (c.Field == FKeyField)
            FKeyName = SqlName(c.Name);
}

TSqlGateway::~TSqlGateway() { Release(); }

void TSqlGateway::Release() const
{
    FInsert = TSqliteStatement();
    FReadRow = TSqliteStatement();
}

void TSqlGateway::Load(TADOConnection& connection, TRowStore& rows) const
{
    const TSqliteDatabase& db = connection.Database(FTable);
    // The rows held so far go first, so that a refresh needs no room for two tables.
    rows.Clear();
    int expected = 0;
    try {
        expected = ExpectedRows(db, FTable, FKeyName, int(FColumns.size()));
    } catch (const ESqliteError& e) {
        throw connection.Failure(TDbAction::ReadTable, e, FTable);
    }
    std::vector<TRowStore::TColumn> columns;
    const int count = TableRead::Read(connection, FTable, FKeyName, FColumns, expected, columns);
    rows.Adopt(count, std::move(columns));
}

int TSqlGateway::Insert(TADOConnection& connection, const TValues& now) const
{
    const TSqliteDatabase& db = connection.Database(FTable);
    try {
        if (!FInsert.Prepared()) {
            QStringList names, marks;
            for (const TColumnSlot& c : FColumns) {
                if (c.Field == FKeyField)
                    continue;
                names << SqlName(c.Name);
                marks << u"?"_s;
            }
            FInsert =
                db.Prepare((u"INSERT INTO "_s + SqlName(FTable) + u" ("_s + names.join(u", "_s) +
                            u") VALUES ("_s + marks.join(u", "_s) + u')')
                               .toUtf8(),
                           true);
        }
        int at = 0;
        for (const TColumnSlot& c : FColumns)
            if (c.Field != FKeyField)
                Cells::Bind(FInsert, ++at, c.Type, now[c.Field]);
        FInsert.Step();
        FInsert.Reset();
        return int(db.LastInsertRowId());
    } catch (const ESqliteError& e) {
        // Reset at once: a statement left stepping would hold the file's write lock.
        FInsert.Reset();
        throw connection.Failure(TDbAction::Save, e);
    }
}

bool TSqlGateway::StillUnchanged(TADOConnection& connection, const TSqliteDatabase& db,
                                 TDbAction action, const TValues& before) const
{
    if (!FReadRow.Prepared()) {
        QStringList names;
        for (const TColumnSlot& c : FColumns)
            names << SqlName(c.Name);
        FReadRow = db.Prepare((u"SELECT "_s + names.join(u", "_s) + u" FROM "_s + SqlName(FTable) +
                               u" WHERE "_s + FKeyName + u" = ?"_s)
                                  .toUtf8(),
                              true);
    }
    FReadRow.BindInteger(1, before[FKeyField].toLongLong());
    if (!FReadRow.Step()) {
        FReadRow.Reset();
        return false;
    }
    bool same = true;
    for (int i = 0; i < FColumns.size() && same; ++i) {
        const TColumnSlot& c = FColumns[i];
        same = Cells::Same(c.Type, Cells::Read(FReadRow, i, c.Type), before[c.Field]);
    }
    FReadRow.Reset();
    if (!same)
        throw EDatabaseError(action, TDbFault::Conflict, connection.DataSourcePath());
    return true;
}

void TSqlGateway::Update(TADOConnection& connection, const TValues& before,
                         const TValues& now) const
{
    QStringList sets;
    QVector<const TColumnSlot*> changed;
    for (const TColumnSlot& c : FColumns) {
        if (c.Field == FKeyField || Cells::Same(c.Type, before[c.Field], now[c.Field]))
            continue;
        sets << SqlName(c.Name) + u" = ?"_s;
        changed << &c;
    }
    if (sets.isEmpty())
        return;
    const TSqliteDatabase& db = connection.Database(FTable);
    try {
        TSqliteTransaction transaction(db);
        if (!StillUnchanged(connection, db, TDbAction::Save, before))
            throw EDatabaseError(TDbAction::Save, TDbFault::DeletedElsewhere,
                                 connection.DataSourcePath());
        TSqliteStatement update =
            db.Prepare((u"UPDATE "_s + SqlName(FTable) + u" SET "_s + sets.join(u", "_s) +
                        u" WHERE "_s + FKeyName + u" = ?"_s)
                           .toUtf8());
        int at = 0;
        for (const TColumnSlot* c : changed)
            Cells::Bind(update, ++at, c->Type, now[c->Field]);
        update.BindInteger(++at, before[FKeyField].toLongLong());
        update.Step();
        transaction.Commit();
    } catch (const ESqliteError& e) {
        FReadRow.Reset();
        throw connection.Failure(TDbAction::Save, e);
    }
}

void TSqlGateway::Delete(TADOConnection& connection, const TValues& before) const
{
    const TSqliteDatabase& db = connection.Database(FTable);
    try {
        TSqliteTransaction transaction(db);
        // A row already deleted elsewhere is what the user asked for.
        if (!StillUnchanged(connection, db, TDbAction::Delete, before))
            return;
        TSqliteStatement remove = db.Prepare(
            (u"DELETE FROM "_s + SqlName(FTable) + u" WHERE "_s + FKeyName + u" = ?"_s).toUtf8());
        remove.BindInteger(1, before[FKeyField].toLongLong());
        remove.Step();
        transaction.Commit();
    } catch (const ESqliteError& e) {
        FReadRow.Reset();
        throw connection.Failure(TDbAction::Delete, e);
    }
}
