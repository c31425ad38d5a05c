#include "store/catalogue/dataset.h"
#include "store/catalogue/datasource.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tests/common/testcatalogue.h"

#include <QTest>

#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

// A stand-in for an edit box bound to one field: it holds typed text until the
// dataset asks for it, as the real widgets do.
class TFakeEdit : public TDataLink {
public:
    TFakeEdit(TDataSource* ds, QString field) : FField(std::move(field)) { SetDataSource(ds); }

    void Type(const QString& text)
    {
        DataSet()->Edit();
        FText = text;
        FHeld = true;
    }
    bool Held() const { return FHeld; }
    QString Shown() const { return FShown; }

    void UpdateData() override
    {
        if (!FHeld)
            return;
        FHeld = false;
        DataSet()->FieldByName(FField)->SetAsString(FText);
    }
    void RecordChanged(TField*) override { Refresh(); }
    void DataSetScrolled() override { Refresh(); }
    void DataSetChanged() override { Refresh(); }
    void RowChanged(const TRowChange&) override { Refresh(); }

private:
    void Refresh()
    {
        if (!FHeld && Active())
            FShown = DataSet()->FieldByName(FField)->AsString();
    }
    QString FField, FText, FShown;
    bool FHeld = false;
};

// A link that writes down every notice it hears.
class TNoticeLog : public TDataLink {
public:
    explicit TNoticeLog(TDataSource* ds) { SetDataSource(ds); }
    QStringList Take() { return std::exchange(FLog, {}); }

    void ActiveChanged() override { FLog << u"active"_s; }
    void DataSetChanged() override { FLog << u"changed"_s; }
    void RowChanged(const TRowChange&) override { FLog << u"row"_s; }
    void DataSetScrolled() override { FLog << u"scrolled"_s; }
    void RecordChanged(TField*) override { FLog << u"field"_s; }
    void EditingChanged() override { FLog << u"state"_s; }

private:
    QStringList FLog;
};

QString Name(TDataSet& t) { return t.FieldByName(u"ProductName"_s)->AsString(); }

QStringList Walk(TDataSet& t)
{
    QStringList names;
    for (t.First(); !t.Eof(); t.Next())
        names << Name(t);
    return names;
}

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT
private slots:
    void closedDatasetRefusesEverything_data();
    void closedDatasetRefusesEverything();
    void emptyTableHasBothFlagsAndRefusesDelete();
    void movesSetTheFlags();
    void insertEditPostCancel();
    void deleteMovesToTheNextRow();
    void textIsCutToTheFieldSize();
    void integerFieldRejectsText();
    void sortOrdersByOneField_data();
    void sortOrdersByOneField();
    void sortOfRepeatedTextsIsStable_data();
    void sortOfRepeatedTextsIsStable();
    void expressionFilter_data();
    void expressionFilter();
    void malformedFilterKeepsThePreviousOne_data();
    void malformedFilterKeepsThePreviousOne();
    void recordFilterHidesRowsThatStillCount();
    void searchTypedOnAgreesWithASearchFromScratch();
    void searchShowsNamesBeginningWithTheText_data();
    void searchShowsNamesBeginningWithTheText();
    void lookupFieldsShowReferenceText();
    void writingALookupFieldStoresTheKey();
    void calculatedNumberFollowsTheOrder();
    void eventsRunInOrder();
    void boundWidgetTextIsTakenInBeforeLeavingTheRecord();
    void unmodifiedNewRowIsDroppedOnLeaving();
    void refreshKeepsTheCurrentRowAndSeesOtherWriters();
    void heldControlsHearOneChangeAtTheEnd_data();
    void heldControlsHearOneChangeAtTheEnd();
    void heldControlsStillHearOpenAndClose();
};

void TestDataSet::closedDatasetRefusesEverything_data()
{
    QTest::addColumn<int>("operation");
    const char* names[] = {"First", "Next",   "Insert",  "Edit",
                           "Post",  "Delete", "Refresh", "RecordCount"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(names[i]) << i;
}

void TestDataSet::closedDatasetRefusesEverything()
{
    QFETCH(int, operation);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    const std::function<void()> ops[] = {
        [&] { t.First(); },   [&] { t.Next(); },
        [&] { t.Insert(); },  [&] { t.Edit(); },
        [&] { t.Post(); },    [&] { t.Delete(); },
        [&] { t.Refresh(); }, [&] { (void)t.RecordCount(); },
    };
    try {
        ops[operation]();
        QFAIL("no error on a closed dataset");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.Message(), u"Cannot perform this operation on a closed dataset"_s);
    }
}

