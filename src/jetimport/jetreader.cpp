#include "jetimport/jetreader.h"

#include "jetimport/jetimport.h"
#include "platform/nativepath.h"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace JetImport {

namespace {

// What the child writes: 'H', the table count, then per table its name, row count,
// column count and per column its name and libmdb type; then per wanted table 'T' and
// its index, 'R' and per column a length (NullLength for none) and the bytes for each
// row, and 'E' after its last row; 'Z' at the end. 'C' and the encoding's name instead
// of 'H' when libmdb is told to give texts in another encoding than UTF-8.
constexpr quint32 NullLength = 0xffffffffu;

// How long the child may go without a byte before it counts as stuck: libmdb may loop
// for ever on a damaged file, and a sound one yields rows at once.
constexpr int StallMs = 20000;

// A memo may be as long as a Jet text gets (64K characters, three bytes each in
// UTF-8), so a cell's buffer holds that much.
constexpr size_t CellBytes = 3 * 65536 + 16;

TJetType TypeOf(int type)
{
    switch (type) {
    case MDB_BOOL:
        return TJetType::Boolean;
    case MDB_BYTE:
        return TJetType::Byte;
    case MDB_INT:
        return TJetType::Integer;
    case MDB_LONGINT:
        return TJetType::Long;
    case MDB_TEXT:
        return TJetType::Text;
    case MDB_MEMO:
        return TJetType::Memo;
    case MDB_DATETIME:
        return TJetType::DateTime;
    default:
        return TJetType::Other;
    }
}

QString TypeName(int type)
{
    switch (type) {
    case MDB_BOOL:
        return u"Yes/No"_s;
    case MDB_BYTE:
        return u"Byte"_s;
    case MDB_INT:
        return u"Integer"_s;
    case MDB_LONGINT:
        return u"Long Integer"_s;
    case MDB_MONEY:
        return u"Currency"_s;
    case MDB_FLOAT:
        return u"Single"_s;
    case MDB_DOUBLE:
        return u"Double"_s;
    case MDB_DATETIME:
        return u"Date/Time"_s;
    case MDB_BINARY:
        return u"Binary"_s;
    case MDB_TEXT:
        return u"Text"_s;
    case MDB_OLE:
        return u"OLE Object"_s;
    case MDB_MEMO:
        return u"Memo"_s;
    case MDB_REPID:
        return u"Replication ID"_s;
    case MDB_NUMERIC:
        return u"Decimal"_s;
    default:
        return u"type %1"_s.arg(type);
    }
}

// The child's side: plain C and libmdb only, since it was forked from a process that
// may run other threads. Every failure ends it with a non-zero status.
class TChildWriter {
public:
    explicit TChildWriter(int fd) : FOut(::fdopen(fd, "w"))
    {
        if (!FOut)
            ::_exit(3);
        ::setvbuf(FOut, nullptr, _IOFBF, 1 << 20);
    }
    void Byte(char c) { Put(&c, 1); }
    void Number(quint32 n)
    {
        unsigned char b[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                              static_cast<unsigned char>(n >> 16),
                              static_cast<unsigned char>(n >> 24)};
        Put(b, 4);
    }
    void Text(const char* s, size_t n)
    {
        Number(quint32(n));
        Put(s, n);
    }
    void Text(const char* s) { Text(s, ::strlen(s)); }
    [[noreturn]] void Finish()
    {
        if (std::fflush(FOut) != 0)
            ::_exit(3);
        ::_exit(0);
    }

private:
    void Put(const void* data, size_t n)
    {
        if (n && std::fwrite(data, 1, n, FOut) != n)
            ::_exit(3);
    }
    FILE* FOut;
};

[[noreturn]] void RunChild(int fd, const char* path, const std::vector<std::string>& wanted)
{
    TChildWriter out(fd);
    MdbHandle* mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb)
        ::_exit(2);
    // Texts come as UTF-8 unless the environment asks libmdb for another encoding.
    const char* charset = mdb_target_charset(mdb);
    if (charset && ::strcasecmp(charset, "UTF-8") != 0 && ::strcasecmp(charset, "UTF8") != 0) {
        out.Byte('C');
        out.Text(charset);
        out.Finish();
    }
    mdb_set_bind_size(mdb, CellBytes);
    mdb_set_boolean_fmt_numbers(mdb);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        ::_exit(2);
    std::vector<MdbCatalogEntry*> tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            tables.push_back(entry);
    }
    auto open = [](MdbCatalogEntry* entry) {
        MdbTableDef* table = mdb_read_table(entry);
        if (!table || !mdb_read_columns(table) || table->num_cols != table->columns->len)
            ::_exit(2);
        return table;
    };
    out.Byte('H');
    out.Number(quint32(tables.size()));
    for (MdbCatalogEntry* entry : tables) {
        MdbTableDef* table = open(entry);
        out.Text(entry->object_name);
        out.Number(table->num_rows);
        out.Number(table->num_cols);
        for (unsigned c = 0; c < table->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            out.Text(col->name);
            out.Number(quint32(col->col_type));
        }
        mdb_free_tabledef(table);
    }
    std::vector<char*> buffers;
    std::vector<int> lengths;
    for (size_t t = 0; t < tables.size(); ++t) {
        bool want = false;
        for (const std::string& name : wanted)
            want = want || ::strcasecmp(name.c_str(), tables[t]->object_name) == 0;
        if (!want)
            continue;
        MdbTableDef* table = open(tables[t]);
        buffers.resize(table->num_cols);
        lengths.assign(table->num_cols, 0);
        for (unsigned c = 0; c < table->num_cols; ++c) {
            buffers[c] = static_cast<char*>(std::realloc(buffers[c], CellBytes));
            if (!buffers[c])
                ::_exit(3);
            buffers[c][0] = '\0';
            mdb_bind_column(table, int(c) + 1, buffers[c], &lengths[c]);
        }
        out.Byte('T');
        out.Number(quint32(t));
        mdb_rewind_table(table);
        while (mdb_fetch_row(table)) {
            out.Byte('R');
            for (unsigned c = 0; c < table->num_cols; ++c) {
                if (lengths[c] <= 0) {
                    out.Number(NullLength);
                    continue;
                }
                out.Text(buffers[c],
                         ::strnlen(buffers[c], std::min(size_t(lengths[c]), CellBytes)));
            }
        }
        out.Byte('E');
        mdb_free_tabledef(table);
    }
    out.Byte('Z');
    out.Finish();
}

} // namespace

