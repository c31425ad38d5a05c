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

enum class TCompareOp { Eq, Ne, Lt, Le, Gt, Ge, IsNull, IsNotNull };

// Whether a comparison whose three-way result is c satisfies op (false for the null tests).
bool CompareHolds(TCompareOp op, int c);

class TFilterExpr {
public:
    // Resolves a field name to an index; returns -1 for an unknown field.
    using TFieldResolver = std::function<int(const QString& name)>;
    // A field's value as the filter sees it: none, a number, or text viewed in place
    // (a large table is filtered without copying a single name). Text already
    // case-folded (CaseFold) says so, and is then compared as it stands.
    struct TValue {
        enum class TKind { Null, Number, Text };
        TKind Kind = TKind::Null;
        double Number = 0;
        QStringView Text;
        bool Folded = false;
    };
    // Reads a field's value (by resolved index) from the row being tested; text that
    // is not stored anywhere may be kept in HOLDER while the comparison runs.
    using TFieldReader = std::function<TValue(int fieldIndex, QString& holder)>;

    TFilterExpr();
    ~TFilterExpr();
    TFilterExpr(TFilterExpr&&) noexcept;
    TFilterExpr& operator=(TFilterExpr&&) noexcept;

    // How deep brackets and NOT may nest; deeper is an error of the text.
    static constexpr int MaxNesting = 256;

    // Throws EDatabaseError with a message that says what is wrong and where.
    static TFilterExpr Parse(const QString& text, const TFieldResolver& resolve);

    bool IsEmpty() const { return !FRoot; }

    // The whole expression when it is one comparison of a field, which a reader that
    // keeps the field in a better form can answer without Evaluate.
    struct TSingleCompare {
        int Field = -1;
        TCompareOp Op = TCompareOp::Eq;
        bool LiteralIsNull = false;
        QString LiteralFolded; // the literal as text, case-folded
    };
    bool IsSingleCompare(TSingleCompare& out) const;
    // Numbers compare by value, text without regard to case, a number with text as
    // its decimal text; a comparison with no value is never true.
    bool Evaluate(const TFieldReader& read) const;

private:
    std::unique_ptr<TFilterNode> FRoot;
};
