#include "store/sqlgateway.h"

#include "store/connection.h"
#include "store/dberrors.h"
#include "store/rowstore.h"
#include "store/tableread.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// Booleans are kept as 0 and 1 in the file.
QVariant SqlValue(TFieldType type, const QVariant& v)
{
    if (type == TFieldType::ftBoolean && !v.isNull())
        return v.toBool() ? 1 : 0;
    return v;
}

// The first integer SQL gives, 0 when it gives none.
qint64 ReadInteger(sqlite3* db, const QByteArray& sql)
{
    sqlite3_stmt* st = nullptr;
    qint64 value = 0;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return value;
}

// About how many rows TABLE holds, never far too many: no more than its keys span,
// nor than the file could hold. Only room is made by it, so a guess that a writer
// has meanwhile made wrong costs nothing.
int ExpectedRows(sqlite3* db, const QString& table, const QString& key, int columns)
{
    const QString from = u" FROM "_s + TSqlGateway::SqlName(table);
    const qint64 keys = ReadInteger(
        db, (u"SELECT max("_s + key + u") - min("_s + key + u") + 1"_s + from).toUtf8());
    // A row takes at least a byte per column in the file, and a few more for its cell.
    const qint64 fileRows =
        ReadInteger(db, "PRAGMA page_count") * ReadInteger(db, "PRAGMA page_size") / (columns + 4);
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
    if (FInsert)
        sqlite3_finalize(FInsert);
    FInsert = nullptr;
    FInsertDb = nullptr;
}

void TSqlGateway::Fail(TADOConnection& connection, const QString& failure,
                       const QString& driverText) const
{
    throw EDatabaseError(connection.Failure(failure, driverText));
}

void TSqlGateway::Load(TADOConnection& connection, TRowStore& rows) const
{
    if (!connection.Connected())
        throw EDatabaseError(FTable + u": the connection to the catalogue file is closed"_s);
    // The rows held so far go first, so that a refresh needs no room for two tables.
    rows.Clear();
    // Reading goes straight through SQLite: a large catalogue is read cell by cell,
    // and Qt SQL's QVariant per cell would double the time it takes to open.
    const int expected =
        ExpectedRows(connection.SqliteHandle(), FTable, FKeyName, int(FColumns.size()));
    std::vector<TRowStore::TColumn> columns;
    const int count = TableRead::Read(connection, FTable, FKeyName, FColumns, expected, columns);
    rows.Adopt(count, std::move(columns));
}

int TSqlGateway::Exec(TADOConnection& connection, const QString& sql,
                      const QVector<QVariant>& values, const QString& failure,
                      QVariant* insertedKey) const
{
    QSqlQuery q(connection.Database());
    // A statement that does not even prepare (a trigger or a table changed from
    // outside) is reported by its own error, not by the binding that would follow.
    const bool prepared = q.prepare(sql);
    if (prepared)
        for (const QVariant& v : values)
            q.addBindValue(v);
    if (!prepared || !q.exec()) {
        const QSqlError e = q.lastError();
        Fail(connection, failure, e.databaseText().isEmpty() ? e.text() : e.databaseText());
    }
    if (insertedKey)
        *insertedKey = q.lastInsertId();
    return q.numRowsAffected();
}

QString TSqlGateway::WhereUnchanged(const TValues& before, QVector<QVariant>& values) const
{
    QStringList checks;
    QVector<QVariant> checkValues;
    for (const TColumnSlot& c : FColumns) {
        if (c.Field == FKeyField)
            continue;
        checks << SqlName(c.Name) + u" IS ?"_s;
        checkValues << SqlValue(c.Type, before[c.Field]);
    }
    values << before[FKeyField] << checkValues;
    return u" WHERE "_s + FKeyName + u" = ? AND "_s + checks.join(u" AND "_s);
}

bool TSqlGateway::StillThere(TADOConnection& connection, const TValues& before) const
{
    QSqlQuery q(connection.Database());
    q.prepare(u"SELECT 1 FROM "_s + SqlName(FTable) + u" WHERE "_s + FKeyName + u" = ?"_s);
    q.addBindValue(before[FKeyField]);
    return q.exec() && q.next();
}

