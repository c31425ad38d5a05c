// Reading a table on two threads: the same rows, cells and nulls as one reader gives,
// and one snapshot of the file even when a writer tries to commit as the readers start.
// Reading only the shown fields: the same grid, and a post that leaves the rest alone.

#include "store/catalogue/cells.h"
#include "store/catalogue/schema.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tests/common/outsidesql.h"
#include "tests/common/readonlyuser.h"
#include "tests/common/testcatalogue.h"
#include "tests/store/tabledump.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <sqlite3.h>

#include <climits>

using namespace Qt::Literals::StringLiterals;

namespace {

// Rows written straight to the file, by key, each a value per column of SoftTable by
// name; null cells are absent.
using TRows = QMap<int, QHash<QString, QVariant>>;

// A text of LENGTH characters, Latin and Cyrillic.
QString RandomText(QRandomGenerator& rng, int length)
{
    static const QString letters = u"abcXYZ бвгЖЩЯ ёЁ.-_\\"_s;
    QString text;
    for (int i = 0; i < length; ++i)
        text += letters[rng.bounded(int(letters.size()))];
    return text;
}

// A cell of COLUMN: now and then null, an empty text, a text many rows share, or a
// long one.
QVariant RandomCell(QRandomGenerator& rng, const TColumnDef& column)
{
    const int pick = int(rng.bounded(10));
    // Booleans are never null in the file.
    if (column.Type == TFieldType::ftBoolean)
        return int(rng.bounded(2));
    if (pick == 0)
        return QVariant();
    switch (column.Type) {
    case TFieldType::ftString:
        if (pick == 1)
            return u""_s;
        if (pick < 5)
            return QString(u"shared "_s + QString::number(rng.bounded(4)));
        return RandomText(rng, pick == 9 ? 1100 + int(rng.bounded(400))
                                         : 1 + int(rng.bounded(std::max(1, column.Size))));
    default:
        return int(rng.bounded(2000001)) - 1000000;
    }
}

TSqliteDatabase Writer(const QString& path, int busyTimeoutMs)
{
    TSqliteDatabase db = OutsideConnection(path);
    db.SetBusyTimeout(busyTimeoutMs);
    return db;
}

// Runs SQL on DB; the result code it failed with, SQLITE_OK when it did not.
int TryExec(const TSqliteDatabase& db, const QString& sql)
{
    try {
        db.Exec(sql.toUtf8());
        return SQLITE_OK;
    } catch (const ESqliteError& e) {
        return e.PrimaryCode();
    }
}

// Writes COUNT random rows to the catalogue at PATH, then deletes every seventh, and
// returns what the table holds.
TRows Fill(const QString& path, int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    const TTableDef& table = *Schema::FindTable(u"SoftTable"_s);
    TRows rows;
    const TSqliteDatabase db = Writer(path, 0);
    TSqliteTransaction transaction(db);
    for (int i = 0; i < count; ++i) {
        QHash<QString, QVariant> row;
        QStringList names, marks;
        QVariantList values;
        for (const TColumnDef& c : table.Columns) {
            if (c.Name == table.KeyColumn)
                continue;
            const QVariant v = RandomCell(rng, c);
            if (v.isNull())
                continue;
            row.insert(c.Name, v);
            names << u'"' + c.Name + u'"';
            marks << u"?"_s;
            values << v;
        }
        // Every row has its Booleans, so no row is without a column.
        TSqliteStatement q = db.Prepare((u"INSERT INTO SoftTable ("_s + names.join(u',') +
                                         u") VALUES ("_s + marks.join(u',') + u')')
                                            .toUtf8());
        BindAll(q, values);
        q.Step();
        const int key = int(db.LastInsertRowId());
        row.insert(table.KeyColumn, key);
        rows.insert(key, row);
    }
    for (auto it = rows.begin(); it != rows.end();) {
        if (it.key() % 7 == 3) {
            db.Exec((u"DELETE FROM SoftTable WHERE Id = "_s + QString::number(it.key())).toUtf8());
            it = rows.erase(it);
        } else {
            ++it;
        }
    }
    transaction.Commit();
    return rows;
}

// ROWS as DumpTable shows them once read, in the field order of TABLE.
QByteArray Dump(const TRows& rows, const TDataSet& table)
{
    QByteArray out;
    for (const auto& row : rows) {
        QStringList cells;
        for (int f = 0; f < table.FieldCount(); ++f) {
            const TField& field = *table.Fields(f);
            if (field.FieldKind() == TFieldKind::fkData)
                cells << DumpCell(Cells::Normal(field.DataType(), row.value(field.FieldName())),
                                  field.DataType() == TFieldType::ftString);
        }
        out += cells.join(u'|').toUtf8() + '\n';
    }
    return out;
}

// The first line where A and B differ, for a readable failure.
QByteArray FirstDifference(const QByteArray& a, const QByteArray& b)
{
    const QList<QByteArray> la = a.split('\n'), lb = b.split('\n');
    for (int i = 0; i < std::min(la.size(), lb.size()); ++i)
        if (la[i] != lb[i])
            return "line " + QByteArray::number(i) + ":\n" + la[i].left(300) + "\n" +
                   lb[i].left(300);
    return "lengths " + QByteArray::number(la.size()) + " and " + QByteArray::number(lb.size());
}

std::unique_ptr<TDataModule1> OpenModule(const QString& connectionString,
                                         TBookFields fields = TBookFields::All)
{
    QStringList errors;
    auto dm = std::make_unique<TDataModule1>([&errors](const QString& m) { errors << m; },
                                             connectionString, fields);
    if (!errors.isEmpty())
        qFatal("cannot open the catalogue: %s", qPrintable(errors.join(u'\n')));
    return dm;
}

// The grid's shown columns as TABLE views them, one line per row.
QByteArray ShownGrid(const TDataSet& table)
{
    QByteArray out;
    for (int row = 0; row < table.ViewRowCount(); ++row) {
        QStringList cells;
        for (int f = 0; f < table.FieldCount(); ++f)
            if (table.Fields(f)->Visible())
                cells << table.ViewText(row, f);
        out += cells.join(u'|').toUtf8() + '\n';
    }
    return out;
}

} // namespace

