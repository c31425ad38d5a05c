#pragma once
// The program's one way of talking to SQLite: a database handle and its prepared
// statements, each closed by its destructor, and the one place where values are bound
// to a statement and read from a row. Every statement of the program, from reading a
// whole table to a pragma, goes through these.
//
// A failure throws ESqliteError with SQLite's extended result code, from which the
// catalogue names the cause; no text of SQLite's is ever taken apart.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <sqlite3.h>

#include <exception>
#include <string_view>

class ESqliteError : public std::exception {
public:
    ESqliteError(int code, QString detail);
    // SQLite's extended result code (SQLITE_READONLY_DBMOVED, SQLITE_BUSY, ...).
    int Code() const noexcept { return FCode; }
    // The primary result code, the low byte of Code().
    int PrimaryCode() const noexcept { return FCode & 0xff; }
    // SQLite's own words, for what no result code tells (a table changed by hand).
    const QString& Detail() const noexcept { return FDetail; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    int FCode;
    QString FDetail;
    QByteArray FUtf8;
};

// One prepared statement. Values are bound from 1, as SQLite counts parameters;
// columns of the current row are read from 0.
class TSqliteStatement {
public:
    TSqliteStatement() = default;
    ~TSqliteStatement();
    TSqliteStatement(TSqliteStatement&& other) noexcept;
    TSqliteStatement& operator=(TSqliteStatement&& other) noexcept;
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    bool Prepared() const { return FSt != nullptr; }

    void BindNull(int at);
    void BindInteger(int at, qint64 value);
    // The text is copied, so it need not outlive the call.
    void BindText(int at, QStringView text);

    // Takes a step: true with a row to read, false once the statement is done.
    bool Step();
    // Makes the statement ready to run again and drops its bound values. A statement
    // left mid-way would keep its snapshot of the file, and a writing one its lock.
    void Reset();

    // Inline: reading a large table asks these of every cell.
    bool IsNull(int column) const { return sqlite3_column_type(FSt, column) == SQLITE_NULL; }
    // True when the cell holds a whole number (not a text, a fraction or a blob).
    bool IsInteger(int column) const { return sqlite3_column_type(FSt, column) == SQLITE_INTEGER; }
    qint64 Integer(int column) const { return sqlite3_column_int64(FSt, column); }
    // The cell as UTF-8, valid until the next step; empty for a null.
    std::string_view Utf8(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FSt, column));
        if (!text)
            return {};
        return {text, size_t(sqlite3_column_bytes(FSt, column))};
    }
    QString Text(int column) const;

private:
    friend class TSqliteDatabase;
    TSqliteStatement(sqlite3* db, sqlite3_stmt* st) : FDb(db), FSt(st) {}
    void Check(int rc) const;

    sqlite3* FDb = nullptr;
    sqlite3_stmt* FSt = nullptr;
};

// One connection to a database file.
class TSqliteDatabase {
public:
    enum class TAccess { ReadOnly, ReadWrite, ReadWriteCreate };

    TSqliteDatabase() = default;
    ~TSqliteDatabase();
    TSqliteDatabase(TSqliteDatabase&& other) noexcept;
    TSqliteDatabase& operator=(TSqliteDatabase&& other) noexcept;
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    // Opens the file named by URI (a "file:" URI, its bytes percent-encoded). A handle
    // is used by one thread at a time, so it needs no mutex of its own.
    static TSqliteDatabase Open(const QByteArray& uri, TAccess access);
    bool IsOpen() const { return FDb != nullptr; }
    // Closes the file; statements must have been finalized first.
    void Close();

    // PERSISTENT: the statement is kept for many runs (SQLite then places it apart).
    TSqliteStatement Prepare(QByteArrayView sql, bool persistent = false) const;
    // Runs SQL, which may hold several statements and whose rows are ignored.
    void Exec(QByteArrayView sql) const;
    // The first column of the first row SQL gives; 0 when it gives none.
    qint64 QueryInteger(QByteArrayView sql) const;

    void SetBusyTimeout(int ms) const;
    qint64 LastInsertRowId() const;
    // True while a transaction is open.
    bool InTransaction() const;

private:
    [[noreturn]] void Fail(int rc) const;

    sqlite3* FDb = nullptr;
};

// A write transaction that takes the file's write lock at once (waiting as long as the
// busy timeout allows) and is rolled back unless it is committed. Inside another
// transaction it is a savepoint of that one: its commit keeps its changes for the outer
// transaction to commit, and its rollback undoes only them.
class TSqliteTransaction {
public:
    explicit TSqliteTransaction(const TSqliteDatabase& db);
    ~TSqliteTransaction();
    TSqliteTransaction(const TSqliteTransaction&) = delete;
    TSqliteTransaction& operator=(const TSqliteTransaction&) = delete;

    void Commit();

private:
    const TSqliteDatabase& FDb;
    bool FNested;
    bool FOpen = true;
};

// NAME as an identifier in SQL: a table's or a column's name, in double quotes.
QString SqlName(const QString& name);
