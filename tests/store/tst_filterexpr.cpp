// The filter-expression parser and evaluator on texts of every size: long chains
// evaluate, nesting beyond the limit is a clear error, never a stack overflow.

#include "store/rows/dberrors.h"
#include "store/rows/filterexpr.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList Fields{u"Name"_s, u"Year"_s};

TFilterExpr Parse(const QString& text)
{
    return TFilterExpr::Parse(text, [](const QString& name) { return int(Fields.indexOf(name)); });
}

// One row: Name 'b', Year 1999.
bool Matches(const TFilterExpr& expr)
{
    return expr.Evaluate([](int field, QString&) {
        TFilterExpr::TValue v;
        if (field == 0) {
            v.Kind = TFilterExpr::TValue::TKind::Text;
            v.Text = u"b";
        } else {
            v.Kind = TFilterExpr::TValue::TKind::Number;
            v.Number = 1999;
        }
        return v;
    });
}

QString Repeat(const QString& s, int n) { return s.repeated(n); }

// "Year=3000 OR Year=3001 OR ... OR Year=3000+N-1", none of them the row's year
QString OrChain(int n)
{
    QStringList terms;
    for (int i = 0; i < n; ++i)
        terms << u"Year=%1"_s.arg(3000 + i);
    return terms.join(u" OR "_s);
}

} // namespace

class TestFilterExpr : public QObject {
    Q_OBJECT

private slots:
    void evaluates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        const int limit = TFilterExpr::MaxNesting;
        QTest::newRow("brackets at the limit")
            << Repeat(u"("_s, limit) + u"Name='b'"_s + Repeat(u")"_s, limit) << true;
        QTest::newRow("NOT at the limit (even)")
            << Repeat(u"NOT "_s, limit) + u"Name='b'"_s << true;
        QTest::newRow("NOT at the limit less one (odd)")
            << Repeat(u"NOT "_s, limit - 1) + u"Name='b'"_s << false;
        QTest::newRow("100000 terms OR, none true") << OrChain(100000) << false;
        QTest::newRow("100000 terms OR, the last true")
            << OrChain(100000) + u" OR Year=1999"_s << true;
        QTest::newRow("100000 terms AND")
            << Repeat(u"Name='b' AND "_s, 100000) + u"Year=1999"_s << true;
        QTest::newRow("chains in brackets")
            << u"(Year=1 OR Year=2 OR Name='b') AND NOT (Year=3 OR Year=4)"_s << true;
        QTest::newRow("AND binds before OR") << u"Year=1 AND Name='x' OR Name='b'"_s << true;
    }
    void evaluates()
    {
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(Matches(Parse(text)), matches);
    }

    void tooDeep_data()
    {
        QTest::addColumn<QString>("text");
        const int over = TFilterExpr::MaxNesting + 1;
        QTest::newRow("brackets over the limit")
            << Repeat(u"("_s, over) + u"Name='b'"_s + Repeat(u")"_s, over);
        QTest::newRow("NOT over the limit") << Repeat(u"NOT "_s, over) + u"Name='b'"_s;
        QTest::newRow("30000 brackets") << Repeat(u"("_s, 30000);
        QTest::newRow("30000 NOT") << Repeat(u"NOT "_s, 30000) + u"Name='b'"_s;
        QTest::newRow("brackets and NOT mixed") << Repeat(u"NOT ("_s, over / 2 + 1);
    }
    void tooDeep()
    {
        QFETCH(QString, text);
        try {
            Parse(text);
            QFAIL("parsed");
        } catch (const EDatabaseError& e) {
            QVERIFY2(
                e.Message().contains(u"nested more than %1 deep"_s.arg(TFilterExpr::MaxNesting)),
                qPrintable(e.Message().right(200)));
        }
    }
};

QTEST_GUILESS_MAIN(TestFilterExpr)
#include "tst_filterexpr.moc"
