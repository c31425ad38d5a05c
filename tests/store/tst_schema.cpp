#include "platform/errors.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/schema.h"
#include "tests/common/outsidesql.h"
#include "tests/common/testcatalogue.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void catalogueFieldList_data();
    void catalogueFieldList();
    void defaultGridShowsTwentyFourColumns();
    void shownFieldListReadsWhatTheGridNeeds();
    void createdFileHasEveryColumnWithItsType_data();
    void createdFileHasEveryColumnWithItsType();
    void dataModuleOpensReferenceCursorsButNotTheCatalogue();
    void createRefusesToOverwrite();
};

void TestSchema::catalogueFieldList_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("size");
    const auto row = [](int pos, const QString& name, TFieldKind kind, const QString& label,
                        int width, bool shown, int size) {
        QTest::addRow("%d %s", pos, qPrintable(name))
            << pos << name << int(kind) << label << width << shown << size;
    };
    row(0, u"Номер"_s, TFieldKind::fkCalculated, u"Номер"_s, 10, true, 0);
    row(1, u"ProductName"_s, TFieldKind::fkData, u"Название"_s, 20, true, 250);
    row(2, u"Тип диска"_s, TFieldKind::fkLookup, u"Тип диска"_s, 20, true, 20);
    row(6, u"Категория"_s, TFieldKind::fkLookup, u"Категория"_s, 20, true, 20);
    row(10, u"Size"_s, TFieldKind::fkData, u"Размер"_s, 10, true, 20);
    row(16, u"FileVersion"_s, TFieldKind::fkData, u"Версия файла"_s, 10, true, 60);
    row(22, u"LegalCopyright"_s, TFieldKind::fkData, u"Авт. права"_s, 30, true, 250);
    row(26, u"Article serialnumber"_s, TFieldKind::fkData, u"Артик. сер. номер"_s, 20, false, 200);
    row(31, u"FileDescription"_s, TFieldKind::fkData, u"Описание"_s, 20, false, 250);
    row(32, u"Ch0"_s, TFieldKind::fkData, u"Ch0"_s, 5, true, 0);
    row(33, u"Ch1"_s, TFieldKind::fkData, u"Ch1"_s, 5, false, 0);
    row(40, u"Installed"_s, TFieldKind::fkData, u"Installed"_s, 5, false, 0);
    row(45, u"ManufacturerDisc"_s, TFieldKind::fkData, u"Произв. дисков"_s, 12, false, 0);
    row(48, u"ExtractFileName"_s, TFieldKind::fkData, u"Извлеченное имя файла"_s, 20, false, 200);
    row(49, u"Id"_s, TFieldKind::fkData, u"Id"_s, 10, false, 0);
    row(50, u"Images"_s, TFieldKind::fkData, u"Images"_s, 150, false, 150);
}

void TestSchema::catalogueFieldList()
{
    QFETCH(int, position);
    const QVector<TFieldDef> fields = Schema::FieldDefs(u"SoftTable"_s);
    QCOMPARE(fields.size(), 51);
    const TFieldDef& f = fields[position];
    QTEST(f.FieldName, "name");
    QTEST(int(f.Kind), "kind");
    QTEST(f.DisplayLabel, "label");
    QTEST(f.DisplayWidth, "width");
    QTEST(f.Visible, "shown");
    QTEST(f.Size, "size");
}

void TestSchema::defaultGridShowsTwentyFourColumns()
{
    const QVector<TFieldDef> fields = Schema::FieldDefs(u"SoftTable"_s);
    QStringList shown;
    int stored = 0, lookups = 0, calculated = 0;
    for (const TFieldDef& f : fields) {
        if (f.Visible)
            shown << f.FieldName;
        stored += f.Kind == TFieldKind::fkData;
        lookups += f.Kind == TFieldKind::fkLookup;
        calculated += f.Kind == TFieldKind::fkCalculated;
    }
    QCOMPARE(shown.size(), 24);
    QCOMPARE(shown.last(), u"Ch0"_s);
    QCOMPARE(shown.at(22), u"LegalCopyright"_s);
    QCOMPARE(stored, 45);
    QCOMPARE(lookups, 5);
    QCOMPARE(calculated, 1);
}

