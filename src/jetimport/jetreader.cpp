#include "jetimport/jetreader.h"

#include "jetimport/jetimport.h"
#include "platform/nativepath.h"

#include <mdbtools.h>

#include <cstring>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace JetImport {

namespace {

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

// A memo may be as long as a Jet text gets (64K characters, three bytes each in
// UTF-8), so a cell's buffer holds that much.
constexpr size_t CellBytes = 3 * 65536 + 16;

} // namespace

struct TJetFile::THandle {
    MdbHandle* Mdb = nullptr;
    ~THandle()
    {
        if (Mdb)
            mdb_close(Mdb);
    }
};

TJetFile::TJetFile(const QString& path) : F(std::make_unique<THandle>()), FPath(path)
{
    F->Mdb = mdb_open(PathToNative(path).constData(), MDB_NOFLAGS);
    if (!F->Mdb)
        throw EJetError(TJetFault::Damaged, path);
    // Texts come as UTF-8 unless the environment asks libmdb for another encoding.
    const char* charset = mdb_target_charset(F->Mdb);
    if (charset && qstricmp(charset, "UTF-8") != 0 && qstricmp(charset, "UTF8") != 0)
        throw EJetError(TJetFault::Encoding, path, QString::fromLatin1(charset));
    mdb_set_bind_size(F->Mdb, CellBytes);
    mdb_set_boolean_fmt_numbers(F->Mdb);
    mdb_set_date_fmt(F->Mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(F->Mdb, "%Y-%m-%d");
    if (!mdb_read_catalog(F->Mdb, MDB_TABLE))
        throw EJetError(TJetFault::Damaged, path);
    for (unsigned i = 0; i < F->Mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(F->Mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            FTables << QString::fromUtf8(entry->object_name);
    }
}

TJetFile::~TJetFile() = default;

struct TJetTable::TState {
    MdbTableDef* Table = nullptr;
    std::vector<std::unique_ptr<char[]>> Buffers;
    std::vector<int> Lengths;
    ~TState()
    {
        if (Table)
            mdb_free_tabledef(Table);
    }
};

std::unique_ptr<TJetTable> TJetFile::Table(const QString& name)
{
    std::unique_ptr<TJetTable> table(new TJetTable);
    table->F = std::make_unique<TJetTable::TState>();
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(F->Mdb, name.toUtf8().constData());
    if (!entry)
        throw EJetError(TJetFault::Damaged, FPath);
    table->F->Table = mdb_read_table(entry);
    if (!table->F->Table || !mdb_read_columns(table->F->Table) ||
        table->F->Table->num_cols != table->F->Table->columns->len)
        throw EJetError(TJetFault::Damaged, FPath);
    MdbTableDef* def = table->F->Table;
    table->F->Buffers.resize(def->num_cols);
    table->F->Lengths.assign(def->num_cols, 0);
    for (unsigned i = 0; i < def->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        table->FColumns.append(
            {QString::fromUtf8(col->name), TypeOf(col->col_type), TypeName(col->col_type)});
    }
    mdb_rewind_table(def);
    return table;
}

TJetTable::~TJetTable() = default;

qint64 TJetTable::RowCount() const { return F->Table->num_rows; }

void TJetTable::Read(int index)
{
    auto& buffer = F->Buffers[size_t(index)];
    if (buffer)
        return;
    buffer.reset(new char[CellBytes]);
    buffer[0] = '\0';
    mdb_bind_column(F->Table, index + 1, buffer.get(), &F->Lengths[size_t(index)]);
}

bool TJetTable::Next()
{
    if (!mdb_fetch_row(F->Table))
        return false;
    return true;
}

QByteArrayView TJetTable::Cell(int index) const
{
    const int length = F->Lengths[size_t(index)];
    if (length <= 0)
        return {};
    const char* text = F->Buffers[size_t(index)].get();
    return QByteArrayView(text, qsizetype(::strnlen(text, std::min(size_t(length), CellBytes))));
}

} // namespace JetImport
