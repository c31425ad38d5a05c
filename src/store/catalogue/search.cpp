#include "store/catalogue/search.h"

#include "store/catalogue/datamodule.h"
#include "store/rows/dberrors.h"

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
    TDataSet& table = dm.BookTable;
    const QString previous = dm.SearchText();
    // A name that begins with the longer text begins with the shorter one, and sorts
    // after it: a character typed on can only hide rows, and the rows shown so far are
    // all that need testing. Only while the table shows the previous text's search (a
    // failed change may have left another), and not when the previous text ends inside
    // a character that the new one completes, which folds as a whole.
    const bool narrows = table.Filtered() && !previous.isEmpty() && text.size() > previous.size() &&
                         text.startsWith(previous) && !previous.back().isHighSurrogate() &&
                         table.Filter() == ExpressionFor(previous);
    dm.SetSearchText(text);
    const QString expression = ExpressionFor(text);
    if (text.isEmpty()) {
        // Off first; the expression is then only kept.
        table.SetFiltered(false);
        table.SetFilter(expression);
    } else if (narrows) {
        table.NarrowFilter(expression);
    } else {
        // The expression first, so that switching on filters the rows once.
        table.SetFilter(expression);
        table.SetFiltered(true);
    }
}

} // namespace Search