void TestDataSet::emptyTableHasBothFlagsAndRefusesDelete()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    QVERIFY(t.Bof());
    QVERIFY(t.Eof());
    QVERIFY(t.IsEmpty());
    QCOMPARE(t.RecNo(), -1);
    QCOMPARE(t.RecordCount(), 0);
    try {
        t.Delete();
        QFAIL("delete on an empty table succeeded");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.Message(), u"Cannot perform this operation on an empty dataset"_s);
    }
}

void TestDataSet::movesSetTheFlags()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"A"_s, u"B"_s, u"C"_s});
    t.First();
    QVERIFY(t.Bof());
    QVERIFY(!t.Eof());
    QCOMPARE(t.RecNo(), 1);
    t.Prior(); // on the first row: flag only
    QVERIFY(t.Bof());
    QCOMPARE(Name(t), u"A"_s);
    t.Next();
    QVERIFY(!t.Bof() && !t.Eof());
    QCOMPARE(t.RecNo(), 2);
    t.Last();
    QVERIFY(t.Eof());
    QCOMPARE(Name(t), u"C"_s);
    t.Next(); // on the last row: flag only
    QVERIFY(t.Eof());
    QCOMPARE(t.RecNo(), 3);
    t.Prior();
    QVERIFY(!t.Bof() && !t.Eof());
    QCOMPARE(Name(t), u"B"_s);
    QCOMPARE(t.RecordCount(), 3);
}

void TestDataSet::insertEditPostCancel()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"A"_s, u"B"_s});
    t.First();

    t.Insert();
    QCOMPARE(t.State(), TDataSetState::dsInsert);
    QCOMPARE(t.RecNo(), -1);
    QCOMPARE(t.RecordCount(), 2);
    QVERIFY(!t.Modified());
    t.FieldByName(u"ProductName"_s)->SetAsString(u"New"_s);
    QVERIFY(t.Modified());
    t.Cancel();
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    QCOMPARE(t.RecordCount(), 2);
    QCOMPARE(Name(t), u"A"_s);

    t.Edit();
    t.FieldByName(u"ProductName"_s)->SetAsString(u"A2"_s);
    t.FieldByName(u"Year"_s)->SetAsInteger(1999);
    t.FieldByName(u"Installed"_s)->SetAsBoolean(true);
    t.Post();
    QVERIFY(!t.Modified());

    // A second cursor sees what reached the file.
    auto other = cat.Open();
    other->BookTable.Open();
    QCOMPARE(Walk(other->BookTable), (QStringList{u"A2"_s, u"B"_s}));
    other->BookTable.First();
    QCOMPARE(other->BookTable.FieldByName(u"Year"_s)->AsInteger(), 1999);
    QCOMPARE(other->BookTable.FieldByName(u"Installed"_s)->AsString(), u"True"_s);
    QCOMPARE(other->BookTable.FieldByName(u"Ch1"_s)->AsString(), u"False"_s);

    // Edit with no row shown inserts instead.
    TTestCatalogue empty;
    auto e = empty.Open();
    e->BookTable.Open();
    e->BookTable.Edit();
    QCOMPARE(e->BookTable.State(), TDataSetState::dsInsert);
}

void TestDataSet::deleteMovesToTheNextRow()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"A"_s, u"B"_s, u"C"_s});
    t.First();
    t.Next();
    t.Delete();
    QCOMPARE(Name(t), u"C"_s);
    QCOMPARE(t.RecordCount(), 2);
    t.Last();
    t.Delete();
    QCOMPARE(Name(t), u"A"_s);
    // Deleting a pending new row only drops it.
    t.Insert();
    t.Delete();
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    QCOMPARE(t.RecordCount(), 1);
    t.Refresh();
    QCOMPARE(Walk(t), QStringList{u"A"_s});
}

