#pragma once
// Every stored cell of a table as loaded, one line per row, telling a null from an
// empty text: for comparing one load with another, in this process or another.

#include "store/dataset.h"

#include <QByteArray>
#include <QStringList>

inline QByteArray DumpTable(const TDataSet& table)
{
    QByteArray out;
    for (int row = 0; row < table.RecordCount(); ++row) {
        QStringList cells;
        for (int f = 0; f < table.FieldCount(); ++f) {
            if (table.Fields(f)->FieldKind() != TFieldKind::fkData)
                continue;
            const QVariant v = table.ViewValue(row, f);
            if (v.isNull())
                cells << QStringLiteral("<null>");
            else if (v.typeId() == QMetaType::QString)
                cells << u'"' + v.toString() + u'"';
            else
                cells << QString::number(v.toLongLong());
        }
        out += cells.join(u'|').toUtf8() + '\n';
    }
    return out;
}