void TestSchema::shownFieldListReadsWhatTheGridNeeds()
{
    const QVector<TFieldDef> all = Schema::FieldDefs(u"SoftTable"_s);
    const QVector<TFieldDef> shown = Schema::ShownFieldDefs(u"SoftTable"_s);
    QCOMPARE(shown.size(), all.size());
    QStringList unread;
    for (int i = 0; i < all.size(); ++i) {
        QCOMPARE(shown[i].FieldName, all[i].FieldName);
        if (shown[i].Kind != all[i].Kind) {
            QCOMPARE(all[i].Kind, TFieldKind::fkData);
            QCOMPARE(shown[i].Kind, TFieldKind::fkCalculated);
            QVERIFY(!all[i].Visible);
            unread << all[i].FieldName;
        }
    }
    // The key and the keys of the shown lookups are read though hidden.
    for (const QString& kept : {u"Id"_s, u"Platform"_s, u"Category"_s, u"Programtype"_s,
                                u"TypeDisc"_s, u"ManufacturerDisc"_s})
        QVERIFY2(!unread.contains(kept), qPrintable(kept));
    for (const QString& left : {u"PlacingProgram"_s, u"FileDescription"_s, u"ExtractFileName"_s,
                                u"SubCategory"_s, u"Images"_s})
        QVERIFY2(unread.contains(left), qPrintable(left));
}

void TestSchema::createdFileHasEveryColumnWithItsType_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("sqlType");
    QTest::newRow("key") << u"SoftTable"_s << u"Id"_s << u"INTEGER"_s;
    QTest::newRow("text") << u"SoftTable"_s << u"Article serialnumber"_s << u"TEXT"_s;
    QTest::newRow("integer") << u"SoftTable"_s << u"Year"_s << u"INTEGER"_s;
    QTest::newRow("boolean") << u"SoftTable"_s << u"Installed"_s << u"INTEGER"_s;
    QTest::newRow("disc type") << u"TypeDiscBase"_s << u"TypeDisc"_s << u"TEXT"_s;
    QTest::newRow("disc maker key") << u"ManufacturerDiscBase"_s << u"key6"_s << u"INTEGER"_s;
    QTest::newRow("program type") << u"ProgramtypeBase"_s << u"ProgramtypeType"_s << u"TEXT"_s;
    QTest::newRow("platform") << u"PlatformBase"_s << u"TypePlatform"_s << u"TEXT"_s;
    QTest::newRow("category key") << u"CategoryBase"_s << u"key3"_s << u"INTEGER"_s;
}

void TestSchema::createdFileHasEveryColumnWithItsType()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    TTestCatalogue cat;
    auto dm = cat.Open();
    const TSqliteDatabase& db = dm->ADOConnection.Database(table);
    TSqliteStatement q = db.Prepare((u"PRAGMA table_info(\""_s + table + u"\")"_s).toUtf8());
    QString type;
    int count = 0;
    while (q.Step()) {
        ++count;
        if (q.Text(1) == column)
            type = q.Text(2);
    }
    QTEST(type, "sqlType");
    QCOMPARE(count, Schema::FindTable(table)->Columns.size());
    if (table == u"SoftTable"_s)
        QCOMPARE(count, 45);
    QCOMPARE(QueryColumn(db, u"PRAGMA journal_mode"_s), QVariantList{u"wal"_s});
}

void TestSchema::dataModuleOpensReferenceCursorsButNotTheCatalogue()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    QVERIFY(dm->ADOConnection.Connected());
    QVERIFY(!dm->BookTable.Active());
    for (TDataSet* ref : dm->ReferenceTables())
        QVERIFY2(ref->Active(), qPrintable(ref->TableName()));
    QCOMPARE(dm->ReferenceTables().front(), &dm->ManufacturerADOTable);
    QCOMPARE(dm->ReferenceTables().back(), &dm->TypeDiscADOTable);
    QCOMPARE(dm->DataSource.DataSet(), &dm->BookTable);
    QCOMPARE(dm->TypeDiscDataSource.DataSet(), &dm->TypeDiscADOTable);
    QCOMPARE(TADOConnection::DefaultConnectionString,
             u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Tresmol.mdb;"
             u"Persist Security Info=False"_s);
}

void TestSchema::createRefusesToOverwrite()
{
    TTestCatalogue cat;
    {
        auto dm = cat.Open();
        dm->BookTable.Open();
        TTestCatalogue::AddNames(dm->BookTable, {u"Keep me"_s});
    }
    QVERIFY_THROWS_EXCEPTION(EError, Catalogue::Create(cat.Path()));
    auto dm = cat.Open();
    dm->BookTable.Open();
    QCOMPARE(dm->BookTable.RecordCount(), 1);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
