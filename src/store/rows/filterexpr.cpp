#include "store/rows/filterexpr.h"

#include "store/rows/casefold.h"
#include "store/rows/dberrors.h"

#include <vector>

using namespace Qt::Literals::StringLiterals;

struct TFilterNode {
    enum class Kind { Or, And, Not, Compare } kind;
    // Or/And: every term of the chain, so that a long chain stays one level deep;
    // Not: the one it negates.
    std::vector<std::unique_ptr<TFilterNode>> terms;
    int field = -1;
    TCompareOp op = TCompareOp::Eq;
    QVariant literal;
    QString literalText;   // the literal as text, for comparisons with text
    QString literalFolded; // and case-folded, for comparisons with folded text
};

namespace {

struct TToken {
    enum class Kind { End, Ident, String, Number, Null, Op, LParen, RParen, And, Or, Not, Is } kind;
    QString text;
    int pos = 0;
};

class TParser {
public:
    TParser(const QString& text, const TFilterExpr::TFieldResolver& resolve)
        : FText(text), FResolve(resolve)
    {
        Tokenize();
    }

    std::unique_ptr<TFilterNode> ParseAll()
    {
        auto node = ParseOr();
        if (Peek().kind != TToken::Kind::End)
            Error(u"unexpected "_s + Describe(Peek()));
        return node;
    }

private:
    [[noreturn]] void Error(const QString& what, int pos = -1) const
    {
        if (pos < 0)
            pos = Peek().pos;
        throw EDatabaseError(u"Invalid filter expression \""_s + FText + u"\": "_s + what +
                             u" at position "_s + QString::number(pos + 1));
    }

    static QString Describe(const TToken& t)
    {
        return t.kind == TToken::Kind::End ? u"end of text"_s : u'"' + t.text + u'"';
    }

