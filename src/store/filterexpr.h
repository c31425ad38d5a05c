#pragma once
// Filter expressions such as  ProductName>='Ad' AND Year<2000 OR [Тип диска]<>'CD-R'.
// Parsed and evaluated here, never handed to SQL.
//
// Grammar (keywords case-insensitive):
//   expr    := and { OR and }
//   and     := unary { AND unary }
//   unary   := NOT unary | '(' expr ')' | compare
//   compare := field op literal | literal op field | field IS [NOT] NULL
//   field   := identifier | '[' any text but ']' ']'
//   literal := 'text, '' for a quote' | number | NULL
//   op      := = <> != < <= > >=

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct TFilterNode;

class TFilterExpr {
public:
    // Resolves a field name to an index; returns -1 for an unknown field.
    using TFieldResolver = std::function<int(const QString& name)>;
    // Reads a field's value (by resolved index) from the row being tested.
    using TFieldReader = std::function<QVariant(int fieldIndex)>;
    // Orders two values the way the dataset sorts them.
    using TComparer = std::function<int(const QVariant&, const QVariant&)>;

    TFilterExpr();
    ~TFilterExpr();
    TFilterExpr(TFilterExpr&&) noexcept;
    TFilterExpr& operator=(TFilterExpr&&) noexcept;

    // Throws EDatabaseError with a message that says what is wrong and where.
    static TFilterExpr Parse(const QString& text, const TFieldResolver& resolve);

    bool IsEmpty() const { return !FRoot; }
    bool Evaluate(const TFieldReader& read, const TComparer& compare) const;

private:
    std::unique_ptr<TFilterNode> FRoot;
};