void TestDataSet::textIsCutToTheFieldSize()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    t.Append();
    t.FieldByName(u"Size"_s)->SetAsString(QString(30, u'9'));
    t.FieldByName(u"ProductName"_s)->SetAsString(QString(300, u'Я'));
    t.Post();
    t.Refresh();
    QCOMPARE(t.FieldByName(u"Size"_s)->AsString(), QString(20, u'9'));
    QCOMPARE(t.FieldByName(u"ProductName"_s)->AsString(), QString(250, u'Я'));
}

void TestDataSet::integerFieldRejectsText()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    t.Append();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.FieldByName(u"Year"_s)->SetAsString(u"199x"_s));
    t.FieldByName(u"Year"_s)->SetAsString(u" 1998 "_s);
    QCOMPARE(t.FieldByName(u"Year"_s)->AsInteger(), 1998);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.FieldByName(u"Id"_s)->SetAsInteger(5));
}

void TestDataSet::sortOrdersByOneField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    // rows: (name, size, platform key)
    QTest::newRow("own order") << QString() << QStringList{u"b"_s, u"A"_s, u"c"_s, u"a"_s};
    QTest::newRow("name") << u"ProductName"_s << QStringList{u"A"_s, u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("size as text") << u"Size"_s << QStringList{u"a"_s, u"b"_s, u"A"_s, u"c"_s};
    QTest::newRow("platform key") << u"Platform"_s << QStringList{u"c"_s, u"A"_s, u"a"_s, u"b"_s};
}

void TestDataSet::sortOrdersByOneField()
{
    QFETCH(QString, field);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    struct Row {
        QString name, size;
        QVariant platform;
    };
    const Row rows[] = {{u"b"_s, u"10"_s, 3},
                        {u"A"_s, u"9"_s, 2},
                        {u"c"_s, u"99"_s, QVariant()},
                        {u"a"_s, QString(), 2}};
    for (const Row& r : rows) {
        t.Append();
        t.FieldByName(u"ProductName"_s)->SetAsString(r.name);
        if (!r.size.isNull())
            t.FieldByName(u"Size"_s)->SetAsString(r.size);
        t.FieldByName(u"Platform"_s)->SetValue(r.platform);
        t.Post();
    }
    t.SetSort(field);
    QTEST(Walk(t), "expected");
    // A post keeps the order without a re-sort.
    t.First();
    t.Edit();
    t.FieldByName(u"ProductName"_s)->SetAsString(t.FieldByName(u"ProductName"_s)->AsString());
    t.Post();
    QTEST(Walk(t), "expected");
}

void TestDataSet::sortOfRepeatedTextsIsStable_data()
{
    QTest::addColumn<QStringList>("values");
    // Few distinct texts (ranked) and all distinct texts (sorted row by row).
    QTest::newRow("repeated") << QStringList{u"b"_s, u"a"_s, u"B"_s, QString(), u"a"_s,
                                             u"Я"_s, u"я"_s, u"b"_s, u""_s,     u"a"_s};
    QTest::newRow("distinct") << QStringList{u"d"_s, u"a"_s, u"C"_s, QString(), u"b"_s,
                                             u"Ё"_s, u"е"_s, u"c"_s, u""_s,     u"A"_s};
}

void TestDataSet::sortOfRepeatedTextsIsStable()
{
    QFETCH(QStringList, values);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    for (int copy = 0; copy < 30; ++copy) {
        for (const QString& v : values) {
            t.Append();
            t.FieldByName(u"ProductName"_s)->SetAsString(QString::number(copy));
            if (!v.isNull())
                t.FieldByName(u"Language"_s)->SetAsString(v);
            t.Post();
        }
    }
    t.SetSort(u"Language"_s);
    // Expected: empty first, then by text ignoring case, ties by case, then by Id.
    const auto expectedLess = [](const QVariant& a, int ida, const QVariant& b, int idb) {
        const int c = TDataSet::CompareValues(a, b);
        return c != 0 ? c < 0 : ida < idb;
    };
    QVariant previous;
    int previousId = -1;
    int rows = 0;
    for (t.First(); !t.Eof(); t.Next(), ++rows) {
        const QVariant v = t.FieldByName(u"Language"_s)->Value();
        const int id = t.FieldByName(u"Id"_s)->AsInteger();
        if (previousId >= 0)
            QVERIFY2(expectedLess(previous, previousId, v, id),
                     qPrintable(previous.toString() + u" / "_s + v.toString()));
        previous = v;
        previousId = id;
    }
    QCOMPARE(rows, 30 * values.size());
}