int TSqlGateway::Insert(TADOConnection& connection, const TValues& now) const
{
    const QString failure = u"Cannot save the record"_s;
    sqlite3* db = connection.SqliteHandle();
    if (!db)
        throw EDatabaseError(FTable + u": the connection to the catalogue file is closed"_s);
    if (FInsert && FInsertDb != db)
        Release();
    if (!FInsert) {
        QStringList names, marks;
        for (const TColumnSlot& c : FColumns) {
            if (c.Field == FKeyField)
                continue;
            names << SqlName(c.Name);
            marks << u"?"_s;
        }
        const QByteArray sql = (u"INSERT INTO "_s + SqlName(FTable) + u" ("_s +
                                names.join(u", "_s) + u") VALUES ("_s + marks.join(u", "_s) + u')')
                                   .toUtf8();
        if (sqlite3_prepare_v3(db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &FInsert, nullptr) != SQLITE_OK) {
            FInsert = nullptr;
            Fail(connection, failure, QString::fromUtf8(sqlite3_errmsg(db)));
        }
        FInsertDb = db;
    }
    // Bound as Qt SQL binds them: a null value or a null text as NULL, text as text,
    // numbers as integers.
    int at = 0;
    for (const TColumnSlot& c : FColumns) {
        if (c.Field == FKeyField)
            continue;
        ++at;
        const QVariant& v = now[c.Field];
        int rc;
        if (c.Type == TFieldType::ftBoolean) {
            // A new row's Booleans are never null.
            rc = sqlite3_bind_int(FInsert, at, v.toBool() ? 1 : 0);
        } else if (v.isNull()) {
            rc = sqlite3_bind_null(FInsert, at);
        } else if (v.typeId() == QMetaType::QString) {
            const QString& text = *static_cast<const QString*>(v.constData());
            rc = text.isNull()
                     ? sqlite3_bind_null(FInsert, at)
                     : sqlite3_bind_text16(FInsert, at, text.utf16(),
                                           int(text.size() * sizeof(char16_t)), SQLITE_STATIC);
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
                   v.typeId() == QMetaType::Bool) {
            rc = sqlite3_bind_int64(FInsert, at, v.toLongLong());
        } else {
            const QString text = v.toString();
            rc = sqlite3_bind_text16(FInsert, at, text.utf16(), int(text.size() * sizeof(char16_t)),
                                     SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            sqlite3_clear_bindings(FInsert);
            Fail(connection, failure, QString::fromUtf8(sqlite3_errmsg(db)));
        }
    }
    const int rc = sqlite3_step(FInsert);
    const QString error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    // Reset at once: the bound texts belong to the caller, and a statement left
    // stepping would hold the file's write lock.
    sqlite3_reset(FInsert);
    sqlite3_clear_bindings(FInsert);
    if (rc != SQLITE_DONE)
        Fail(connection, failure, error);
    return int(sqlite3_last_insert_rowid(db));
}

void TSqlGateway::Update(TADOConnection& connection, const TValues& before,
                         const TValues& now) const
{
    QStringList sets;
    QVector<QVariant> values;
    for (const TColumnSlot& c : FColumns) {
        if (c.Field == FKeyField)
            continue;
        const QVariant a = SqlValue(c.Type, before[c.Field]), b = SqlValue(c.Type, now[c.Field]);
        if (a != b || a.isNull() != b.isNull()) {
            sets << SqlName(c.Name) + u" = ?"_s;
            values << b;
        }
    }
    if (sets.isEmpty())
        return;
    const QString sql = u"UPDATE "_s + SqlName(FTable) + u" SET "_s + sets.join(u", "_s) +
                        WhereUnchanged(before, values);
    if (Exec(connection, sql, values, u"Cannot save the record"_s) == 0)
        throw EDatabaseError(StillThere(connection, before)
                                 ? u"Cannot save the record: another user changed it after it "_s
                                   u"was read. Cancel your change and refresh to see theirs"_s
                                 : u"Cannot save the record: another user deleted it after it "_s
                                   u"was read"_s);
}

void TSqlGateway::Delete(TADOConnection& connection, const TValues& before) const
{
    QVector<QVariant> values;
    const QString sql = u"DELETE FROM "_s + SqlName(FTable) + WhereUnchanged(before, values);
    // A row already deleted elsewhere is what the user asked for.
    if (Exec(connection, sql, values, u"Cannot delete the record"_s) == 0 &&
        StillThere(connection, before))
        throw EDatabaseError(u"Cannot delete the record: another user changed it after it was "_s
                             u"read. Refresh to see the change"_s);
}
