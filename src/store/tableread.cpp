#include "store/tableread.h"

#include "store/connection.h"
#include "store/dberrors.h"

#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

// One reader of the table: a statement giving the key, then its share of the
// columns, and the columns those go to.
class TReader {
public:
    // DB is closed with the reader when OWNSDB.
    TReader(sqlite3* db, bool ownsDb) : FDb(db), FOwnsDb(ownsDb) {}
    ~TReader()
    {
        sqlite3_finalize(FSt);
        if (FOwnsDb)
            sqlite3_close(FDb);
    }
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    void Add(TRowStore::TColumn& column, const TSqlGateway::TColumnSlot& slot)
    {
        FTargets.push_back({&column, slot.Type == TFieldType::ftString});
        FNames << TSqlGateway::SqlName(slot.Name);
    }
    // Keeps the keys read, for comparing with another reader's.
    void KeepKeys(int rows)
    {
        FKeepKeys = true;
        FKeys.reserve(size_t(rows));
    }

    // Prepares the statement and takes its first step, which fixes the snapshot this
    // reader sees to the end. False, with Error() set, when the table cannot be read.
    bool Start(const QString& table, const QString& keyName, int expectedRows)
    {
        const QByteArray sql =
            (u"SELECT "_s + keyName + u", "_s + FNames.join(u", "_s) + u" FROM "_s +
             TSqlGateway::SqlName(table) + u" ORDER BY "_s + keyName)
                .toUtf8();
        if (sqlite3_prepare_v2(FDb, sql.constData(), int(sql.size()), &FSt, nullptr) != SQLITE_OK) {
            FError = QString::fromUtf8(sqlite3_errmsg(FDb));
            return false;
        }
        const int room = TRowStore::RoomFor(expectedRows);
        for (const TTarget& t : FTargets) {
            if (t.Text) {
                t.Column->Text.Reserve(room);
            } else {
                t.Column->Ints.reserve(size_t(room));
                t.Column->Nulls.reserve(size_t(room));
            }
        }
        FRc = sqlite3_step(FSt);
        return true;
    }

    // Reads the remaining rows. Error() tells of a failure on the way.
    void Fill()
    {
        for (; FRc == SQLITE_ROW; FRc = sqlite3_step(FSt)) {
            const int row = FRows++;
            if (FKeepKeys)
                FKeys.push_back(sqlite3_column_int(FSt, 0));
            int i = 1;
            for (const TTarget& t : FTargets) {
                TRowStore::TColumn& c = *t.Column;
                if (t.Text) {
                    // A null cell gives no text at all (an empty one gives an empty
                    // text), which saves asking for its type first.
                    c.Text.AppendNull();
                    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(FSt, i));
                    if (text)
                        c.Text.SetUtf8(row, text, sqlite3_column_bytes(FSt, i));
                } else {
                    const bool null = sqlite3_column_type(FSt, i) == SQLITE_NULL;
                    c.Ints.push_back(null ? 0 : sqlite3_column_int(FSt, i));
                    c.Nulls.push_back(null ? 1 : 0);
                }
                ++i;
            }
        }
        if (FRc != SQLITE_DONE)
            FError = QString::fromUtf8(sqlite3_errmsg(FDb));
        // Done with the snapshot: a writer waiting for the file is let go at once.
        sqlite3_finalize(FSt);
        FSt = nullptr;
    }

    const QString& Error() const { return FError; }
    int Rows() const { return FRows; }
    const std::vector<int>& Keys() const { return FKeys; }

private:
    struct TTarget {
        TRowStore::TColumn* Column;
        bool Text;
    };
    sqlite3* FDb;
    bool FOwnsDb;
    sqlite3_stmt* FSt = nullptr;
    std::vector<TTarget> FTargets;
    QStringList FNames;
    bool FKeepKeys = false;
    std::vector<int> FKeys;
    int FRows = 0;
    int FRc = SQLITE_DONE;
    QString FError;
};