void TestDataSet::expressionFilter_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow(">= text") << u"ProductName>='b'"_s
                             << QStringList{u"b"_s, u"Bz"_s, u"c"_s, u"d'x"_s};
    QTest::newRow("= text ignores case") << u"ProductName = 'BZ'"_s << QStringList{u"Bz"_s};
    QTest::newRow("<> text") << u"ProductName<>'a'"_s
                             << QStringList{u"b"_s, u"Bz"_s, u"c"_s, u"d'x"_s};
    QTest::newRow("< number") << u"Year<2000"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("<= number") << u"Year <= 2000"_s << QStringList{u"a"_s, u"b"_s, u"Bz"_s};
    QTest::newRow("> number") << u"Year>2000"_s << QStringList{u"c"_s};
    QTest::newRow("AND") << u"Year>=1990 AND ProductName>'a'"_s
                         << QStringList{u"b"_s, u"Bz"_s, u"c"_s};
    QTest::newRow("OR") << u"ProductName='a' or Year=2005"_s << QStringList{u"a"_s, u"c"_s};
    QTest::newRow("AND before OR")
        << u"ProductName='a' OR Year=2000 AND ProductName='c'"_s << QStringList{u"a"_s};
    QTest::newRow("parentheses") << u"(ProductName='a' OR Year=2000) AND Year<2001"_s
                                 << QStringList{u"a"_s, u"Bz"_s};
    QTest::newRow("doubled quote") << u"ProductName='d''x'"_s << QStringList{u"d'x"_s};
    QTest::newRow("empty never compares")
        << u"Year<>0"_s << QStringList{u"a"_s, u"b"_s, u"Bz"_s, u"c"_s};
    QTest::newRow("bracketed name") << u"[Size]='1'"_s << QStringList{u"a"_s};
    QTest::newRow("literal first") << u"2000>Year"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("is null") << u"Year IS NULL"_s << QStringList{u"d'x"_s};
}

void TestDataSet::expressionFilter()
{
    QFETCH(QString, expression);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    const std::pair<QString, QVariant> rows[] = {
        {u"a"_s, 1980}, {u"b"_s, 1990}, {u"Bz"_s, 2000}, {u"c"_s, 2005}, {u"d'x"_s, QVariant()}};
    for (const auto& [name, year] : rows) {
        t.Append();
        t.FieldByName(u"ProductName"_s)->SetAsString(name);
        t.FieldByName(u"Year"_s)->SetValue(year);
        if (name == u"a"_s)
            t.FieldByName(u"Size"_s)->SetAsString(u"1"_s);
        t.Post();
    }
    t.SetFilter(expression);
    QCOMPARE(Walk(t).size(), 5); // stored only while filtering is off
    t.SetFiltered(true);
    QTEST(Walk(t), "expected");
    QCOMPARE(t.RecordCount(), Walk(t).size());
}

void TestDataSet::malformedFilterKeepsThePreviousOne_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("open quote") << u"ProductName>='Baldur's Gate'"_s << u"position"_s;
    QTest::newRow("no closing quote") << u"ProductName>='abc"_s << u"no closing quote"_s;
    QTest::newRow("unknown field") << u"Nope='x'"_s << u"unknown field"_s;
    QTest::newRow("no operator") << u"ProductName 'x'"_s << u"comparison operator"_s;
    QTest::newRow("dangling AND") << u"ProductName='x' AND"_s << u"field name"_s;
    QTest::newRow("unbalanced") << u"(ProductName='x'"_s << u"\")\""_s;
    QTest::newRow("field to field") << u"ProductName=Size"_s << u"quoted text or a number"_s;
    QTest::newRow("odd character")
        << u"ProductName='x'; DROP TABLE SoftTable"_s << u"unexpected character"_s;
}

