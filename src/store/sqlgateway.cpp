#include "store/sqlgateway.h"

#include "store/connection.h"
#include "store/dberrors.h"
#include "store/rowstore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString SqlName(const QString& name) { return u'"' + name + u'"'; }

// Booleans are kept as 0 and 1 in the file.
QVariant SqlValue(TFieldType type, const QVariant& v)
{
    if (type == TFieldType::ftBoolean && !v.isNull())
        return v.toBool() ? 1 : 0;
    return v;
}

} // namespace

TSqlGateway::TSqlGateway(QString table, QVector<TColumnSlot> columns, int keyField)
    : FTable(std::move(table)), FColumns(std::move(columns)), FKeyField(keyField)
{
    for (const TColumnSlot& c : FColumns)
        if (c.Field == FKeyField)
            FKeyName = SqlName(c.Name);
}

void TSqlGateway::Load(TADOConnection& connection, TRowStore& rows) const
{
    if (!connection.Connected())
        throw EDatabaseError(FTable + u": the connection to the catalogue file is closed"_s);
    QStringList names;
    for (const TColumnSlot& c : FColumns)
        names << SqlName(c.Name);
    const QByteArray sql = (u"SELECT "_s + names.join(u", "_s) + u" FROM "_s + SqlName(FTable) +
                            u" ORDER BY "_s + FKeyName)
                               .toUtf8();
    // Reading goes straight through SQLite: a large catalogue is read cell by cell,
    // and Qt SQL's QVariant per cell would double the time it takes to open.
    sqlite3* db = connection.SqliteHandle();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        throw EDatabaseError(connection.Failure(u"Cannot read the table "_s + FTable,
                                                QString::fromUtf8(sqlite3_errmsg(db))));
    rows.Clear();
    const int ncols = int(FColumns.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int row = rows.AppendRow();
        for (int i = 0; i < ncols; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_NULL)
                continue;
            const int field = FColumns[i].Field;
            if (FColumns[i].Type == TFieldType::ftString) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                const int bytes = sqlite3_column_bytes(st, i);
                rows.SetText(row, field, bytes ? QString::fromUtf8(text, bytes) : u""_s);
            } else {
                rows.SetInt(row, field, sqlite3_column_int(st, i));
            }
        }
    }
    const QString error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    if (!error.isEmpty())
        throw EDatabaseError(connection.Failure(u"Cannot read the table "_s + FTable, error));
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
        const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
        throw EDatabaseError(connection.Failure(failure, text));
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
    QStringList names, marks;
    QVector<QVariant> values;
    for (const TColumnSlot& c : FColumns) {
        if (c.Field == FKeyField)
            continue;
        names << SqlName(c.Name);
        marks << u"?"_s;
        // A new row's Booleans are never null.
        values << (c.Type == TFieldType::ftBoolean ? QVariant(now[c.Field].toBool() ? 1 : 0)
                                                   : now[c.Field]);
    }
    QVariant key;
    Exec(connection,
         u"INSERT INTO "_s + SqlName(FTable) + u" ("_s + names.join(u", "_s) + u") VALUES ("_s +
             marks.join(u", "_s) + u')',
         values, u"Cannot save the record"_s, &key);
    return key.toInt();
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
