#include "store/sqlite/sqlite.h"

#include <sqlite3.h>

#include <utility>

using namespace Qt::Literals::StringLiterals;

ESqliteError::ESqliteError(int code, QString detail)
    : FCode(code), FDetail(std::move(detail)), FUtf8(FDetail.toUtf8())
{
}

QString SqlName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', u"\"\""_s);
    return u'"' + quoted + u'"';
}

// ---------------------------------------------------------------- TSqliteStatement

TSqliteStatement::~TSqliteStatement() { sqlite3_finalize(FSt); }

TSqliteStatement::TSqliteStatement(TSqliteStatement&& other) noexcept
    : FDb(std::exchange(other.FDb, nullptr)), FSt(std::exchange(other.FSt, nullptr))
{
}

TSqliteStatement& TSqliteStatement::operator=(TSqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(FSt);
        FDb = std::exchange(other.FDb, nullptr);
        FSt = std::exchange(other.FSt, nullptr);
    }
    return *this;
}

void TSqliteStatement::Check(int rc) const
{
    if (rc != SQLITE_OK)
        throw ESqliteError(sqlite3_extended_errcode(FDb), QString::fromUtf8(sqlite3_errmsg(FDb)));
}

void TSqliteStatement::BindNull(int at) { Check(sqlite3_bind_null(FSt, at)); }

void TSqliteStatement::BindInteger(int at, qint64 value)
{
    Check(sqlite3_bind_int64(FSt, at, value));
}

void TSqliteStatement::BindText(int at, QStringView text)
{
    // An empty view may have no data at all, which SQLite would bind as NULL.
    static const char16_t empty = 0;
    const void* data = text.isEmpty() ? &empty : static_cast<const void*>(text.utf16());
    Check(
        sqlite3_bind_text16(FSt, at, data, int(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT));
}

bool TSqliteStatement::Step()
{
    const int rc = sqlite3_step(FSt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The statement's error is kept by its handle until the reset.
    const int code = sqlite3_extended_errcode(FDb);
    const QString detail = QString::fromUtf8(sqlite3_errmsg(FDb));
    sqlite3_reset(FSt);
    throw ESqliteError(code, detail);
}

void TSqliteStatement::Reset()
{
    if (!FSt)
        return;
    sqlite3_reset(FSt);
    sqlite3_clear_bindings(FSt);
}

QString TSqliteStatement::Text(int column) const
{
    const std::string_view utf8 = Utf8(column);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// ---------------------------------------------------------------- TSqliteDatabase

TSqliteDatabase::~TSqliteDatabase() { Close(); }

TSqliteDatabase::TSqliteDatabase(TSqliteDatabase&& other) noexcept
    : FDb(std::exchange(other.FDb, nullptr))
{
}

TSqliteDatabase& TSqliteDatabase::operator=(TSqliteDatabase&& other) noexcept
{
    if (this != &other) {
        Close();
        FDb = std::exchange(other.FDb, nullptr);
    }
    return *this;
}

TSqliteDatabase TSqliteDatabase::Open(const QByteArray& uri, TAccess access)
{
    int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    switch (access) {
    case TAccess::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case TAccess::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case TAccess::ReadWriteCreate:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    TSqliteDatabase db;
    const int rc = sqlite3_open_v2(uri.constData(), &db.FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int code = db.FDb ? sqlite3_extended_errcode(db.FDb) : rc;
        const QString detail = db.FDb ? QString::fromUtf8(sqlite3_errmsg(db.FDb))
                                      : QString::fromUtf8(sqlite3_errstr(rc));
        db.Close();
        throw ESqliteError(code, detail);
    }
    sqlite3_extended_result_codes(db.FDb, 1);
    return db;
}

void TSqliteDatabase::Close()
{
    if (FDb)
        sqlite3_close_v2(FDb);
    FDb = nullptr;
}

void TSqliteDatabase::Fail(int rc) const
{
    if (!FDb)
        throw ESqliteError(SQLITE_MISUSE, u"the database is closed"_s);
    const int code = sqlite3_extended_errcode(FDb);
    throw ESqliteError(code != SQLITE_OK ? code : rc, QString::fromUtf8(sqlite3_errmsg(FDb)));
}

TSqliteStatement TSqliteDatabase::Prepare(QByteArrayView sql, bool persistent) const
{
    if (!FDb)
        Fail(SQLITE_MISUSE);
    sqlite3_stmt* st = nullptr;
    const int rc = sqlite3_prepare_v3(FDb, sql.data(), int(sql.size()),
                                      persistent ? SQLITE_PREPARE_PERSISTENT : 0, &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        Fail(rc);
    }
    return TSqliteStatement(FDb, st);
}

void TSqliteDatabase::Exec(QByteArrayView sql) const
{
    if (!FDb)
        Fail(SQLITE_MISUSE);
    const QByteArray text = sql.toByteArray();
    const int rc = sqlite3_exec(FDb, text.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

qint64 TSqliteDatabase::QueryInteger(QByteArrayView sql) const
{
    TSqliteStatement st = Prepare(sql);
    return st.Step() ? st.Integer(0) : 0;
}

void TSqliteDatabase::SetBusyTimeout(int ms) const
{
    if (FDb)
        sqlite3_busy_timeout(FDb, ms);
}

qint64 TSqliteDatabase::LastInsertRowId() const { return sqlite3_last_insert_rowid(FDb); }

bool TSqliteDatabase::InTransaction() const { return FDb && sqlite3_get_autocommit(FDb) == 0; }

// ---------------------------------------------------------------- TSqliteTransaction

TSqliteTransaction::TSqliteTransaction(const TSqliteDatabase& db)
    : FDb(db), FNested(db.InTransaction())
{
    FDb.Exec(FNested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

TSqliteTransaction::~TSqliteTransaction()
{
    if (!FOpen)
        return;
    try {
        FDb.Exec(FNested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
    } catch (const ESqliteError&) {
        // A failed statement may have rolled the transaction back already.
    }
}

void TSqliteTransaction::Commit()
{
    FDb.Exec(FNested ? "RELEASE nested" : "COMMIT");
    FOpen = false;
}
