#include "store/catalogue/dataset.h"
#include "store/rows/dberrors.h"
#include "tests/common/outsidesql.h"
#include "tests/common/testcatalogue.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray FileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The failure to open PATH: its English and its Russian wording, a line each.
QString OpenError(const QString& path)
{
    TADOConnection c(Catalogue::ConnectionStringFor(path));
    try {
        c.Open();
    } catch (const EDatabaseError& e) {
        return e.EnglishMessage() + u'\n' + e.Message();
    }
    return QString();
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void badFilesFailClearlyAndStayUnchanged_data();
    void badFilesFailClearlyAndStayUnchanged();
    void readOnlyCatalogueKeepsThePendingRow();
    void lockedCatalogueFailsThenPostsAgain();
    void rowChangedByAnotherWriterIsNotOverwritten_data();
    void rowChangedByAnotherWriterIsNotOverwritten();
    void cellsWrittenElsewhereStayEditable_data();
    void cellsWrittenElsewhereStayEditable();
    void closingTheConnectionClosesItsDatasets();
    void killedWriterLeavesEveryEarlierPost();
    void dataSourceName_data();
    void dataSourceName();
};

void TestConnection::badFilesFailClearlyAndStayUnchanged_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("mentions");
    QTest::addColumn<QString>("mentionsRu");
    QTest::newRow("missing") << QByteArray() << u"does not exist"_s << u"не существует"_s;
    QTest::newRow("empty") << QByteArray("") << u"empty"_s << u"пуст"_s;
    QByteArray noise(4096, '\0');
    QRandomGenerator rng(7);
    for (char& c : noise)
        c = char(rng.bounded(256));
    QTest::newRow("random bytes") << noise << u"unknown format"_s << u"неизвестный формат"_s;
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QTest::newRow("jet file") << jet << u"Convert it"_s << u"Access (Jet)"_s;
    QByteArray sqliteNoise("SQLite format 3", 16);
    sqliteNoise += noise;
    QTest::newRow("damaged sqlite")
        << sqliteNoise << u"not a catalogue"_s << u"это не файл каталога"_s;
}

void TestConnection::badFilesFailClearlyAndStayUnchanged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, mentions);
    QFETCH(QString, mentionsRu);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QByteArray before = FileHash(path);
    const QString error = OpenError(path);
    QVERIFY2(error.section(u'\n', 0, 0).contains(mentions), qPrintable(error));
    QVERIFY2(error.section(u'\n', 1, 1).contains(mentionsRu), qPrintable(error));
    QVERIFY(error.section(u'\n', 0, 0).contains(path) && error.section(u'\n', 1, 1).contains(path));
    QCOMPARE(FileHash(path), before);
    QCOMPARE(QFile::exists(path), !content.isNull());
    QVERIFY(!QFile::exists(path + u"-wal"_s));
}

void TestConnection::readOnlyCatalogueKeepsThePendingRow()
{
    // An SQLite file without our tables is refused as well, and left alone.
    QTemporaryDir dir;
    const QString foreign = dir.filePath(u"other.db"_s);
    {
        const TSqliteDatabase db = TSqliteDatabase::Open(SqliteUri(foreign).toUtf8(),
                                                         TSqliteDatabase::TAccess::ReadWriteCreate);
        db.Exec("CREATE TABLE Books (Title TEXT)");
    }
    const QByteArray before = FileHash(foreign);
    QVERIFY(OpenError(foreign).contains(u"SoftTable"_s));
    QCOMPARE(FileHash(foreign), before);

    TTestCatalogue cat;
    QStringList errors;
    TDataModule1 dm([&](const QString& m) { errors << m; },
                    cat.ConnectionString() + u";Mode=Read"_s);
    QVERIFY(errors.isEmpty());
    TDataSet& t = dm.BookTable;
    t.Open();
    t.Append();
    t.FieldByName(u"ProductName"_s)->SetAsString(u"Pending"_s);
    try {
        t.Post();
        QFAIL("post to a read-only catalogue succeeded");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.Fault(), TDbFault::ReadOnly);
        QVERIFY2(e.Message().contains(u"только для чтения"_s), qPrintable(e.Message()));
        QVERIFY2(e.EnglishMessage().contains(u"read-only"_s), qPrintable(e.EnglishMessage()));
    }
    QCOMPARE(t.State(), TDataSetState::dsInsert);
    QVERIFY(t.Modified());
    QCOMPARE(t.FieldByName(u"ProductName"_s)->AsString(), u"Pending"_s);
}

