#include "store/search.h"

#include "store/datamodule.h"
#include "store/dberrors.h"

using namespace Qt::Literals::StringLiterals;

namespace Search {

const QVector<TSortKey>& SortKeys()
{
    static const QVector<TSortKey> keys = {
        {u"name"_s, u"Название"_s, u"ProductName"_s},
        {u"platform"_s, u"Платформа"_s, u"Platform"_s},
        {u"category"_s, u"Категория"_s, u"Category"_s},
        {u"type"_s, u"Тип"_s, u"TypeDisc"_s},
        {u"maker"_s, u"Производитель"_s, u"ManufacturerDisc"_s},
        {u"size"_s, u"Размер"_s, u"Size"_s},
    };
    return keys;
}

QString SortFieldForKey(const QString& key)
{
    for (const TSortKey& k : SortKeys())
        if (k.Key.compare(key, Qt::CaseInsensitive) == 0)
            return k.Field;
    throw EDatabaseError(u"unknown sort key \""_s + key +
                         u"\" (use name, platform, category, type, maker or size)"_s);
}

QString ExpressionFor(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', u"''"_s);
    return u"ProductName>='"_s + quoted + u'\'';
}

void Apply(TDataModule1& dm, const QString& text)
{
    dm.SetSearchText(text);
    TDataSet& table = dm.BookTable;
    const QString expression = ExpressionFor(text);
    if (text.isEmpty()) {
        // Off first; the expression is then only kept.
        table.SetFiltered(false);
        table.SetFilter(expression);
    } else {
        // The expression first, so that switching on filters the rows once.
        table.SetFilter(expression);
        table.SetFiltered(true);
    }
}

} // namespace Search