class TestTableRead : public QObject {
    Q_OBJECT

private slots:
    void twoReadersLoadWhatOneReads_data();
    void twoReadersLoadWhatOneReads();
    void writerWaitsWhileTheReadersStart_data();
    void writerWaitsWhileTheReadersStart();
    void writerHoldingTheFileLeavesOneReader();
    void readOnlyFolderLoadsOnTwoReaders();
    void shownFieldsGiveTheSameGrid_data();
    void shownFieldsGiveTheSameGrid();
    void postOnShownFieldsLeavesTheOthers();
};

void TestTableRead::twoReadersLoadWhatOneReads_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("twoFrom");
    QTest::addColumn<QString>("mode");
    QTest::newRow("one reader") << 3000 << INT_MAX << QString();
    QTest::newRow("two readers") << 3000 << 0 << QString();
    QTest::newRow("two readers, read-only mode") << 3000 << 0 << u";Mode=Read"_s;
    QTest::newRow("two readers, one row") << 1 << 0 << QString();
    QTest::newRow("two readers, no rows") << 0 << 0 << QString();
}

void TestTableRead::twoReadersLoadWhatOneReads()
{
    QFETCH(int, rows);
    QFETCH(int, twoFrom);
    QFETCH(QString, mode);
    TTestCatalogue cat;
    const TRows written = Fill(cat.Path(), rows, 18);
    auto dm = OpenModule(cat.ConnectionString() + mode);
    dm->ADOConnection.ReadTuning.TwoReadersFromRows = twoFrom;
    bool twoStarted = false;
    dm->ADOConnection.ReadTuning.BetweenReaderStarts = [&twoStarted] { twoStarted = true; };
    TDataSet& t = dm->BookTable;
    t.Open();
    QCOMPARE(twoStarted, twoFrom == 0);
    QCOMPARE(t.RecordCount(), int(written.size()));
    const QByteArray loaded = DumpTable(t), expected = Dump(written, t);
    QVERIFY2(loaded == expected, FirstDifference(loaded, expected).constData());
    // A refresh reads the same again, the rows held before making room first.
    t.Refresh();
    QCOMPARE(DumpTable(t), expected);
}

