#pragma once
// How a value of the catalogue travels between the file and memory. This is the one
// rule for empty and null, used when a row is read, bound, compared and shown:
//
//   Text     An empty text and a null one are the same value, "no text". The file
//            may hold either (earlier versions of the program wrote '' for an empty
//            version item, other programs write either); both read as null, the
//            program writes NULL for it, and a check of "still unchanged" finds ''
//            and NULL equal. It shows as an empty box, and a box the user empties
//            stores it. So a field the user emptied and one never filled read,
//            compare and save alike.
//   Integer  A whole number that fits 32 bits reads as it is. NULL, and anything
//            else another program may have put there (a larger number, a fraction,
//            a text), reads as null: it shows empty, and the record stays editable;
//            the cell itself is left as it was until the user writes that field.
//   Boolean  0 is false, NULL is null (a grey check box) and anything else true.
//            The program's own files refuse NULL there, and a new record's
//            Booleans are written false unless they are set; only a file another
//            program made holds null flags.
//
// "Still unchanged" compares the row read again from the file, through the same rule,
// with the row as it was read before: what the program read is what it compares.

#include "store/catalogue/schema.h"

#include <QVariant>

#include <optional>
#include <string_view>

class TSqliteStatement;

namespace Cells {

// V as the catalogue keeps a value of TYPE in memory: what reading it back gives.
QVariant Normal(TFieldType type, const QVariant& v);

// True when A and B are the same value of TYPE under the rule.
bool Same(TFieldType type, const QVariant& a, const QVariant& b);

// Binds V, a value of TYPE, as parameter AT of ST.
void Bind(TSqliteStatement& st, int at, TFieldType type, const QVariant& v);

// Column COLUMN of ST's current row as a value of TYPE.
QVariant Read(const TSqliteStatement& st, int column, TFieldType type);

// The same, in the forms a whole table is read in: a text's UTF-8 (empty for no
// text), a number (none for null), a Boolean.
std::string_view ReadText(const TSqliteStatement& st, int column);
std::optional<int> ReadInteger(const TSqliteStatement& st, int column);
std::optional<bool> ReadBoolean(const TSqliteStatement& st, int column);

} // namespace Cells
