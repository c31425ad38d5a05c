#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/outsidesql.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct TRun {
    int Status;
    QString Out, Err;
};

// Runs tresmol-cli with ARGS; SETUP, when given, runs in the child before it starts.
TRun Cli(const QStringList& args, const std::function<void()>& setup = nullptr)
{
    QProcess p;
    if (setup)
        p.setChildProcessModifier(setup);
    p.start(QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli"), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Names in the order `list --json` prints them.
QStringList ListedNames(const QStringList& args, QList<int>* numbers = nullptr)
{
    const TRun r = Cli(QStringList{u"list"_s} + args + QStringList{u"--json"_s});
    if (r.Status != 0)
        qWarning("list failed: %s", qPrintable(r.Err));
    QStringList names;
    for (const QString& line : r.Out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        names << o.value(u"ProductName"_s).toString();
        if (numbers)
            *numbers << o.value(u"Номер"_s).toInt();
    }
    return names;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void searchShowsNamesBeginningWithTheText_data();
    void searchShowsNamesBeginningWithTheText();
    void sortKeysOrderTheList_data();
    void sortKeysOrderTheList();
    void textListingHasTheGridTitles();
    void listsWithinAMemoryLimit_data();
    void listsWithinAMemoryLimit();
    void failuresExitWithAClearMessage_data();
    void failuresExitWithAClearMessage();
    void clearWithoutASearchAsksForAll_data();
    void clearWithoutASearchAsksForAll();
    void clearDeletesWhatTheViewShows_data();
    void clearDeletesWhatTheViewShows();
    void createMakesTheStandardLists_data();
    void createMakesTheStandardLists();

private:
    // The demo catalogue's records copied to some 27,000, made once.
    QString Large()
    {
        const QString path = FDir.filePath(u"large.mdb"_s);
        if (!QFile::exists(path)) {
            QFile::copy(FDemo, path);
            RunOutside(path, u"INSERT INTO SoftTable (ProductName, CompanyName, FileName) "_s
                             u"SELECT ProductName || ' ' || n, CompanyName, FileName || n "_s
                             u"FROM SoftTable, (WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL "_s
                             u"SELECT n + 1 FROM c WHERE n < 600) SELECT n FROM c)"_s);
        }
        return path;
    }

    QTemporaryDir FDir;
    QString FDemo;
};

void TestCli::initTestCase()
{
    FDemo = FDir.filePath(u"demo.mdb"_s);
    const TRun r = Cli({u"demo"_s, FDemo});
    QVERIFY2(r.Status == 0, qPrintable(r.Err));
    const QStringList all = ListedNames({FDemo});
    QVERIFY2(all.size() >= 45 && all.size() <= 60, qPrintable(QString::number(all.size())));
}

void TestCli::searchShowsNamesBeginningWithTheText_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Ad") << u"Ad"_s
                        << QStringList{u"Ad-Tool"_s, u"Adder Calc"_s, u"Adobe Photoshop"_s,
                                       u"Adobe Reader"_s};
    QTest::newRow("case matters") << u"ad"_s << QStringList{};
    QTest::newRow("quote") << u"Baldur's"_s << QStringList{u"Baldur's Gate"_s};
    QTest::newRow("lone quote") << u"'"_s << QStringList{};
    QTest::newRow("Cyrillic-free prefix")
        << u"Mozilla T"_s << QStringList{u"Mozilla Thunderbird"_s};
}

void TestCli::searchShowsNamesBeginningWithTheText()
{
    QFETCH(QString, search);
    QList<int> numbers;
    const QStringList names =
        ListedNames({FDemo, u"--search"_s, search, u"--sort"_s, u"name"_s}, &numbers);
    QTEST(names, "expected");
    // Numbers count every row sorting at or after the text, so they only grow.
    for (int i = 1; i < numbers.size(); ++i)
        QVERIFY(numbers[i] > numbers[i - 1]);
}

void TestCli::sortKeysOrderTheList_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("jsonField"); // what the order follows, as listed
    QTest::newRow("name") << u"name"_s << u"ProductName"_s;
    QTest::newRow("size") << u"size"_s << u"Size"_s;
}