void TestTableRead::writerWaitsWhileTheReadersStart_data()
{
    QTest::addColumn<QString>("change");
    // The first text column goes to the first reader and the second to the other, so a
    // change of both would show half done if the readers saw different moments.
    QTest::newRow("a row changed in both halves")
        << u"UPDATE SoftTable SET ProductName = 'after', FileName = 'after' WHERE Id = 2"_s;
    QTest::newRow("a row added") << u"INSERT INTO SoftTable (ProductName) VALUES ('after')"_s;
    QTest::newRow("a row deleted") << u"DELETE FROM SoftTable WHERE Id = 2"_s;
}

void TestTableRead::writerWaitsWhileTheReadersStart()
{
    QFETCH(QString, change);
    TTestCatalogue cat;
    const TRows written = Fill(cat.Path(), 500, 7);
    auto dm = OpenModule(cat.ConnectionString());
    dm->ADOConnection.ReadTuning.TwoReadersFromRows = 0;
    const TSqliteDatabase writer = Writer(cat.Path(), 0);
    int refused = SQLITE_OK;
    int hookCalls = 0;
    dm->ADOConnection.ReadTuning.BetweenReaderStarts = [&] {
        ++hookCalls;
        refused = TryExec(writer, change);
    };
    TDataSet& t = dm->BookTable;
    t.Open();
    QCOMPARE(hookCalls, 1);
    const QByteArray loaded = DumpTable(t), expected = Dump(written, t);
    QVERIFY2(loaded == expected, FirstDifference(loaded, expected).constData());
    QCOMPARE(refused, SQLITE_BUSY);

    // Once both have begun the writer is let go: it commits while they read on.
    dm->ADOConnection.ReadTuning.BetweenReaderStarts = [&] { refused = TryExec(writer, change); };
    t.Refresh();
    QCOMPARE(refused, SQLITE_BUSY);
    QCOMPARE(TryExec(writer, change), SQLITE_OK);
    dm->ADOConnection.ReadTuning.BetweenReaderStarts = nullptr;
    t.Refresh();
    QVERIFY(DumpTable(t) != expected);
}

void TestTableRead::writerHoldingTheFileLeavesOneReader()
{
    TTestCatalogue cat;
    const TRows written = Fill(cat.Path(), 500, 9);
    auto dm = OpenModule(cat.ConnectionString());
    dm->ADOConnection.ReadTuning.TwoReadersFromRows = 0;
    bool twoStarted = false;
    dm->ADOConnection.ReadTuning.BetweenReaderStarts = [&twoStarted] { twoStarted = true; };
    {
        // Another program in the middle of a write: the table is read at once on one
        // thread, and what that program has not committed is not seen.
        const TSqliteDatabase writer = Writer(cat.Path(), 0);
        writer.Exec("BEGIN IMMEDIATE; DELETE FROM SoftTable");
        TDataSet& t = dm->BookTable;
        t.Open();
        QVERIFY(!twoStarted);
        QCOMPARE(DumpTable(t), Dump(written, t));
        writer.Exec("ROLLBACK");
    }
}

void TestTableRead::readOnlyFolderLoadsOnTwoReaders()
{
    // The reader runs as a user who may read the folder but not write to it.
    const std::optional<QStringList> asReader = AsUserWhoCannotWrite();
    if (!asReader)
        QSKIP("running as root without setpriv, no user who cannot write is at hand");
    const QStringList& prefix = *asReader;
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString folder = dir.filePath(u"disc"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/Tresmol.mdb"_s;
    Catalogue::Create(path);
    const TRows written = Fill(path, 2000, 11);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                              QFile::ExeOther));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));

    QProcess reader;
    const QStringList command =
        prefix + QStringList{QStringLiteral(TRESMOL_BINARY_DIR "/tests/store/store_reader"), path};
    reader.start(command.first(), command.mid(1));
    QVERIFY(reader.waitForFinished(60000));
    const QByteArray err = reader.readAllStandardError();
    QVERIFY2(reader.exitCode() == 0, err.constData());
    QCOMPARE(err, QByteArray("read-only media, two readers\n"));

    const TDataSet fieldOrder(nullptr, u"SoftTable"_s);
    const QByteArray out = reader.readAllStandardOutput(), expected = Dump(written, fieldOrder);
    QVERIFY2(out == expected, FirstDifference(out, expected).constData());
    // Nothing was made beside the catalogue.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"Tresmol.mdb"_s});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestTableRead::shownFieldsGiveTheSameGrid_data()
{
    QTest::addColumn<QString>("sortKey");
    QTest::addColumn<QString>("search");
    QTest::newRow("by name") << u"name"_s << QString();
    QTest::newRow("by maker, searched") << u"maker"_s << u"shared"_s;
    QTest::newRow("by size") << u"size"_s << QString();
    QTest::newRow("by platform, searched") << u"platform"_s << u"s"_s;
    QTest::newRow("by category") << u"category"_s << QString();
    QTest::newRow("by type, searched") << u"type"_s << u"shared 2"_s;
}

