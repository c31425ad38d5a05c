#include "store/catalogue/tableread.h"

#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/rows/dberrors.h"

#include <QStringList>

#include <algorithm>
#include <optional>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

// One reader of the table: a statement giving the key, then its share of the
// columns, and the columns those go to.
class TReader {
public:
    // Reads through DB, which outlives the reader (or is not open, for a reader that is
    // never started).
    explicit TReader(const TSqliteDatabase& db) : FDb(db) {}
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;

    void Add(TRowStore::TColumn& column, const TSqlGateway::TColumnSlot& slot)
    {
        FTargets.push_back({&column, slot.Type == TFieldType::ftString, slot.Type});
        FNames << SqlName(slot.Name);
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
        const QByteArray sql = (u"SELECT "_s + keyName + u", "_s + FNames.join(u", "_s) +
                                u" FROM "_s + SqlName(table) + u" ORDER BY "_s + keyName)
                                   .toUtf8();
        try {
            FSt = FDb.Prepare(sql);
        } catch (const ESqliteError& e) {
            FError.emplace(e);
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
        Step();
        return true;
    }

    // Reads the remaining rows. Error() tells of a failure on the way.
    void Fill()
    {
        for (; FHasRow; Step()) {
            const int row = FRows++;
            if (FKeepKeys)
                FKeys.push_back(int(FSt.Integer(0)));
            int i = 1;
            for (const TTarget& t : FTargets) {
                TRowStore::TColumn& c = *t.Column;
                if (t.Text) {
                    c.Text.AppendNull();
                    const std::string_view text = Cells::ReadText(FSt, i);
                    if (!text.empty())
                        c.Text.SetUtf8(row, text.data(), int(text.size()));
                } else if (t.Type == TFieldType::ftBoolean) {
                    const std::optional<bool> b = Cells::ReadBoolean(FSt, i);
                    c.Ints.push_back(b.value_or(false) ? 1 : 0);
                    c.Nulls.push_back(b ? 0 : 1);
                } else {
                    const std::optional<int> n = Cells::ReadInteger(FSt, i);
                    c.Ints.push_back(n.value_or(0));
                    c.Nulls.push_back(n ? 0 : 1);
                }
                ++i;
            }
        }
        // Done with the snapshot: a writer waiting for the file is let go at once.
        FSt = TSqliteStatement();
    }

    const std::optional<ESqliteError>& Error() const { return FError; }
    int Rows() const { return FRows; }
    const std::vector<int>& Keys() const { return FKeys; }

private:
    struct TTarget {
        TRowStore::TColumn* Column;
        bool Text;
        TFieldType Type;
    };
    void Step()
    {
        try {
            FHasRow = FSt.Step();
        } catch (const ESqliteError& e) {
            FHasRow = false;
            FError.emplace(e);
        }
    }

    const TSqliteDatabase& FDb;
    TSqliteStatement FSt;
    std::vector<TTarget> FTargets;
    QStringList FNames;
    bool FKeepKeys = false;
    std::vector<int> FKeys;
    int FRows = 0;
    bool FHasRow = false;
    std::optional<ESqliteError> FError;
};

// The file's write lock, held on a handle of its own while the readers begin, so that
// no one commits between their starts. Taken without waiting.
class TWriteLock {
public:
    explicit TWriteLock(const TADOConnection& connection) : FDb(connection.OpenSideHandle(true))
    {
        try {
            if (FDb.IsOpen())
                FTransaction.emplace(FDb);
        } catch (const ESqliteError&) {
            // Another program is writing: the table is read on one thread.
        }
    }
    TWriteLock(const TWriteLock&) = delete;
    TWriteLock& operator=(const TWriteLock&) = delete;

    bool Held() const { return FTransaction.has_value(); }
    void Release() { FTransaction.reset(); }

private:
    TSqliteDatabase FDb;
    std::optional<TSqliteTransaction> FTransaction;
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
    const auto failure = [&](const ESqliteError& e) {
        return connection.Failure(TDbAction::ReadTable, e, table);
    };
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
    // A file opened as immutable takes no locks: the two readers see the same file
    // without one (nor could one be had).
    std::optional<TWriteLock> lock;
    if (two && !connection.Immutable()) {
        lock.emplace(connection);
        two = lock->Held();
    }
    const TSqliteDatabase sideDb = two ? connection.OpenSideHandle(false) : TSqliteDatabase();
    two = sideDb.IsOpen();
    if (!two)
        lock.reset();

    TReader first(connection.Database(table)), second(sideDb);
    for (int i = 0; i < columns.size(); ++i)
        (two && toSecond[size_t(i)] ? second : first)
            .Add(columnsOut[size_t(columns[i].Field)], columns[i]);
    if (two) {
        first.KeepKeys(expectedRows);
        second.KeepKeys(expectedRows);
    }

    if (!first.Start(table, keyName, expectedRows))
        throw failure(*first.Error());
    if (!two) {
        first.Fill();
        if (first.Error())
            throw failure(*first.Error());
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

    if (first.Error())
        throw failure(*first.Error());
    if (second.Error())
        throw failure(*second.Error());
    if (first.Rows() != second.Rows() || first.Keys() != second.Keys())
        throw EDatabaseError(
            u"Не удалось прочитать таблицу "_s + table +
                u": два читателя увидели разные строки; откройте каталог заново"_s,
            u"Cannot read the table "_s + table +
                u": its two readers saw different rows; open the catalogue again"_s);
    return first.Rows();
}

} // namespace TableRead
