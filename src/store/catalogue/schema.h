#pragma once
// What the catalogue file holds: six tables with their columns, and the field list
// through which the program sees the main table.

#include "store/rows/fieldtype.h"

#include <QString>
#include <QVector>

enum class TFieldKind { fkData, fkLookup, fkCalculated };

struct TColumnDef {
    QString Name;
    TFieldType Type = TFieldType::ftString;
    int Size = 0; // characters, text columns only
};

struct TTableDef {
    QString Name;
    QString KeyColumn;           // the auto-increment key
    QVector<TColumnDef> Columns; // key first
};

struct TFieldDef {
    QString FieldName;
    TFieldKind Kind = TFieldKind::fkData;
    TFieldType Type = TFieldType::ftString;
    int Size = 0;
    QString DisplayLabel;
    int DisplayWidth = 10; // characters
    bool Visible = true;
    bool ReadOnly = false;
    // Lookup fields: the key field of this table, the reference table, its matched
    // and result columns.
    QString KeyFields;
    QString LookupTable;
    QString LookupKeyFields;
    QString LookupResultField;
};

namespace Schema {

inline constexpr auto SoftTable = u"SoftTable";
inline constexpr auto TypeDiscBase = u"TypeDiscBase";
inline constexpr auto ManufacturerDiscBase = u"ManufacturerDiscBase";
inline constexpr auto ProgramtypeBase = u"ProgramtypeBase";
inline constexpr auto PlatformBase = u"PlatformBase";
inline constexpr auto CategoryBase = u"CategoryBase";

// The characters FileName holds: a whole path as the system allows it (PATH_MAX), an
// archive member's path after its archive's included.
inline constexpr int FileNameSize = 8192;

// The six tables, the main table first.
const QVector<TTableDef>& Tables();
const TTableDef* FindTable(const QString& name);

// The field list of a table's cursor: for SoftTable the 51 fields of the catalogue
// record, for the reference tables their key (hidden, read-only) and text.
QVector<TFieldDef> FieldDefs(const QString& tableName);
// The same list for a cursor that only shows the table, as the command line's listing
// does: a hidden stored field is not read unless it is the key or a shown lookup field
// takes its key from it. Such a field is held as a calculated field that nothing
// fills: it reads as null, and a post neither reads nor writes its column. A large
// catalogue then opens without the long texts nobody sees (paths, descriptions).
QVector<TFieldDef> ShownFieldDefs(const QString& tableName);

// SQL that creates a table (used only by the catalogue creation tool).
QString CreateTableSql(const TTableDef& table);

} // namespace Schema
