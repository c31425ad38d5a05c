#pragma once
// A Jet database (.mdb) as libmdb reads it: its tables by name, their columns, and
// their rows one at a time with every cell as text. libmdb keeps no state between
// handles, so each reader owns one file handle.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace JetImport {

// The kinds of Jet column the conversion knows; anything else is Other.
enum class TJetType { Boolean, Byte, Integer, Long, Text, Memo, DateTime, Other };

struct TJetColumn {
    QString Name;
    TJetType Type = TJetType::Other;
    QString TypeName; // libmdb's own name of the type, for messages
};

class TJetTable;

class TJetFile {
public:
    // Opens PATH; a file libmdb cannot read as Jet throws EJetError (Damaged).
    explicit TJetFile(const QString& path);
    ~TJetFile();
    TJetFile(const TJetFile&) = delete;
    TJetFile& operator=(const TJetFile&) = delete;

    // The user tables, in the catalogue's order.
    const QStringList& TableNames() const { return FTables; }
    // The table NAME (as TableNames gives it).
    std::unique_ptr<TJetTable> Table(const QString& name);

private:
    friend class TJetTable;
    struct THandle;
    std::unique_ptr<THandle> F;
    QString FPath;
    QStringList FTables;
};

class TJetTable {
public:
    ~TJetTable();
    TJetTable(const TJetTable&) = delete;
    TJetTable& operator=(const TJetTable&) = delete;

    const QVector<TJetColumn>& Columns() const { return FColumns; }
    // The row count the table's definition gives.
    qint64 RowCount() const;

    // Asks for the cells of the column at INDEX to be read by Next.
    void Read(int index);
    // Moves to the next row; false after the last one.
    bool Next();
    // The cell of column INDEX (asked for with Read) in the current row: its UTF-8
    // text, empty for a null or an empty text, "1"/"0" for a Yes/No.
    QByteArrayView Cell(int index) const;

private:
    friend class TJetFile;
    TJetTable() = default;
    struct TState;
    std::unique_ptr<TState> F;
    QVector<TJetColumn> FColumns;
};

} // namespace JetImport