void TestConnection::lockedCatalogueFailsThenPostsAgain()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    dm->ADOConnection.SetBusyTimeoutMs(200);
    TDataSet& t = dm->BookTable;
    t.Open();
    t.Append();
    t.FieldByName(u"ProductName"_s)->SetAsString(u"Pending"_s);

    {
        const TSqliteDatabase locker = OutsideConnection(cat.Path());
        locker.Exec("BEGIN IMMEDIATE");
        try {
            t.Post();
            QFAIL("post to a locked catalogue succeeded");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Fault(), TDbFault::Locked);
            QVERIFY2(e.EnglishMessage().contains(u"locked"_s), qPrintable(e.EnglishMessage()));
        }
        QCOMPARE(t.State(), TDataSetState::dsInsert);
        locker.Exec("ROLLBACK");
    }

    t.Post();
    QCOMPARE(t.State(), TDataSetState::dsBrowse);
    auto other = cat.Open();
    other->BookTable.Open();
    QCOMPARE(other->BookTable.RecordCount(), 1);
    QCOMPARE(other->BookTable.FieldByName(u"ProductName"_s)->AsString(), u"Pending"_s);
}

void TestConnection::rowChangedByAnotherWriterIsNotOverwritten_data()
{
    QTest::addColumn<bool>("otherDeletes");
    QTest::addColumn<bool>("weDelete");
    QTest::addColumn<QString>("mentions");
    QTest::addColumn<int>("fault");
    QTest::newRow("changed, we edit")
        << false << false << u"изменил другой пользователь"_s << int(TDbFault::Conflict);
    QTest::newRow("deleted, we edit")
        << true << false << u"удалил другой пользователь"_s << int(TDbFault::DeletedElsewhere);
    QTest::newRow("changed, we delete")
        << false << true << u"изменил другой пользователь"_s << int(TDbFault::Conflict);
}

void TestConnection::rowChangedByAnotherWriterIsNotOverwritten()
{
    QFETCH(bool, otherDeletes);
    QFETCH(bool, weDelete);
    QFETCH(QString, mentions);
    QFETCH(int, fault);
    TTestCatalogue cat;
    auto mine = cat.Open();
    mine->BookTable.Open();
    TTestCatalogue::AddNames(mine->BookTable, {u"Shared"_s});

    auto theirs = cat.Open();
    theirs->BookTable.Open();
    if (otherDeletes) {
        theirs->BookTable.Delete();
    } else {
        theirs->BookTable.Edit();
        theirs->BookTable.FieldByName(u"Label"_s)->SetAsString(u"their note"_s);
        theirs->BookTable.Post();
    }

    try {
        if (weDelete) {
            mine->BookTable.Delete();
        } else {
            mine->BookTable.Edit();
            mine->BookTable.FieldByName(u"ProductName"_s)->SetAsString(u"Mine"_s);
            mine->BookTable.Post();
        }
        QFAIL("a row changed elsewhere was overwritten");
    } catch (const EDatabaseError& e) {
        QCOMPARE(int(e.Fault()), fault);
        QVERIFY2(e.Message().contains(mentions), qPrintable(e.Message()));
        QVERIFY2(e.EnglishMessage().contains(u"another user"_s), qPrintable(e.EnglishMessage()));
    }
    auto check = cat.Open();
    check->BookTable.Open();
    if (otherDeletes) {
        QCOMPARE(check->BookTable.RecordCount(), 0);
    } else {
        QCOMPARE(check->BookTable.FieldByName(u"ProductName"_s)->AsString(), u"Shared"_s);
        QCOMPARE(check->BookTable.FieldByName(u"Label"_s)->AsString(), u"their note"_s);
    }
    // After a refresh our cursor sees their row and may change it.
    if (!weDelete)
        mine->BookTable.Cancel();
    mine->BookTable.Refresh();
    if (!otherDeletes) {
        mine->BookTable.Edit();
        mine->BookTable.FieldByName(u"ProductName"_s)->SetAsString(u"Mine"_s);
        mine->BookTable.Post();
    }
}

void TestConnection::closingTheConnectionClosesItsDatasets()
{
    TTestCatalogue cat;
    auto dm = cat.Open();
    dm->BookTable.Open();
    dm->ADOConnection.Close();
    QVERIFY(!dm->BookTable.Active());
    QVERIFY(!dm->PlatformADOTable.Active());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, dm->BookTable.Open());
    dm->ADOConnection.Open();
    dm->BookTable.Open();
    QVERIFY(dm->BookTable.Active());
}