TJetReader::TJetReader(const QString& path, const QStringList& wanted) : FPath(path)
{
    const QByteArray native = PathToNative(path);
    std::vector<std::string> names;
    for (const QString& name : wanted)
        names.push_back(name.toStdString());
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw EJetError(TJetFault::Source, path, QString::fromLocal8Bit(std::strerror(errno)));
    FChild.Pid = ::fork();
    if (FChild.Pid < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw EJetError(TJetFault::Source, path, QString::fromLocal8Bit(std::strerror(error)));
    }
    if (FChild.Pid == 0) {
        ::close(fds[0]);
        RunChild(fds[1], native.constData(), names);
    }
    ::close(fds[1]);
    FChild.Pipe = fds[0];

    const char kind = Byte();
    if (kind == 'C') {
        const QByteArray charset = Bytes(Number());
        throw EJetError(TJetFault::Encoding, path, QString::fromLatin1(charset));
    }
    if (kind != 'H')
        Fail();
    const quint32 count = Number();
    for (quint32 t = 0; t < count; ++t) {
        TJetTableHead head;
        head.Name = QString::fromUtf8(Bytes(Number()));
        head.Rows = Number();
        const quint32 columns = Number();
        for (quint32 c = 0; c < columns; ++c) {
            const QString name = QString::fromUtf8(Bytes(Number()));
            const int type = int(Number());
            head.Columns.append({name, TypeOf(type), TypeName(type)});
        }
        FTables.append(head);
    }
}

TJetReader::TChild::~TChild()
{
    if (Pipe >= 0)
        ::close(Pipe);
    if (Pid > 0) {
        ::kill(Pid, SIGKILL);
        while (::waitpid(Pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

bool TJetReader::TChild::Finish()
{
    ::close(Pipe);
    Pipe = -1;
    int status = 0;
    pid_t r;
    do
        r = ::waitpid(Pid, &status, 0);
    while (r < 0 && errno == EINTR);
    Pid = -1;
    return r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void TJetReader::Fail()
{
    // The child stopped early or wrote what it never writes: it met a file it could
    // not read.
    throw EJetError(TJetFault::Damaged, FPath);
}

void TJetReader::Fill(qsizetype needed)
{
    if (FBuffer.size() - FAt >= needed)
        return;
    FBuffer.remove(0, FAt);
    FAt = 0;
    constexpr qsizetype Chunk = 1 << 20;
    while (FBuffer.size() < needed) {
        const qsizetype had = FBuffer.size();
        FBuffer.resize(had + qMax(Chunk, needed - had));
        pollfd ready{FChild.Pipe, POLLIN, 0};
        int polled;
        do
            polled = ::poll(&ready, 1, StallMs);
        while (polled < 0 && errno == EINTR);
        if (polled == 0)
            Fail();
        ssize_t got;
        do
            got = ::read(FChild.Pipe, FBuffer.data() + had, size_t(FBuffer.size() - had));
        while (got < 0 && errno == EINTR);
        FBuffer.resize(had + qMax<qsizetype>(got, 0));
        if (got <= 0)
            Fail();
    }
}

char TJetReader::Byte()
{
    Fill(1);
    return FBuffer[FAt++];
}

quint32 TJetReader::Number()
{
    Fill(4);
    const auto* b = reinterpret_cast<const unsigned char*>(FBuffer.constData() + FAt);
    FAt += 4;
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

QByteArray TJetReader::Bytes(quint32 size)
{
    if (size > CellBytes)
        Fail();
    Fill(qsizetype(size));
    const QByteArray bytes = FBuffer.mid(FAt, size);
    FAt += size;
    return bytes;
}

int TJetReader::NextTable()
{
    const char kind = Byte();
    if (kind == 'Z') {
        // Everything came; the child must also have ended well.
        if (!FChild.Finish())
            Fail();
        return -1;
    }
    if (kind != 'T')
        Fail();
    const quint32 index = Number();
    if (index >= quint32(FTables.size()))
        Fail();
    FCurrent = int(index);
    const qsizetype columns = FTables[FCurrent].Columns.size();
    FStart.resize(columns);
    FLength.resize(columns);
    return FCurrent;
}

bool TJetReader::NextRow()
{
    const char kind = Byte();
    if (kind == 'E')
        return false;
    if (kind != 'R')
        Fail();
    FRow.resize(0);
    for (qsizetype c = 0; c < FStart.size(); ++c) {
        const quint32 length = Number();
        if (length == NullLength) {
            FStart[c] = 0;
            FLength[c] = 0;
            continue;
        }
        if (length > CellBytes)
            Fail();
        Fill(qsizetype(length));
        FStart[c] = FRow.size();
        FLength[c] = length;
        FRow.append(FBuffer.constData() + FAt, length);
        FAt += length;
    }
    return true;
}

QByteArrayView TJetReader::Cell(int index) const
{
    return QByteArrayView(FRow.constData() + FStart[index], FLength[index]);
}

} // namespace JetImport
