#pragma once
// Every stored cell of a table as loaded, one line per row, telling a null from an
// empty text: for comparing one load with another, in this process or another.

#include "store/catalogue/dataset.h"

#include <QByteArray>
#include <QStringList>

// One cell as the dumps write it: TEXT tells a text field's value.
inline QString DumpCell(const QVariant& v, bool text)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (text)
        return u'"' + v.toString() + u'"';
    return QString::number(v.toLongLong());
}

inline QByteArray DumpTable(const TDataSet& table)
{
    QByteArray out;
    for (int row = 0; row < table.RecordCount(); ++row) {
        QStringList cells;
        for (int f = 0; f < table.FieldCount(); ++f) {
            const TField& field = *table.Fields(f);
            if (field.FieldKind() == TFieldKind::fkData)
                cells << DumpCell(table.ViewValue(row, f),
                                  field.DataType() == TFieldType::ftString);
        }
        out += cells.join(u'|').toUtf8() + '\n';
    }
    return out;
}