void TestTableRead::shownFieldsGiveTheSameGrid()
{
    QFETCH(QString, sortKey);
    QFETCH(QString, search);
    TTestCatalogue cat;
    const TRows written = Fill(cat.Path(), 1500, 21);
    {
        // Lookups that find their rows, so that sorting by them orders texts.
        const TSqliteDatabase db = Writer(cat.Path(), 0);
        for (const QString& table : {u"PlatformBase"_s, u"CategoryBase"_s, u"ProgramtypeBase"_s,
                                     u"TypeDiscBase"_s, u"ManufacturerDiscBase"_s})
            for (int i = 0; i < 5; ++i)
                db.Exec((u"INSERT INTO "_s + table + u" VALUES (NULL, 'name "_s +
                         QString::number((i * 3) % 5) + u"')"_s)
                            .toUtf8());
        db.Exec("UPDATE SoftTable SET Platform = Id % 6, Category = Id % 4, "
                "Programtype = Id % 5, TypeDisc = Id % 3, ManufacturerDisc = Id % 7");
    }
    auto all = OpenModule(cat.ConnectionString());
    auto shown = OpenModule(cat.ConnectionString(), TBookFields::Shown);
    for (TDataModule1* dm : {all.get(), shown.get()}) {
        dm->BookTable.Open();
        dm->BookTable.SetSort(Search::SortFieldForKey(sortKey));
        Search::Apply(*dm, search);
    }
    const QByteArray expected = ShownGrid(all->BookTable), got = ShownGrid(shown->BookTable);
    QVERIFY(all->BookTable.ViewRowCount() > 50);
    QVERIFY2(got == expected, FirstDifference(got, expected).constData());
    // The long hidden texts were not read at all.
    const TField* path = shown->BookTable.FieldByName(u"PlacingProgram"_s);
    QCOMPARE(path->FieldKind(), TFieldKind::fkCalculated);
    QVERIFY(shown->BookTable.ViewValue(0, path->Index()).isNull());
    QVERIFY(!all->BookTable.ViewValue(0, path->Index()).isNull() ||
            !all->BookTable.ViewValue(1, path->Index()).isNull());
}

void TestTableRead::postOnShownFieldsLeavesTheOthers()
{
    TTestCatalogue cat;
    TRows written = Fill(cat.Path(), 60, 23);
    int edited = 0, added = 0;
    {
        auto shown = OpenModule(cat.ConnectionString(), TBookFields::Shown);
        TDataSet& t = shown->BookTable;
        t.Open();
        t.Next();
        edited = t.FieldByName(u"Id"_s)->AsInteger();
        t.Edit();
        t.FieldByName(u"ProductName"_s)->SetAsString(u"edited"_s);
        t.Post();
        t.Append();
        t.FieldByName(u"ProductName"_s)->SetAsString(u"added"_s);
        t.Post();
        added = t.FieldByName(u"Id"_s)->AsInteger();
        t.Close();
    }
    written[edited][u"ProductName"_s] = u"edited"_s;
    // A record added through the shown fields has the others empty (Booleans false).
    QHash<QString, QVariant>& fresh = written[added];
    fresh.insert(u"Id"_s, added);
    fresh.insert(u"ProductName"_s, u"added"_s);
    for (const TColumnDef& c : Schema::FindTable(u"SoftTable"_s)->Columns)
        if (c.Type == TFieldType::ftBoolean)
            fresh.insert(c.Name, 0);
    auto all = OpenModule(cat.ConnectionString());
    all->BookTable.Open();
    const QByteArray loaded = DumpTable(all->BookTable), expected = Dump(written, all->BookTable);
    QVERIFY2(loaded == expected, FirstDifference(loaded, expected).constData());
}

QTEST_GUILESS_MAIN(TestTableRead)
#include "tst_tableread.moc"