    void Tokenize()
    {
        int i = 0;
        const int n = int(FText.size());
        while (i < n) {
            const QChar c = FText[i];
            if (c.isSpace()) {
                ++i;
                continue;
            }
            const int start = i;
            if (c == u'\'') {
                QString value;
                ++i;
                for (;;) {
                    if (i >= n)
                        Error(u"the text that starts here has no closing quote"_s, start);
                    if (FText[i] == u'\'') {
                        if (i + 1 < n && FText[i + 1] == u'\'') {
                            value += u'\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    value += FText[i++];
                }
                FTokens.push_back({TToken::Kind::String, value, start});
            } else if (c == u'[') {
                const int close = int(FText.indexOf(u']', i));
                if (close < 0)
                    Error(u"the field name that starts here has no closing bracket"_s, start);
                FTokens.push_back({TToken::Kind::Ident, FText.mid(i + 1, close - i - 1), start});
                i = close + 1;
            } else if (c.isDigit() ||
                       ((c == u'-' || c == u'+') && i + 1 < n && FText[i + 1].isDigit())) {
                ++i;
                while (i < n && (FText[i].isDigit() || FText[i] == u'.'))
                    ++i;
                FTokens.push_back({TToken::Kind::Number, FText.mid(start, i - start), start});
            } else if (c.isLetter() || c == u'_') {
                while (i < n && (FText[i].isLetterOrNumber() || FText[i] == u'_'))
                    ++i;
                const QString word = FText.mid(start, i - start);
                const QString upper = word.toUpper();
                TToken::Kind kind = TToken::Kind::Ident;
                if (upper == u"AND"_s)
                    kind = TToken::Kind::And;
                else if (upper == u"OR"_s)
                    kind = TToken::Kind::Or;
                else if (upper == u"NOT"_s)
                    kind = TToken::Kind::Not;
                else if (upper == u"IS"_s)
                    kind = TToken::Kind::Is;
                else if (upper == u"NULL"_s)
                    kind = TToken::Kind::Null;
                FTokens.push_back({kind, word, start});
            } else if (c == u'(' || c == u')') {
                FTokens.push_back(
                    {c == u'(' ? TToken::Kind::LParen : TToken::Kind::RParen, QString(c), start});
                ++i;
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                QString op(c);
                ++i;
                if (i < n && (FText[i] == u'=' || (c == u'<' && FText[i] == u'>'))) {
                    op += FText[i];
                    ++i;
                }
                if (op == u"!"_s)
                    Error(u"unknown operator \"!\""_s, start);
                FTokens.push_back({TToken::Kind::Op, op, start});
            } else {
                Error(u"unexpected character \""_s + c + u'"', start);
            }
        }
        FTokens.push_back({TToken::Kind::End, QString(), int(n)});
    }

    const TToken& Peek() const { return FTokens[FPos]; }
    TToken Take() { return FTokens[FPos++]; }

    // A chain of TERMs joined by SEPARATOR, as one node; a single term is itself.
    template <typename TTerm>
    std::unique_ptr<TFilterNode> Chain(TFilterNode::Kind kind, TToken::Kind separator, TTerm term)
    {
        auto first = term();
        if (Peek().kind != separator)
            return first;
        auto node = std::make_unique<TFilterNode>();
        node->kind = kind;
        node->terms.push_back(std::move(first));
        while (Peek().kind == separator) {
            Take();
            node->terms.push_back(term());
        }
        return node;
    }

    std::unique_ptr<TFilterNode> ParseOr()
    {
        return Chain(TFilterNode::Kind::Or, TToken::Kind::Or, [this] { return ParseAnd(); });
    }

    std::unique_ptr<TFilterNode> ParseAnd()
    {
        return Chain(TFilterNode::Kind::And, TToken::Kind::And, [this] { return ParseUnary(); });
    }

    // Parentheses and NOT nest by recursion here and in the evaluation; a limit keeps
    // a hostile text from exhausting the stack.
    void Enter()
    {
        if (++FDepth > TFilterExpr::MaxNesting)
            Error(u"brackets and NOT nested more than "_s +
                  QString::number(TFilterExpr::MaxNesting) + u" deep"_s);
    }

    std::unique_ptr<TFilterNode> ParseUnary()
    {
        if (Peek().kind == TToken::Kind::Not) {
            Enter();
            Take();
            auto node = std::make_unique<TFilterNode>();
            node->kind = TFilterNode::Kind::Not;
            node->terms.push_back(ParseUnary());
            --FDepth;
            return node;
        }
        if (Peek().kind == TToken::Kind::LParen) {
            Enter();
            Take();
            auto node = ParseOr();
            if (Peek().kind != TToken::Kind::RParen)
                Error(u"expected \")\" but found "_s + Describe(Peek()));
            Take();
            --FDepth;
            return node;
        }
        return ParseCompare();
    }

    int ResolveField(const TToken& t)
    {
        const int index = FResolve(t.text);
        if (index < 0)
            Error(u"unknown field \""_s + t.text + u'"', t.pos);
        return index;
    }

    QVariant Literal(const TToken& t)
    {
        switch (t.kind) {
        case TToken::Kind::String:
            return t.text;
        case TToken::Kind::Number: {
            bool ok = false;
            const qlonglong whole = t.text.toLongLong(&ok);
            if (ok)
                return whole;
            const double real = t.text.toDouble(&ok);
            if (!ok)
                Error(u"malformed number \""_s + t.text + u'"', t.pos);
            return real;
        }
        case TToken::Kind::Null:
            return QVariant();
        default:
            Error(u"expected a quoted text or a number but found "_s + Describe(t), t.pos);
        }
    }

    static TCompareOp OpOf(const QString& s)
    {
        if (s == u"="_s)
            return TCompareOp::Eq;
        if (s == u"<>"_s || s == u"!="_s)
            return TCompareOp::Ne;
        if (s == u"<"_s)
            return TCompareOp::Lt;
        if (s == u"<="_s)
            return TCompareOp::Le;
        if (s == u">"_s)
            return TCompareOp::Gt;
        return TCompareOp::Ge;
    }

    static TCompareOp Mirror(TCompareOp op)
    {
        switch (op) {
        case TCompareOp::Lt:
            return TCompareOp::Gt;
        case TCompareOp::Le:
            return TCompareOp::Ge;
        case TCompareOp::Gt:
            return TCompareOp::Lt;
        case TCompareOp::Ge:
            return TCompareOp::Le;
        default:
            return op;
        }
    }

    std::unique_ptr<TFilterNode> ParseCompare()
    {
        auto node = std::make_unique<TFilterNode>();
        node->kind = TFilterNode::Kind::Compare;
        const TToken first = Take();
        if (first.kind == TToken::Kind::Ident) {
            node->field = ResolveField(first);
            if (Peek().kind == TToken::Kind::Is) {
                Take();
                bool negate = false;
                if (Peek().kind == TToken::Kind::Not) {
                    Take();
                    negate = true;
                }
                if (Peek().kind != TToken::Kind::Null)
                    Error(u"expected NULL but found "_s + Describe(Peek()));
                Take();
                node->op = negate ? TCompareOp::IsNotNull : TCompareOp::IsNull;
                return node;
            }
            if (Peek().kind != TToken::Kind::Op)
                Error(u"expected a comparison operator but found "_s + Describe(Peek()));
            node->op = OpOf(Take().text);
            node->literal = Literal(Take());
            node->literalText = node->literal.toString();
            node->literalFolded = CaseFold::Folded(node->literalText);
        } else if (first.kind == TToken::Kind::String || first.kind == TToken::Kind::Number) {
            node->literal = Literal(first);
            node->literalText = node->literal.toString();
            node->literalFolded = CaseFold::Folded(node->literalText);
            if (Peek().kind != TToken::Kind::Op)
                Error(u"expected a comparison operator but found "_s + Describe(Peek()));
            node->op = Mirror(OpOf(Take().text));
            const TToken field = Take();
            if (field.kind != TToken::Kind::Ident)
                Error(u"expected a field name but found "_s + Describe(field), field.pos);
            node->field = ResolveField(field);
        } else {
            Error(u"expected a field name but found "_s + Describe(first), first.pos);
        }
        return node;
    }

    const QString& FText;
    const TFilterExpr::TFieldResolver& FResolve;
    std::vector<TToken> FTokens;
    size_t FPos = 0;
    int FDepth = 0;
};

int CompareWith(const TFilterExpr::TValue& value, const TFilterNode& node)
{
    using K = TFilterExpr::TValue::TKind;
    const bool literalIsNumber = node.literal.typeId() != QMetaType::QString;
    if (value.Kind == K::Number && literalIsNumber) {
        const double y = node.literal.toDouble();
        return value.Number < y ? -1 : (value.Number > y ? 1 : 0);
    }
    if (value.Kind == K::Text && value.Folded)
        return value.Text.compare(node.literalFolded);
    const QString numberText = value.Kind == K::Number ? QString::number(value.Number) : QString();
    const QStringView text = value.Kind == K::Number ? QStringView(numberText) : value.Text;
    return text.compare(node.literalText, Qt::CaseInsensitive);
}

bool Eval(const TFilterNode& node, const TFilterExpr::TFieldReader& read, QString& holder)
{
    switch (node.kind) {
    case TFilterNode::Kind::Or:
        for (const auto& term : node.terms)
            if (Eval(*term, read, holder))
                return true;
        return false;
    case TFilterNode::Kind::And:
        for (const auto& term : node.terms)
            if (!Eval(*term, read, holder))
                return false;
        return true;
    case TFilterNode::Kind::Not:
        return !Eval(*node.terms.front(), read, holder);
    case TFilterNode::Kind::Compare:
        break;
    }
    const TFilterExpr::TValue value = read(node.field, holder);
    const bool isNull = value.Kind == TFilterExpr::TValue::TKind::Null;
    if (node.op == TCompareOp::IsNull)
        return isNull;
    if (node.op == TCompareOp::IsNotNull)
        return !isNull;
    // As in SQL, a comparison with an empty (null) value is never true.
    if (isNull || node.literal.isNull())
        return false;
    const int c = CompareWith(value, node);
    return CompareHolds(node.op, c);
}

} // namespace

TFilterExpr::TFilterExpr() = default;
TFilterExpr::~TFilterExpr() = default;
TFilterExpr::TFilterExpr(TFilterExpr&&) noexcept = default;
TFilterExpr& TFilterExpr::operator=(TFilterExpr&&) noexcept = default;

bool CompareHolds(TCompareOp op, int c)
{
    switch (op) {
    case TCompareOp::Eq:
        return c == 0;
    case TCompareOp::Ne:
        return c != 0;
    case TCompareOp::Lt:
        return c < 0;
    case TCompareOp::Le:
        return c <= 0;
    case TCompareOp::Gt:
        return c > 0;
    case TCompareOp::Ge:
        return c >= 0;
    default:
        return false;
    }
}

TFilterExpr TFilterExpr::Parse(const QString& text, const TFieldResolver& resolve)
{
    TFilterExpr expr;
    if (text.trimmed().isEmpty())
        return expr;
    TParser parser(text, resolve);
    expr.FRoot = parser.ParseAll();
    return expr;
}

bool TFilterExpr::IsSingleCompare(TSingleCompare& out) const
{
    if (!FRoot || FRoot->kind != TFilterNode::Kind::Compare)
        return false;
    out.Field = FRoot->field;
    out.Op = FRoot->op;
    out.LiteralIsNull = FRoot->literal.isNull();
    out.LiteralFolded = FRoot->literalFolded;
    return true;
}

bool TFilterExpr::Evaluate(const TFieldReader& read) const
{
    QString holder;
    return !FRoot || Eval(*FRoot, read, holder);
}