void TestDataSet::malformedFilterKeepsThePreviousOne()
{
    QFETCH(QString, expression);
    QFETCH(QString, mentions);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"a"_s, u"b"_s});
    t.SetFilter(u"ProductName='b'"_s);
    t.SetFiltered(true);
    try {
        t.SetFilter(expression);
        QFAIL("a malformed expression was taken");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.Message().contains(mentions), qPrintable(e.Message()));
        QVERIFY(e.Message().startsWith(u"Invalid filter expression"_s));
    }
    QCOMPARE(t.Filter(), u"ProductName='b'"_s);
    QCOMPARE(Walk(t), QStringList{u"b"_s});
    t.SetFiltered(false);
    QCOMPARE(Walk(t).size(), 2); // the table itself is untouched
}

void TestDataSet::recordFilterHidesRowsThatStillCount()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"Adder"_s, u"adder"_s, u"Bad"_s, u"Ad-Tool"_s, u"Ab"_s, u""_s});
    t.SetSort(u"ProductName"_s);
    dm->SetSearchText(u"Ad"_s);
    t.SetFilter(u"ProductName>='Ad'"_s);
    t.SetFiltered(true);
    QCOMPARE(Walk(t), (QStringList{u"Ad-Tool"_s, u"Adder"_s}));
    // Counted: every name sorting at or after "Ad", shown or not.
    QCOMPARE(t.RecordCount(), 4);
    t.First();
    const int first = t.RecNo();
    t.Next();
    QVERIFY(t.RecNo() > first);
    QCOMPARE(t.FieldByName(u"Номер"_s)->AsInteger(), t.RecNo());
}

// The names a search shows are those that begin with its text, case and all, as Qt
// compares texts: letters whose case folds alike, characters outside the basic plane,
// and a text that ends inside one of those (half typed) alike, in the names as they
// were posted and as they are read from the file.
void TestDataSet::searchShowsNamesBeginningWithTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("cyrillic capital") << u"Ёж"_s;
    QTest::newRow("cyrillic small") << u"ёж"_s;
    QTest::newRow("latin") << u"A"_s;
    QTest::newRow("sharp s") << u"Straß"_s;
    QTest::newRow("capitals for sharp s") << u"STRASS"_s;
    QTest::newRow("outside the basic plane") << u"\U00010400"_s;
    QTest::newRow("half of a character outside it") << QString(QChar(0xD801));
    QTest::newRow("ascii then outside it") << u"Ad\U00010428"_s;
}

void TestDataSet::searchShowsNamesBeginningWithTheText()
{
    QFETCH(QString, text);
    const QStringList names{u"Ёжик"_s,        u"ёжик"_s,         u"Ежевика"_s,
                            u"Straße"_s,      u"STRASSE"_s,      u"\U00010400x"_s,
                            u"\U00010428x"_s, u"Ad\U00010428"_s, u"Ad\U00010400"_s,
                            u"Ad"_s,          u"ad"_s,           u""_s};
    QStringList expected;
    for (const QString& n : names)
        if (n.startsWith(text, Qt::CaseSensitive))
            expected << n;
    expected.sort();
    TTestCatalogue cat;
    auto posted = cat.Open();
    posted->BookTable.Open();
    TTestCatalogue::AddNames(posted->BookTable, names);
    auto read = cat.Open();
    read->BookTable.Open();
    for (TDataModule1* dm : {posted.get(), read.get()}) {
        dm->BookTable.SetSort(u"ProductName"_s);
        Search::Apply(*dm, text);
        QStringList shown = Walk(dm->BookTable);
        shown.sort();
        QCOMPARE(shown, expected);
    }
}