void TestCli::sortKeysOrderTheList()
{
    QFETCH(QString, key);
    QFETCH(QString, jsonField);
    const TRun r = Cli({u"list"_s, FDemo, u"--sort"_s, key, u"--json"_s});
    QCOMPARE(r.Status, 0);
    QString previous;
    int number = 0;
    for (const QString& line : r.Out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        const QString value = o.value(jsonField).toString();
        QVERIFY2(previous.compare(value, Qt::CaseInsensitive) <= 0,
                 qPrintable(previous + u" > "_s + value));
        previous = value;
        QCOMPARE(o.value(u"Номер"_s).toInt(), ++number);
    }
    QVERIFY(number > 0);
}

void TestCli::listsWithinAMemoryLimit_data()
{
    QTest::addColumn<int>("resource");
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<bool>("large"); // enough records to be read on two threads
    // Memory the system refuses, whichever limit refuses it, must not leave the
    // program without memory it could otherwise have.
    QTest::newRow("address space") << int(RLIMIT_AS) << 600 << false;
    QTest::newRow("data") << int(RLIMIT_DATA) << 300 << false;
    // A limit just above a gigabyte once failed a large table's second reader
    // ("Resource temporarily unavailable").
    for (const int megabytes : {1000, 1015, 1030, 1045, 1060})
        QTest::addRow("data %d MB, large", megabytes) << int(RLIMIT_DATA) << megabytes << true;
}

void TestCli::listsWithinAMemoryLimit()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer's shadow memory does not fit under such a limit");
#endif
    QFETCH(int, resource);
    QFETCH(int, megabytes);
    QFETCH(bool, large);
    const QString catalogue = large ? Large() : FDemo;
    const TRun unlimited = Cli({u"list"_s, catalogue});
    QCOMPARE(unlimited.Status, 0);
    const TRun limited = Cli({u"list"_s, catalogue}, [resource, megabytes] {
        const rlim_t bytes = rlim_t(megabytes) << 20;
        const rlimit limit{bytes, bytes};
        setrlimit(resource, &limit);
    });
    QVERIFY2(limited.Status == 0, qPrintable(limited.Err));
    QCOMPARE(limited.Out, unlimited.Out);
}

void TestCli::textListingHasTheGridTitles()
{
    const TRun r = Cli({u"list"_s, FDemo, u"--search"_s, u"WinRAR"_s});
    QCOMPARE(r.Status, 0);
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList titles = lines[0].split(u'\t');
    QCOMPARE(titles.size(), 24);
    QCOMPARE(titles.first(), u"Номер"_s);
    QCOMPARE(titles.last(), u"Ch0"_s);
    QVERIFY(lines[1].startsWith(u"1\tWinRAR\t"_s));
}

void TestCli::failuresExitWithAClearMessage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing catalogue")
        << QStringList{u"list"_s, u"/nonexistent/x.mdb"_s} << u"does not exist"_s;
    QTest::newRow("bad sort key") << QStringList{u"list"_s, u"@DEMO@"_s, u"--sort"_s, u"colour"_s}
                                  << u"unknown sort key"_s;
    QTest::newRow("create over a file")
        << QStringList{u"create"_s, u"@DEMO@"_s} << u"already exists"_s;
    QTest::newRow("unknown option")
        << QStringList{u"list"_s, u"@DEMO@"_s, u"--fast"_s} << u"unknown option"_s;
    QTest::newRow("clear a missing catalogue")
        << QStringList{u"clear"_s, u"/nonexistent/x.mdb"_s, u"--all"_s} << u"does not exist"_s;
    QTest::newRow("clear without a catalogue") << QStringList{u"clear"_s} << u"usage"_s;
    QTest::newRow("clear, search without text")
        << QStringList{u"clear"_s, u"@DEMO@"_s, u"--search"_s} << u"needs a value"_s;
}

