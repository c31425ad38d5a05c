// The record operations the windows and tresmol-cli share: saving only a changed
// record, with the text widgets still hold taken in first, and deleting what the view
// shows.

#include "store/catalogue/datasource.h"
#include "store/catalogue/recordops.h"
#include "store/catalogue/search.h"
#include "tests/common/testcatalogue.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// An edit box bound to one field, reduced to what matters here: typed text stays in
// the box until the dataset asks for it.
class THeldText : public TDataLink {
public:
    THeldText(TDataSource* ds, QString field) : FField(std::move(field)) { SetDataSource(ds); }

    void Type(const QString& text)
    {
        DataSet()->Edit();
        FText = text;
        FHeld = true;
    }
    void UpdateData() override
    {
        if (!FHeld)
            return;
        FHeld = false;
        DataSet()->FieldByName(FField)->SetAsString(FText);
    }

private:
    QString FField, FText;
    bool FHeld = false;
};

QString Name(const TDataSet& t) { return t.FieldByName(u"ProductName"_s)->AsString(); }

QStringList Walk(TDataSet& t)
{
    QStringList names;
    for (t.First(); !t.Eof(); t.Next())
        names << Name(t);
    return names;
}

// What is done to the record "Alpha" before the save.
enum class TChange { None, HeldText, AssignedValue, EditWithoutChange, EmptyNewRecord };

} // namespace

Q_DECLARE_METATYPE(TChange)
Q_DECLARE_METATYPE(TDataSetState)

class TestRecordOps : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveIfModified_data();
    void saveIfModified();
    void saveOnAClosedDatasetDoesNothing();
    void deleteAllTakesWhatTheViewShows_data();
    void deleteAllTakesWhatTheViewShows();
    void deleteAllReportsEachRecordAndCanStop();
    void deleteAllDropsAPendingNewRecordWithoutCountingIt();

private:
    TDataSet& Table() { return FDm->BookTable; }

    std::unique_ptr<TTestCatalogue> FCatalogue;
    std::unique_ptr<TDataModule1> FDm;
};

void TestRecordOps::init()
{
    FCatalogue = std::make_unique<TTestCatalogue>();
    FDm = FCatalogue->Open();
    Table().Open();
    TTestCatalogue::AddNames(Table(), {u"Alpha"_s, u"Beta"_s, u"Bravo"_s, u"Charlie"_s});
    Table().First();
}

void TestRecordOps::cleanup()
{
    FDm.reset();
    FCatalogue.reset();
}

void TestRecordOps::saveIfModified_data()
{
    QTest::addColumn<TChange>("change");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<TDataSetState>("stateAfter");
    QTest::addColumn<QString>("label"); // the first record's Label in the file afterwards
    QTest::addColumn<int>("records");
    QTest::newRow("text still in the box")
        << TChange::HeldText << true << TDataSetState::dsBrowse << u"typed"_s << 4;
    QTest::newRow("value set on the field")
        << TChange::AssignedValue << true << TDataSetState::dsBrowse << u"assigned"_s << 4;
    QTest::newRow("nothing changed")
        << TChange::None << false << TDataSetState::dsBrowse << QString() << 4;
    QTest::newRow("editing without a change")
        << TChange::EditWithoutChange << false << TDataSetState::dsEdit << QString() << 4;
    QTest::newRow("new record nothing was written into")
        << TChange::EmptyNewRecord << false << TDataSetState::dsInsert << QString() << 4;
}