void TestDataSet::searchTypedOnAgreesWithASearchFromScratch()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    std::mt19937 random(17);
    const QStringList stems{u"Ad"_s,  u"ad"_s, u"AD"_s, u"Adder"_s, u"Ad-Tool"_s,
                            u"Bad"_s, u"Ёж"_s, u"ёж"_s, u"a'b"_s,   u""_s};
    const auto name = [&]() -> QString {
        const int n = int(random() % 300);
        return stems[n % stems.size()] + QString::number(n % 13);
    };
    QStringList names;
    for (int i = 0; i < 120; ++i)
        names << name();
    TTestCatalogue::AddNames(t, names);
    const QStringList sorts{QString(), u"ProductName"_s, u"Size"_s};
    QString sort;
    t.SetSort(sort);

    // Each shown row's key and number, and the count.
    const auto view = [](TDataSet& table) {
        const int key = table.FieldByName(u"Id"_s)->Index();
        const int number = table.FieldByName(u"Номер"_s)->Index();
        QList<QVariantList> rows;
        for (int r = 0; r < table.ViewRowCount(); ++r)
            rows << QVariantList{table.ViewValue(r, key), table.ViewValue(r, number)};
        rows << QVariantList{table.RecordCount()};
        return rows;
    };
    QString text;
    int typed = 0;
    for (int step = 0; step < 150; ++step) {
        const int kind = int(random() % 8);
        if (kind <= 3) {
            // A character typed, mostly one that keeps the current name matching; now
            // and then with a change of the current record not yet posted.
            QChar c = u"aAdbЁ'-1"_s.at(int(random() % 8));
            const QString current = t.IsEmpty() ? QString() : Name(t);
            if (random() % 3 != 0 && current.startsWith(text) && current.size() > text.size())
                c = current.at(text.size());
            if (kind == 3 && !t.IsEmpty()) {
                t.Edit();
                t.FieldByName(u"ProductName"_s)->SetAsString(name());
            }
            text += c;
            ++typed;
        } else if (kind == 4) {
            text.chop(1);
        } else if (kind == 5) {
            // Another text pasted over it.
            text = name().left(1 + int(random() % 4));
        } else if (kind == 6 && !t.IsEmpty()) {
            t.MoveToViewRow(int(random() % uint(t.ViewRowCount())));
            t.Edit();
            t.FieldByName(u"ProductName"_s)->SetAsString(name());
            t.Post();
            continue; // the view is compared at the next change of the search
        } else if (kind == 7) {
            sort = sorts[int(random() % sorts.size())];
            t.SetSort(sort);
        }
        Search::Apply(*dm, text);
        auto fresh = cat.Open();
        fresh->BookTable.Open();
        fresh->BookTable.SetSort(sort);
        Search::Apply(*fresh, text);
        QCOMPARE(view(t), view(fresh->BookTable));
        // A change of the search moves to the first row shown (an empty box that
        // stays empty moves nothing).
        if (!text.isEmpty())
            QCOMPARE(t.RecNo(), fresh->BookTable.RecNo());
    }
    QVERIFY(typed > 50);
}

void TestDataSet::lookupFieldsShowReferenceText()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    const int cd = TTestCatalogue::AddReference(dm->TypeDiscADOTable, u"CD-R"_s);
    const int longKey = TTestCatalogue::AddReference(dm->PlatformADOTable, QString(25, u'П'));
    TDataSet& t = dm->BookTable;
    t.Open();
    t.Append();
    t.FieldByName(u"TypeDisc"_s)->SetAsInteger(cd);
    t.FieldByName(u"Platform"_s)->SetAsInteger(longKey);
    t.FieldByName(u"Category"_s)->SetAsInteger(777); // dangling
    t.Post();
    QCOMPARE(t.FieldByName(u"Тип диска"_s)->AsString(), u"CD-R"_s);
    QCOMPARE(t.FieldByName(u"Платформа"_s)->AsString(), QString(20, u'П'));
    QCOMPARE(t.FieldByName(u"Категория"_s)->AsString(), QString());
    QCOMPARE(t.FieldByName(u"Тип программы"_s)->AsString(), QString()); // empty key

    // Deleting the reference row leaves the key; the text goes empty.
    dm->TypeDiscADOTable.First();
    dm->TypeDiscADOTable.Delete();
    QCOMPARE(t.FieldByName(u"TypeDisc"_s)->AsInteger(), cd);
    QCOMPARE(t.FieldByName(u"Тип диска"_s)->AsString(), QString());
    // Renaming a reference row shows at once.
    dm->PlatformADOTable.First();
    dm->PlatformADOTable.Edit();
    dm->PlatformADOTable.Fields(1)->SetAsString(u"Linux"_s);
    dm->PlatformADOTable.Post();
    QCOMPARE(t.ViewText(0, t.FieldByName(u"Платформа"_s)->Index()), u"Linux"_s);
}