// The file's write lock, held on a handle of its own while the readers begin, so that
// no one commits between their starts. Taken without waiting.
class TWriteLock {
public:
    explicit TWriteLock(const TADOConnection& connection) : FDb(connection.OpenSideHandle(true))
    {
        FHeld = FDb && sqlite3_exec(FDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!FHeld)
            Release();
    }
    ~TWriteLock() { Release(); }
    TWriteLock(const TWriteLock&) = delete;
    TWriteLock& operator=(const TWriteLock&) = delete;

    bool Held() const { return FHeld; }
    void Release()
    {
        if (FHeld)
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        FHeld = false;
        sqlite3_close(FDb);
        FDb = nullptr;
    }

private:
    sqlite3* FDb;
    bool FHeld = false;
};

// Waits for a thread however the scope is left: the thread's reader lives in it.
class TJoined {
public:
    explicit TJoined(std::thread thread) : FThread(std::move(thread)) {}
    ~TJoined() { Join(); }
    void Join()
    {
        if (FThread.joinable())
            FThread.join();
    }

private:
    std::thread FThread;
};

} // namespace

namespace TableRead {

int Read(TADOConnection& connection, const QString& table, const QString& keyName,
         const QVector<TSqlGateway::TColumnSlot>& columns, int expectedRows,
         std::vector<TRowStore::TColumn>& columnsOut)
{
    const QString failure = u"Cannot read the table "_s + table;
    int fields = 0;
    for (const TSqlGateway::TColumnSlot& c : columns)
        fields = std::max(fields, c.Field + 1);
    columnsOut.clear();
    columnsOut.resize(size_t(fields));

    // Texts cost the most to read, so the second reader takes every other text
    // column, and every other number column.
    std::vector<char> toSecond;
    int texts = 0, numbers = 0;
    for (const TSqlGateway::TColumnSlot& c : columns)
        toSecond.push_back((c.Type == TFieldType::ftString ? texts++ : numbers++) % 2);
    bool two = expectedRows >= connection.ReadTuning.TwoReadersFromRows &&
               std::count(toSecond.begin(), toSecond.end(), 1) > 0;
    // On read-only media the file is immutable: no writer can exist, and no lock is
    // needed (nor could be had).
    std::optional<TWriteLock> lock;
    if (two && !connection.ReadOnlyMedia()) {
        lock.emplace(connection);
        two = lock->Held();
    }
    sqlite3* sideDb = two ? connection.OpenSideHandle(false) : nullptr;
    two = sideDb != nullptr;
    if (!two)
        lock.reset();

    TReader first(connection.SqliteHandle(), false), second(sideDb, true);
    for (int i = 0; i < columns.size(); ++i)
        (two && toSecond[size_t(i)] ? second : first)
            .Add(columnsOut[size_t(columns[i].Field)], columns[i]);
    if (two) {
        first.KeepKeys(expectedRows);
        second.KeepKeys(expectedRows);
    }

    if (!first.Start(table, keyName, expectedRows))
        throw EDatabaseError(connection.Failure(failure, first.Error()));
    if (!two) {
        first.Fill();
        if (!first.Error().isEmpty())
            throw EDatabaseError(connection.Failure(failure, first.Error()));
        return first.Rows();
    }

    if (connection.ReadTuning.BetweenReaderStarts)
        connection.ReadTuning.BetweenReaderStarts();
    // Nothing is shared with the thread but SECOND, its handle and the lock, all
    // left alone here until it is joined.
    TJoined thread(std::thread([&second, &lock, &table, &keyName, expectedRows] {
        const bool started = second.Start(table, keyName, expectedRows);
        if (lock)
            lock->Release();
        if (started)
            second.Fill();
    }));
    first.Fill();
    thread.Join();

    if (!first.Error().isEmpty())
        throw EDatabaseError(connection.Failure(failure, first.Error()));
    if (!second.Error().isEmpty())
        throw EDatabaseError(connection.Failure(failure, second.Error()));
    if (first.Rows() != second.Rows() || first.Keys() != second.Keys())
        throw EDatabaseError(connection.Failure(
            failure, u"its two readers saw different rows; open the catalogue again"_s));
    return first.Rows();
}

} // namespace TableRead
