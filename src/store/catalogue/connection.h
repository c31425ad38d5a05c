#pragma once
// The connection to the catalogue file. The connection string keeps the familiar
// "Provider=...;Data Source=Tresmol.mdb;..." form; the file itself is SQLite.

#include "store/rows/dberrors.h"
#include "store/sqlite/sqlite.h"

#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

class TDataSet;

class TADOConnection {
public:
    static inline const QString DefaultConnectionString =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Tresmol.mdb;"
                       "Persist Security Info=False");

    explicit TADOConnection(QString connectionString = DefaultConnectionString);
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    const QString& ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString& s);

    // The file named by "Data Source=" (resolved against the working directory
    // when it has no folder).
    QString DataSourcePath() const;
    // The catalogue's name as the status bar reports it: the "Data Source" item's text
    // exactly as written, when ";Data Source=" (in this case) introduces the item and
    // a ';' ends it. A string in another form names nothing, and the status bar keeps
    // what it showed.
    std::optional<QString> DataSourceName() const;
    // True when the connection string asks for "Mode=Read".
    bool ReadOnlyMode() const;

    // Checks that the file is a catalogue before touching it: a missing, empty, foreign
    // or incomplete file fails with a message saying what is wrong and stays unchanged.
    void Open();
    // Closes every dataset of the connection, then the file.
    void Close();
    // Closes the file as Close does, but leaves the datasets' rows in memory as they
    // are: for a process about to end, which takes its memory back at once where
    // freeing a large catalogue row by row would take longer than reading it did. The
    // datasets must not be used again, nor the connection reopened.
    void CloseForExit();
    bool Connected() const { return FConnected; }

    // How long a post waits for another process that holds the file locked.
    int BusyTimeoutMs() const { return FBusyTimeoutMs; }
    void SetBusyTimeoutMs(int ms);

    // The open file; a closed connection fails with the Closed fault for SUBJECT (the
    // table or the command that needs it).
    const TSqliteDatabase& Database(const QString& subject) const;

    // Another handle on the open file: for reading beside this one on another thread,
    // or (WRITABLE) for holding the file's write lock, which it asks for without
    // waiting. Not open when the file will not open so.
    TSqliteDatabase OpenSideHandle(bool writable) const;
    // How a large table is read (see TSqlGateway::Load): on two threads from
    // TwoReadersFromRows rows on; BetweenReaderStarts, when set, runs after the first
    // reader has begun and before the second does.
    struct TReadTuning {
        int TwoReadersFromRows = 20000;
        std::function<void()> BetweenReaderStarts;
    } ReadTuning;

    // Datasets register themselves so that closing the connection closes them.
    void RegisterDataSet(TDataSet* ds);
    void UnregisterDataSet(TDataSet* ds);

    // True when this user cannot write the catalogue file or its folder (see Open).
    bool ReadOnlyMedia() const { return FReadOnlyMedia; }
    // True when the file was opened as one that nothing changes: read without its log's
    // index and without locks (see Open).
    bool Immutable() const { return FImmutable; }

    // The failure of ACTION on this catalogue that SQLite's ERROR stands for, in words a
    // user can act on; SUBJECT names the table where the action's wording needs one.
    EDatabaseError Failure(TDbAction action, const ESqliteError& error,
                           const QString& subject = QString()) const;

private:
    void CheckFileIsCatalogue(const QString& path);
    // Checks that the open file holds every table and column of the schema.
    void CheckTables() const;

    QString FConnectionString;
    TSqliteDatabase FDb;
    QString FUri; // the file as SQLite opened it
    bool FConnected = false;
    bool FReadOnlyMedia = false;
    bool FImmutable = false;
    std::pair<dev_t, ino_t> FFileKey{}; // the file's device and inode, once checked
    int FBusyTimeoutMs = 2000;
    std::vector<TDataSet*> FDataSets;
};

// PATH (which may hold escaped bytes, see PathFromNative) as an SQLite URI, with QUERY.
QString SqliteUri(const QString& path, const QString& query = QString());
// The cause SQLite's ERROR stands for.
TDbFault SqliteFault(const ESqliteError& error);
// True when nothing can be created in PATH's folder: a read-only mount or disc, or a
// folder the user may not write to.
bool FolderIsReadOnly(const QString& path);

// Value of KEY in a "Key=Value;Key=Value" connection string (keys case-insensitive).
QString ConnectionStringValue(const QString& connectionString, const QString& key);