void TestDataSet::writingALookupFieldStoresTheKey()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TTestCatalogue::AddReference(dm->CategoryADOTable, u"Игры"_s);
    const int office = TTestCatalogue::AddReference(dm->CategoryADOTable, u"Офис"_s);
    TDataSet& t = dm->BookTable;
    t.Open();
    t.Append();
    t.FieldByName(u"Категория"_s)->SetAsString(u"Офис"_s);
    QCOMPARE(t.FieldByName(u"Category"_s)->AsInteger(), office);
    QVERIFY(t.Modified());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.FieldByName(u"Категория"_s)->SetAsString(u"Нет"_s));
    t.Post();
    QCOMPARE(t.FieldByName(u"Категория"_s)->AsString(), u"Офис"_s);
}

void TestDataSet::calculatedNumberFollowsTheOrder()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"c"_s, u"a"_s, u"b"_s});
    const int number = t.FieldByName(u"Номер"_s)->Index();
    const int name = t.FieldByName(u"ProductName"_s)->Index();
    t.SetSort(u"ProductName"_s);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(t.ViewValue(row, number).toInt(), row + 1);
    QCOMPARE(t.ViewText(0, name), u"a"_s);
    t.SetSort(QString());
    QCOMPARE(t.ViewText(0, name), u"c"_s);
    QCOMPARE(t.ViewValue(0, number).toInt(), 1);
    // Never stored: the column does not exist in the file.
    for (const TColumnDef& c : Schema::FindTable(u"SoftTable"_s)->Columns)
        QVERIFY(c.Name != u"Номер"_s);
}

void TestDataSet::eventsRunInOrder()
{
    TTestCatalogue cat;
    {
        auto dm = cat.Open();
        dm->BookTable.Open();
        TTestCatalogue::AddNames(dm->BookTable, {u"a"_s, u"b"_s});
    }
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    QStringList log;
    t.AfterOpen = [&](TDataSet&) { log << u"open"_s; };
    t.BeforeClose = [&](TDataSet&) { log << u"close"_s; };
    t.AfterPost = [&](TDataSet& ds) { log << u"post "_s + QString::number(ds.RecordCount()); };
    t.AfterScroll = [&](TDataSet& ds) { log << u"scroll "_s + QString::number(ds.RecNo()); };
    t.Open();
    t.Next();
    t.Next(); // already on the last row: the end flag is set, the row does not change
    t.Next(); // at the end already: nothing happens
    t.Insert();
    t.Cancel();
    t.Append();
    t.FieldByName(u"ProductName"_s)->SetAsString(u"c"_s);
    t.Post();
    t.Delete();
    t.Close();
    QCOMPARE(log,
             (QStringList{u"open"_s, u"scroll 1"_s, u"scroll 2"_s, u"scroll 2"_s, u"scroll -1"_s,
                          u"scroll 2"_s, u"scroll -1"_s, u"post 3"_s, u"scroll 2"_s, u"close"_s}));
}

void TestDataSet::boundWidgetTextIsTakenInBeforeLeavingTheRecord()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"a"_s, u"b"_s});
    TFakeEdit edit(&dm->DataSource, u"Label"_s);
    t.First();
    edit.Type(u"typed"_s);
    QVERIFY(!t.Modified()); // held by the widget, not yet in the record
    t.Next();               // leaving takes it in and posts
    QVERIFY(!edit.Held());
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    t.Refresh();
    t.First();
    QCOMPARE(t.FieldByName(u"Label"_s)->AsString(), u"typed"_s);
    QCOMPARE(edit.Shown(), u"typed"_s);

    // Post takes held text in too.
    edit.Type(u"second"_s);
    t.Post();
    QCOMPARE(t.FieldByName(u"Label"_s)->AsString(), u"second"_s);
    // So do sort and filter changes.
    edit.Type(u"third"_s);
    t.SetSort(u"ProductName"_s);
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    t.Refresh();
    t.First();
    QCOMPARE(t.FieldByName(u"Label"_s)->AsString(), u"third"_s);
}