void TestCli::failuresExitWithAClearMessage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    args.replaceInStrings(u"@DEMO@"_s, FDemo);
    const TRun r = Cli(args);
    QCOMPARE(r.Status, 1);
    QVERIFY2(r.Err.contains(mentions), qPrintable(r.Err));
    QVERIFY(r.Out.isEmpty());
}

void TestCli::clearWithoutASearchAsksForAll_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("nothing else") << QStringList();
    QTest::newRow("another option's flag") << QStringList{u"--json"_s};
}

void TestCli::clearWithoutASearchAsksForAll()
{
    QFETCH(QStringList, extra);
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"clear.mdb"_s);
    QCOMPARE(Cli({u"demo"_s, catalogue}).Status, 0);
    const QStringList before = ListedNames({catalogue});
    QVERIFY(!before.isEmpty());
    QFile file(catalogue);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const TRun r = Cli(QStringList{u"clear"_s, catalogue} + extra);
    if (!extra.isEmpty()) {
        // An option clear does not know is refused as before.
        QCOMPARE(r.Status, 1);
    } else {
        QCOMPARE(r.Status, 2);
        QVERIFY2(r.Err.contains(u"--all"_s), qPrintable(r.Err));
    }
    QVERIFY(r.Out.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    QCOMPARE(ListedNames({catalogue}), before);
}

void TestCli::clearDeletesWhatTheViewShows_data()
{
    QTest::addColumn<QString>("search"); // none when empty
    QTest::addColumn<int>("deleted");    // -1: every record
    QTest::newRow("every record") << QString() << -1;
    QTest::newRow("search Ad") << u"Ad"_s << 4;
    QTest::newRow("search that shows nothing") << u"zzz"_s << 0;
}

void TestCli::clearDeletesWhatTheViewShows()
{
    QFETCH(QString, search);
    QFETCH(int, deleted);
    // A demo of its own, so that the other cases keep theirs.
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"clear.mdb"_s);
    QCOMPARE(Cli({u"demo"_s, catalogue}).Status, 0);
    const QStringList before = ListedNames({catalogue});
    const QStringList shown =
        search.isEmpty() ? before : ListedNames({catalogue, u"--search"_s, search});
    QCOMPARE(shown.size(), deleted < 0 ? before.size() : deleted);
    QStringList kept = before;
    for (const QString& name : shown)
        kept.removeOne(name);

    QStringList args{u"clear"_s, catalogue};
    if (!search.isEmpty())
        args << u"--search"_s << search;
    else
        args << u"--all"_s;
    const TRun r = Cli(args);
    QCOMPARE(r.Status, 0);
    QVERIFY2(r.Err.isEmpty(), qPrintable(r.Err));
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith(QString::number(shown.size()) + u" record"_s),
             qPrintable(lines[0]));
    QVERIFY(lines[0].endsWith(u" deleted"_s));
    QCOMPARE(ListedNames({catalogue}), kept);
}

// The rows of each reference list and of the catalogue table.
QList<int> TableSizes(const QString& path)
{
    const std::unique_ptr<TDataModule1> dm = Catalogue::Open(path, TBookFields::All);
    QList<int> sizes;
    for (TDataSet* ref : dm->ReferenceTables())
        sizes << ref->RecordCount();
    sizes << dm->BookTable.RecordCount();
    return sizes;
}

void TestCli::createMakesTheStandardLists_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("lists"); // the demo's reference lists, else none
    QTest::newRow("create") << QStringList{} << true;
    QTest::newRow("create --empty") << QStringList{u"--empty"_s} << false;
}

void TestCli::createMakesTheStandardLists()
{
    QFETCH(QStringList, options);
    QFETCH(bool, lists);
    const QString path = FDir.filePath(u"created-%1.mdb"_s.arg(options.size()));
    const TRun r = Cli(QStringList{u"create"_s, path} + options);
    QVERIFY2(r.Status == 0, qPrintable(r.Err));
    QList<int> expected = TableSizes(FDemo);
    for (int i = 0; i < expected.size(); ++i) {
        if (lists && i + 1 < expected.size())
            QVERIFY(expected[i] > 0);
        else
            expected[i] = 0;
    }
    QCOMPARE(TableSizes(path), expected);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
