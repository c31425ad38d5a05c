#pragma once
// A Jet database (.mdb) as libmdb reads it: the header of every user table (its name,
// row count and columns), then the rows of the tables asked for, every cell as text.
//
// libmdb trusts the file: a damaged one can make it read past its buffers, and on
// some layouts it ends the process itself. So it runs in a child process of its own,
// which streams what it reads through a pipe; a child that dies or stops early means
// a damaged file, never a crash of the program.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <sys/types.h>

namespace JetImport {

// The kinds of Jet column the conversion knows; anything else is Other.
enum class TJetType { Boolean, Byte, Integer, Long, Text, Memo, DateTime, Other };

struct TJetColumn {
    QString Name;
    TJetType Type = TJetType::Other;
    QString TypeName; // the type's name in Access, for messages
};

struct TJetTableHead {
    QString Name;
    qint64 Rows = 0; // as the table's definition gives it
    QVector<TJetColumn> Columns;
};

class TJetReader {
public:
    // Starts reading PATH; the rows of the tables named in WANTED (whatever the case)
    // follow the headers. Throws EJetError when PATH is not a readable Jet file.
    TJetReader(const QString& path, const QStringList& wanted);
    TJetReader(const TJetReader&) = delete;
    TJetReader& operator=(const TJetReader&) = delete;

    // Every user table, in the file's catalogue order.
    const QVector<TJetTableHead>& Tables() const { return FTables; }

    // The index (in Tables) of the table whose rows come next, or -1 once all the wanted
    // tables have come.
    int NextTable();
    // Moves to the next row of the current table; false after its last one.
    bool NextRow();
    // The cell of column INDEX in the current row: its UTF-8 text, empty for a null or
    // an empty text, "1"/"0" for a Yes/No.
    QByteArrayView Cell(int index) const;

private:
    [[noreturn]] void Fail();
    void Fill(qsizetype needed);
    char Byte();
    quint32 Number();
    QByteArray Bytes(quint32 size);

    // The reading child and our end of its pipe. A member of its own, so that the
    // child is stopped and waited for however the reader ends, also when its
    // constructor throws: a child never waited for stays a zombie as long as the
    // program runs.
    struct TChild {
        pid_t Pid = -1;
        int Pipe = -1;
        TChild() = default;
        TChild(const TChild&) = delete;
        TChild& operator=(const TChild&) = delete;
        // Stops the child when it is still reading.
        ~TChild();
        // Closes the pipe and waits for the child to end by itself; true when it ended
        // well.
        bool Finish();
    };

    QString FPath;
    TChild FChild;
    QByteArray FBuffer;
    qsizetype FAt = 0;
    QVector<TJetTableHead> FTables;
    int FCurrent = -1;
    // The current row: where each cell starts in FRow, and its length.
    QByteArray FRow;
    QVector<qsizetype> FStart;
    QVector<quint32> FLength;
};

} // namespace JetImport