void TestRecordOps::saveIfModified()
{
    QFETCH(TChange, change);
    QFETCH(bool, posted);
    QFETCH(TDataSetState, stateAfter);
    QFETCH(QString, label);
    QFETCH(int, records);

    THeldText box(&FDm->DataSource, u"Label"_s);
    int posts = 0;
    Table().AfterPost = [&posts](TDataSet&) { ++posts; };
    switch (change) {
    case TChange::None:
        break;
    case TChange::HeldText:
        box.Type(u"typed"_s);
        QVERIFY(!Table().Modified()); // the record does not know of the text yet
        break;
    case TChange::AssignedValue:
        Table().Edit();
        Table().FieldByName(u"Label"_s)->SetAsString(u"assigned"_s);
        break;
    case TChange::EditWithoutChange:
        Table().Edit();
        break;
    case TChange::EmptyNewRecord:
        Table().Insert();
        break;
    }

    QCOMPARE(RecordOps::SaveIfModified(Table()), posted);
    QCOMPARE(posts, posted ? 1 : 0);
    QCOMPARE(Table().State(), stateAfter);
    QVERIFY(!Table().Modified());

    // What the file holds, seen by a second reader.
    const std::unique_ptr<TDataModule1> other = FCatalogue->Open();
    other->BookTable.Open();
    QCOMPARE(other->BookTable.RecordCount(), records);
    other->BookTable.First();
    QCOMPARE(Name(other->BookTable), u"Alpha"_s);
    QCOMPARE(other->BookTable.FieldByName(u"Label"_s)->AsString(), label);
}

void TestRecordOps::saveOnAClosedDatasetDoesNothing()
{
    int posts = 0;
    Table().AfterPost = [&posts](TDataSet&) { ++posts; };
    Table().Close();
    QCOMPARE(RecordOps::SaveIfModified(Table()), false);
    QVERIFY(!Table().Active());
    QCOMPARE(posts, 0);
}

void TestRecordOps::deleteAllTakesWhatTheViewShows_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("no search") << QString() << 4 << QStringList{};
    // The search counts Charlie (it sorts after "B") but shows only the names that
    // begin with "B": Charlie stays.
    QTest::newRow("search B") << u"B"_s << 2 << QStringList{u"Alpha"_s, u"Charlie"_s};
    QTest::newRow("search shows nothing")
        << u"Z"_s << 0 << QStringList{u"Alpha"_s, u"Beta"_s, u"Bravo"_s, u"Charlie"_s};
}

void TestRecordOps::deleteAllTakesWhatTheViewShows()
{
    QFETCH(QString, search);
    QFETCH(int, deleted);
    QFETCH(QStringList, left);
    Search::Apply(*FDm, search);
    Table().First();
    QCOMPARE(RecordOps::DeleteAll(Table()), deleted);
    QVERIFY(Table().IsEmpty());
    Search::Apply(*FDm, QString());
    QCOMPARE(Walk(Table()), left);

    const std::unique_ptr<TDataModule1> other = FCatalogue->Open();
    other->BookTable.Open();
    QCOMPARE(Walk(other->BookTable), left);
}

void TestRecordOps::deleteAllReportsEachRecordAndCanStop()
{
    QList<int> told;
    QCOMPARE(RecordOps::DeleteAll(Table(),
                                  [&](int remaining) {
                                      told << remaining;
                                      // The count the callback gets is the dataset's own.
                                      return remaining == Table().RecordCount() && told.size() < 3;
                                  }),
             3);
    QCOMPARE(told, (QList<int>{3, 2, 1}));
    QCOMPARE(Walk(Table()), QStringList{u"Charlie"_s});

    told.clear();
    QCOMPARE(RecordOps::DeleteAll(Table(),
                                  [&](int remaining) {
                                      told << remaining;
                                      return true;
                                  }),
             1);
    QCOMPARE(told, QList<int>{0});
    QVERIFY(Table().IsEmpty());
    // Nothing left: nothing to tell.
    told.clear();
    QCOMPARE(RecordOps::DeleteAll(Table(),
                                  [&](int remaining) {
                                      told << remaining;
                                      return true;
                                  }),
             0);
    QVERIFY(told.isEmpty());
}

void TestRecordOps::deleteAllDropsAPendingNewRecordWithoutCountingIt()
{
    Table().Insert();
    QCOMPARE(RecordOps::DeleteAll(Table()), 4);
    QCOMPARE(Table().State(), TDataSetState::dsBrowse);
    QVERIFY(Table().IsEmpty());
    QCOMPARE(Table().RecordCount(), 0);
}

QTEST_GUILESS_MAIN(TestRecordOps)
#include "tst_recordops.moc"
