// Fuzz entry point: any bytes as the text of a filter expression. Parsing must either
// give an expression or throw EDatabaseError; an expression must then evaluate over
// rows of every kind of value.

#include "store/rows/dberrors.h"
#include "store/rows/filterexpr.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QStringList Fields{u"Name"_s, u"Year"_s, u"Тип диска"_s, u"Flag"_s};
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const TFilterExpr expr =
            TFilterExpr::Parse(text, [](const QString& name) { return int(Fields.indexOf(name)); });
        using K = TFilterExpr::TValue::TKind;
        for (const K kind : {K::Null, K::Number, K::Text}) {
            (void)expr.Evaluate([kind](int field, QString& holder) {
                TFilterExpr::TValue v;
                v.Kind = kind;
                v.Number = field * 1000.5;
                holder = u"b"_s.repeated(field);
                v.Text = holder;
                return v;
            });
        }
    } catch (const EDatabaseError&) {
    }
    return 0;
}