void TestConnection::killedWriterLeavesEveryEarlierPost()
{
    TTestCatalogue cat;
    QProcess poster;
    poster.start(QStringLiteral(TRESMOL_BINARY_DIR "/tests/store/store_poster"), {cat.Path()});
    QVERIFY2(poster.waitForStarted(), qPrintable(poster.errorString()));
    int reported = 0;
    QByteArray out;
    while (reported < 300 && poster.waitForReadyRead(10000)) {
        out += poster.readAllStandardOutput();
        const QList<QByteArray> lines = out.split('\n');
        if (lines.size() >= 2)
            reported = lines[lines.size() - 2].toInt();
    }
    ::kill(pid_t(poster.processId()), SIGKILL);
    poster.waitForFinished();
    QVERIFY2(reported >= 300, poster.readAllStandardError().constData());

    auto dm = cat.Open();
    QCOMPARE(QueryColumn(dm->ADOConnection.Database(QString()), u"PRAGMA integrity_check"_s),
             QVariantList{u"ok"_s});
    TDataSet& t = dm->BookTable;
    t.Open();
    QVERIFY(t.RecordCount() >= reported);
    int expected = 1;
    for (t.First(); !t.Eof(); t.Next())
        QCOMPARE(t.FieldByName(u"ProductName"_s)->AsString(),
                 u"row "_s + QString::number(expected++));
}

void TestConnection::cellsWrittenElsewhereStayEditable_data()
{
    // What another program may have put in a cell, and how the record shows it.
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored"); // an SQL literal
    QTest::addColumn<QString>("shown");
    QTest::newRow("an empty text") << u"InternalName"_s << u"''"_s << QString();
    QTest::newRow("a null text") << u"Comments"_s << u"NULL"_s << QString();
    QTest::newRow("a number past 64 bits' half")
        << u"Year"_s << u"9223372036854775807"_s << QString();
    QTest::newRow("a number past 32 bits") << u"Year"_s << u"4294967296"_s << QString();
    QTest::newRow("a huge fraction") << u"Rating"_s << u"1e300"_s << QString();
    QTest::newRow("a text in a number") << u"Rating"_s << u"'five'"_s << QString();
    QTest::newRow("a number") << u"Rating"_s << u"-7"_s << u"-7"_s;
}

// Whatever another program stored, the record shows it as the rule reads it, and a
// change of any field saves and deletes without a false conflict. An untouched odd
// cell is left as it was.
void TestConnection::cellsWrittenElsewhereStayEditable()
{
    QFETCH(QString, column);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TTestCatalogue cat;
    {
        auto dm = cat.Open();
        dm->BookTable.Open();
        TTestCatalogue::AddNames(dm->BookTable, {u"Odd"_s, u"Plain"_s});
    }
    RunOutside(cat.Path(), u"UPDATE SoftTable SET \""_s + column + u"\" = "_s + stored +
                               u" WHERE ProductName = 'Odd'"_s);
    const TSqliteDatabase db = OutsideConnection(cat.Path(), true);
    const auto StoredAs = [&] {
        return QueryColumn(db, u"SELECT quote(\""_s + column +
                                   u"\") FROM SoftTable WHERE ProductName = 'Odd'"_s);
    };
    const QVariantList before = StoredAs();
    auto dm = cat.Open();
    TDataSet& t = dm->BookTable;
    t.Open();
    QCOMPARE(t.FieldByName(u"ProductName"_s)->AsString(), u"Odd"_s);
    QCOMPARE(t.FieldByName(column)->AsString(), shown);
    t.Edit();
    t.FieldByName(u"Label"_s)->SetAsString(u"edited"_s);
    t.Post();
    QCOMPARE(StoredAs(), before);
    t.Delete();
    QCOMPARE(QueryColumn(db, u"SELECT count(*) FROM SoftTable"_s), QVariantList{qint64(1)});
}

void TestConnection::dataSourceName_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("name");
    QTest::newRow("the program's own")
        << TADOConnection::DefaultConnectionString << true << u"Tresmol.mdb"_s;
    QTest::newRow("a folder with blanks")
        << Catalogue::ConnectionStringFor(u"/tmp/my files/Tresmol.mdb"_s) << true
        << u"/tmp/my files/Tresmol.mdb"_s;
    QTest::newRow("blanks kept") << u"Provider=x;Data Source= a.mdb ;Mode=Read"_s << true
                                 << u" a.mdb "_s;
    QTest::newRow("empty item") << u"Provider=x;Data Source=;Mode=Read"_s << true << QString();
    QTest::newRow("last item") << u"Provider=x;Data Source=a.mdb"_s << false << QString();
    QTest::newRow("first item") << u"Data Source=a.mdb;Provider=x"_s << false << QString();
    QTest::newRow("other case") << u"Provider=x;data source=a.mdb;Mode=Read"_s << false
                                << QString();
    QTest::newRow("no data source") << u"Provider=x;Mode=Read"_s << false << QString();
}

void TestConnection::dataSourceName()
{
    QFETCH(QString, connectionString);
    QFETCH(bool, named);
    QFETCH(QString, name);
    const TADOConnection connection(connectionString);
    const std::optional<QString> got = connection.DataSourceName();
    QCOMPARE(got.has_value(), named);
    if (named)
        QCOMPARE(*got, name);
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