void TestDataSet::unmodifiedNewRowIsDroppedOnLeaving()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"a"_s});
    t.Insert();
    QCOMPARE(t.ViewRowCount(), 2);
    t.First();
    QCOMPARE(t.RecordCount(), 1);
    QCOMPARE(t.ViewRowCount(), 1);
    t.Refresh();
    QCOMPARE(t.RecordCount(), 1);
}

void TestDataSet::refreshKeepsTheCurrentRowAndSeesOtherWriters()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"a"_s, u"b"_s, u"c"_s});
    t.First();
    t.Next();
    auto other = cat.Open();
    other->BookTable.Open();
    TTestCatalogue::AddNames(other->BookTable, {u"d"_s});
    QCOMPARE(t.RecordCount(), 3);
    t.Refresh();
    QCOMPARE(t.RecordCount(), 4);
    QCOMPARE(Name(t), u"b"_s);
}

QTEST_GUILESS_MAIN(TestDataSet)
void TestDataSet::heldControlsHearOneChangeAtTheEnd_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("nothing") << 0 << QStringList{u"b"_s, u"a"_s};
    QTest::newRow("a move") << 1 << QStringList{u"b"_s, u"a"_s};
    QTest::newRow("records inserted") << 2 << QStringList{u"b"_s, u"a"_s, u"c"_s, u"d"_s};
    QTest::newRow("a record edited") << 3 << QStringList{u"e"_s, u"a"_s};
    QTest::newRow("a record deleted") << 4 << QStringList{u"a"_s};
    QTest::newRow("a new order") << 5 << QStringList{u"a"_s, u"b"_s};
}

void TestDataSet::heldControlsHearOneChangeAtTheEnd()
{
    QFETCH(int, step);
    QFETCH(QStringList, names);
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"b"_s, u"a"_s});
    t.First();
    TNoticeLog log(&dm->DataSource);
    TFakeEdit edit(&dm->DataSource, u"Label"_s);
    log.Take(); // what binding told it

    t.DisableControls();
    t.DisableControls(); // the calls nest
    QVERIFY(t.ControlsDisabled());
    switch (step) {
    case 1:
        t.Next();
        break;
    case 2:
        for (const QString& name : {u"c"_s, u"d"_s}) {
            t.Insert();
            t.FieldByName(u"ProductName"_s)->SetAsString(name);
            t.Post();
        }
        break;
    case 3:
        t.Edit();
        t.FieldByName(u"ProductName"_s)->SetAsString(u"e"_s);
        // Held text is still asked for.
        edit.Type(u"typed"_s);
        t.Post();
        QVERIFY(!edit.Held());
        QCOMPARE(t.FieldByName(u"Label"_s)->AsString(), u"typed"_s);
        break;
    case 4:
        t.Delete();
        break;
    case 5:
        t.SetSort(u"ProductName"_s);
        break;
    }
    t.EnableControls();
    QVERIFY(t.ControlsDisabled());
    QCOMPARE(log.Take(), QStringList());
    const QString shownBefore = edit.Shown();

    t.EnableControls();
    QVERIFY(!t.ControlsDisabled());
    QCOMPARE(log.Take(),
             step == 0 ? QStringList() : (QStringList{u"changed"_s, u"state"_s, u"scrolled"_s}));
    if (step != 0)
        QCOMPARE(edit.Shown(), t.FieldByName(u"Label"_s)->AsString());
    else
        QCOMPARE(edit.Shown(), shownBefore);
    QCOMPARE(Walk(t), names);

    // Once enabled, every notice comes as it happens again; an extra call changes
    // nothing.
    t.EnableControls();
    t.First();
    t.Next();
    QVERIFY(!log.Take().isEmpty());
}

void TestDataSet::heldControlsStillHearOpenAndClose()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    TTestCatalogue::AddNames(t, {u"a"_s});
    TNoticeLog log(&dm->DataSource);
    log.Take(); // what binding told it

    t.DisableControls();
    t.Last();
    t.Close();
    QCOMPARE(log.Take(), QStringList{u"active"_s});
    // Closed, there is nothing more to tell.
    t.EnableControls();
    QCOMPARE(log.Take(), QStringList());

    t.DisableControls();
    t.Open();
    QCOMPARE(log.Take(), QStringList{u"active"_s});
    t.EnableControls();
    QCOMPARE(log.Take(), QStringList());
}

#include "tst_dataset.moc"
