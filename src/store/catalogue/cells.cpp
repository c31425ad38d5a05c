#include "store/catalogue/cells.h"

#include "store/sqlite/sqlite.h"

#include <limits>

namespace {

std::optional<int> AsInteger(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(n);
}

} // namespace

namespace Cells {

QVariant Normal(TFieldType type, const QVariant& v)
{
    switch (type) {
    case TFieldType::ftString: {
        if (v.isNull())
            return QVariant();
        QString text = v.toString();
        return text.isEmpty() ? QVariant() : QVariant(std::move(text));
    }
    case TFieldType::ftBoolean:
        return v.isNull() ? QVariant() : QVariant(v.toBool());
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        if (const std::optional<int> n = AsInteger(v))
            return *n;
        return QVariant();
    }
    return QVariant();
}

bool Same(TFieldType type, const QVariant& a, const QVariant& b)
{
    const QVariant x = Normal(type, a), y = Normal(type, b);
    if (x.isNull() || y.isNull())
        return x.isNull() == y.isNull();
    switch (type) {
    case TFieldType::ftString:
        return x.toString() == y.toString();
    case TFieldType::ftBoolean:
        return x.toBool() == y.toBool();
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return x.toInt() == y.toInt();
    }
    return false;
}

void Bind(TSqliteStatement& st, int at, TFieldType type, const QVariant& v)
{
    // A text by the rule of Normal without making a value: a harvest binds every
    // field of thousands of rows.
    if (type == TFieldType::ftString) {
        if (v.typeId() == QMetaType::QString) {
            const auto* text = static_cast<const QString*>(v.constData());
            text->isEmpty() ? st.BindNull(at) : st.BindText(at, *text);
        } else {
            const QVariant value = Normal(type, v);
            value.isNull() ? st.BindNull(at) : st.BindText(at, value.toString());
        }
        return;
    }
    const QVariant value = Normal(type, v);
    value.isNull() ? st.BindNull(at) : st.BindInteger(at, value.toInt());
}

QVariant Read(const TSqliteStatement& st, int column, TFieldType type)
{
    switch (type) {
    case TFieldType::ftString: {
        const std::string_view text = ReadText(st, column);
        if (text.empty())
            return QVariant();
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    case TFieldType::ftBoolean:
        if (const std::optional<bool> b = ReadBoolean(st, column))
            return *b;
        return QVariant();
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        if (const std::optional<int> n = ReadInteger(st, column))
            return *n;
        return QVariant();
    }
    return QVariant();
}

std::string_view ReadText(const TSqliteStatement& st, int column) { return st.Utf8(column); }

std::optional<int> ReadInteger(const TSqliteStatement& st, int column)
{
    if (!st.IsInteger(column))
        return std::nullopt;
    const qint64 n = st.Integer(column);
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(n);
}

std::optional<bool> ReadBoolean(const TSqliteStatement& st, int column)
{
    if (st.IsNull(column))
        return std::nullopt;
    return st.Integer(column) != 0;
}

} // namespace Cells
