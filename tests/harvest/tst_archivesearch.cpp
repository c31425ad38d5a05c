// Inside disc images and archives: the search lists the executables they hold, in
// archive order and down into archives inside archives; damaged and encrypted ones
// are passed over with a reason; the member reader hands each one's bytes to the
// version reader; harvesting names the record after the container and the member.

#include "harvest/archivesearch.h"
#include "harvest/archivestream.h"
#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvest/memberreader.h"
#include "harvest/verinfores.h"
#include "tests/common/testcatalogue.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Archives = QStringLiteral(ARCHIVE_FIXTURES "/");
const QString Bombs = QStringLiteral(ARCHIVE_BOMBS "/");
const QString Fixtures = QStringLiteral(VERINFO_FIXTURES "/");
const QString Cli = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");

// The members each container holds, as the fixture script stored them.
QStringList Expected(const QString& container)
{
    QFile f(Archives + u"MEMBERS.txt"_s);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u'\t');
        if (parts[0] == container)
            out << Archives + container + u'!' + parts[1];
    }
    return out;
}

struct TSearchResult {
    QStringList Found;
    QStringList Problems;
};

TSearchResult Search(const QString& path)
{
    TSearchResult r;
    Harvest::SearchContainer(
        path, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            r.Found << p;
            return true;
        },
        [&](const QString& p, const QString& why) { r.Problems << p + u": "_s + why; });
    return r;
}

QString Company(const QByteArray& bytes, const QString& name)
{
    try {
        return TVerInfoRes(bytes, name).GetVerValue(viCompanyName);
    } catch (const std::exception&) {
        return u"(no information)"_s;
    }
}

QString Company(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? Company(f.readAll(), file) : u"(missing)"_s;
}

// The fixture each member was made from, by its name.
QString SourceOf(const QString& member)
{
    const QString name = member.section(u'/', -1);
    static const QHash<QString, QString> sources = {
        {u"SETUP.EXE"_s, u"english64.exe"_s},  {u"Russian.Exe"_s, u"russian32.exe"_s},
        {u"nores.exe"_s, u"nores64.exe"_s},    {u"first.exe"_s, u"english64.exe"_s},
        {u"inner.exe"_s, u"english32.exe"_s},  {u"last.exe"_s, u"nores32.exe"_s},
        {u"level1.exe"_s, u"english64.exe"_s}, {u"level2.exe"_s, u"english64.exe"_s},
        {u"level3.exe"_s, u"english64.exe"_s},
    };
    return Fixtures + sources.value(name);
}

} // namespace

class TestArchiveSearch : public QObject {
    Q_OBJECT
private slots:
    void containerNames_data();
    void containerNames();
    void membersInArchiveOrder_data();
    void membersInArchiveOrder();
    void passedOver_data();
    void passedOver();
    void folderSearchGoesInsideOnlyWhenAsked();
    void memberReaderGivesTheMembersBytes();
    void memberReaderInAnyOrder();
    void notMemberPaths_data();
    void notMemberPaths();
    void harvestNamesTheMember();
    void commandLine();
};

void TestArchiveSearch::containerNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("container");
    QTest::newRow("iso") << u"office.iso"_s << true;
    QTest::newRow("ISO upper case") << u"OFFICE.ISO"_s << true;
    QTest::newRow("zip") << u"a.Zip"_s << true;
    QTest::newRow("7z") << u"a.7z"_s << true;
    QTest::newRow("cab") << u"data1.cab"_s << true;
    QTest::newRow("tar") << u"a.tar"_s << true;
    QTest::newRow("tar.gz") << u"a.tar.gz"_s << true;
    QTest::newRow("tgz") << u"a.tgz"_s << true;
    QTest::newRow("exe") << u"setup.exe"_s << false;
    QTest::newRow("gz alone") << u"notes.gz"_s << false;
    QTest::newRow("only the extension") << u".zip"_s << false;
    QTest::newRow("zip inside the name") << u"a.zip.txt"_s << false;
}

void TestArchiveSearch::containerNames()
{
    QFETCH(QString, name);
    QFETCH(bool, container);
    QCOMPARE(Harvest::IsContainerName(name), container);
}

void TestArchiveSearch::membersInArchiveOrder_data()
{
    QTest::addColumn<QString>("container");
    for (const char* name : {"disc.iso", "udf.iso", "programs.zip", "programs.7z", "programs.tar",
                             "programs.tar.gz", "programs.cab", "nested.zip", "deep1.zip"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestArchiveSearch::membersInArchiveOrder()
{
    QFETCH(QString, container);
    const TSearchResult r = Search(Archives + container);
    QCOMPARE(r.Problems, QStringList());
    const QStringList expected = Expected(container);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(r.Found, expected);
}

void TestArchiveSearch::passedOver_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("why");
    QTest::newRow("damaged zip") << u"damaged-programs.zip"_s << QString();
    QTest::newRow("damaged 7z") << u"damaged-programs.7z"_s << QString();
    QTest::newRow("damaged image") << u"damaged-disc.iso"_s << QString();
    QTest::newRow("encrypted zip") << u"encrypted.zip"_s << u"encrypted"_s;
    QTest::newRow("encrypted 7z") << u"encrypted.7z"_s << u"encrypted"_s;
    QTest::newRow("encrypted 7z names") << u"encryptednames.7z"_s << QString();
    QTest::newRow("missing") << u"missing.zip"_s << QString();
    // Past the budget of the whole search: nothing is found in them, and they are
    // told as too large, whatever level the budget ran out at.
    QTest::newRow("wide bomb") << Bombs + u"wide.tar.gz"_s << u"too large to search"_s;
    QTest::newRow("nested bomb") << Bombs + u"nested.zip"_s << u"too large to search"_s;
}

void TestArchiveSearch::passedOver()
{
    QFETCH(QString, container);
    QFETCH(QString, why);
    if (!container.startsWith(u'/'))
        container = Archives + container;
    const TSearchResult r = Search(container);
    QCOMPARE(r.Found, QStringList());
    QCOMPARE(r.Problems.size(), 1);
    QVERIFY2(r.Problems[0].startsWith(container + u": "_s), qPrintable(r.Problems[0]));
    QVERIFY(r.Problems[0].size() > container.size() + 2);
    if (!why.isEmpty())
        QVERIFY2(r.Problems[0].endsWith(why), qPrintable(r.Problems[0]));
}

void TestArchiveSearch::folderSearchGoesInsideOnlyWhenAsked()
{
    QStringList plain;
    Harvest::SearchFiles(Archives, Harvest::ExeMask.toString(), [&](const QString& p) {
        plain << p;
        return true;
    });
    QCOMPARE(plain, QStringList());

    QStringList inside;
    QStringList problems;
    Harvest::TSearchOptions options;
    options.InsideContainers = true;
    options.Problem = [&](const QString& p, const QString&) { problems << p; };
    Harvest::CollectFiles(
        {Archives}, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            inside << p;
            return true;
        },
        Harvest::TOtherPaths::Skip, options);
    QStringList expected;
    for (const char* name : {"disc.iso", "udf.iso", "programs.zip", "programs.7z", "programs.tar",
                             "programs.tar.gz", "programs.cab", "nested.zip", "deep1.zip"})
        expected << Expected(QString::fromLatin1(name));
    QCOMPARE(QSet<QString>(inside.begin(), inside.end()),
             QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(inside.size(), expected.size());
    QCOMPARE(problems.size(), 6);

    // A container given by name is searched inside; stopping stops.
    QStringList one;
    QVERIFY(!Harvest::CollectFiles(
        {Archives + u"programs.zip"_s}, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            one << p;
            return false;
        },
        Harvest::TOtherPaths::Take, options));
    QCOMPARE(one, Expected(u"programs.zip"_s).mid(0, 1));
}

void TestArchiveSearch::memberReaderGivesTheMembersBytes()
{
    Harvest::TMemberReader reader;
    for (const char* name : {"disc.iso", "udf.iso", "programs.zip", "programs.7z", "programs.tar",
                             "programs.tar.gz", "programs.cab", "nested.zip", "deep1.zip"}) {
        for (const QString& member : Expected(QString::fromLatin1(name))) {
            const auto read = reader.Read(member);
            QVERIFY2(read, qPrintable(member));
            QFile source(SourceOf(member));
            QVERIFY(source.open(QIODevice::ReadOnly));
            const QByteArray bytes = source.readAll();
            QCOMPARE(read->Size, qint64(bytes.size()));
            QVERIFY2(read->Bytes == bytes, qPrintable(member));
            QCOMPARE(Company(read->Bytes, member), Company(SourceOf(member)));
        }
    }
}

void TestArchiveSearch::memberReaderInAnyOrder()
{
    Harvest::TMemberReader reader;
    QStringList members = Expected(u"nested.zip"_s) + Expected(u"programs.7z"_s);
    std::reverse(members.begin(), members.end());
    members += members;
    for (const QString& member : members) {
        const auto read = reader.Read(member);
        QVERIFY2(read, qPrintable(member));
        QCOMPARE(Company(read->Bytes, member), Company(SourceOf(member)));
    }
    QVERIFY(!reader.Read(Archives + u"programs.zip!/SETUP/missing.exe"_s));
    QVERIFY(!reader.Read(Archives + u"deep1.zip!/deep2.zip!/deep3.zip!/deep4.zip!/level4.exe"_s));
    QVERIFY(reader.Read(Archives + u"programs.zip!/SETUP/SETUP.EXE"_s));
}

void TestArchiveSearch::notMemberPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("member");
    QTest::newRow("member") << Archives + u"programs.zip!/SETUP/SETUP.EXE"_s << true;
    QTest::newRow("nested member") << Archives + u"nested.zip!/inner.7z!/inner.exe"_s << true;
    QTest::newRow("a file") << Fixtures + u"english64.exe"_s << false;
    QTest::newRow("no container before the mark") << Fixtures + u"english64.exe!/x.exe"_s << false;
    QTest::newRow("a missing container") << Archives + u"none.zip!/x.exe"_s << false;
    QTest::newRow("no slash after the mark") << Archives + u"programs.zip!SETUP.EXE"_s << false;
}

void TestArchiveSearch::notMemberPaths()
{
    QFETCH(QString, path);
    QFETCH(bool, member);
    QCOMPARE(Harvest::TMemberReader::IsMemberPath(path), member);
}

void TestArchiveSearch::harvestNamesTheMember()
{
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::TMemberReader reader;
    Harvest::THarvestOptions options;
    options.Members = &reader;
    const QString member = Archives + u"disc.iso!/SETUP/SETUP.EXE"_s;
    QVERIFY(Harvest::HarvestFile(table, member, options));
    QCOMPARE(table.FieldByName(u"FileName"_s)->AsString(), member);
    QCOMPARE(table.FieldByName(u"PlacingProgram"_s)->AsString(), Archives + u"disc.iso!/SETUP/"_s);
    QCOMPARE(table.FieldByName(u"ExtractFileName"_s)->AsString(), u"SETUP.EXE"_s);
    QCOMPARE(table.FieldByName(u"CompanyName"_s)->AsString(), u"Tresmol Test Works"_s);

    // Without the reader the same path is a file that is not there.
    QVERIFY(Harvest::HarvestFile(table, member, Harvest::THarvestOptions()));
    QCOMPARE(table.FieldByName(u"CompanyName"_s)->AsString(), u"NO_INFO"_s);
    QCOMPARE(table.FieldByName(u"PlacingProgram"_s)->AsString(), QString());

    // A plain file keeps the plain behaviour: the folder columns stay empty.
    QVERIFY(Harvest::HarvestFile(table, Fixtures + u"english64.exe"_s, options));
    QCOMPARE(table.FieldByName(u"PlacingProgram"_s)->AsString(), QString());
    QCOMPARE(table.FieldByName(u"ExtractFileName"_s)->AsString(), QString());
}

void TestArchiveSearch::commandLine()
{
    TTestCatalogue catalogue;
    QProcess p;
    p.setWorkingDirectory(catalogue.Folder());
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Archives, u"--inside-archives"_s});
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    for (const char* name : {"damaged-programs.zip", "damaged-programs.7z", "damaged-disc.iso",
                             "encrypted.zip", "encrypted.7z", "encryptednames.7z"})
        QVERIFY2(err.contains(u"skipped "_s + Archives + QString::fromLatin1(name) + u": "_s),
                 qPrintable(err));
    QVERIFY2(err.contains(u"6 disc images or archives skipped"_s), qPrintable(err));
    QVERIFY2(err.contains(u"27 files harvested"_s), qPrintable(err));

    p.start(Cli, {u"list"_s, u"Tresmol.mdb"_s, u"--json"_s});
    QVERIFY(p.waitForFinished(60000));
    int withInfo = 0;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const QString path = o.value(u"FileName"_s).toString();
        QVERIFY(path.startsWith(Archives));
        QCOMPARE(o.value(u"CompanyName"_s).toString() == u"NO_INFO"_s,
                 Company(SourceOf(path)) == u"(no information)"_s);
        withInfo += o.value(u"CompanyName"_s).toString() != u"NO_INFO"_s;
    }
    QVERIFY(withInfo > 10);

    // Without the option nothing inside is looked at.
    TTestCatalogue other;
    p.setWorkingDirectory(other.Folder());
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Archives});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardError().startsWith("0 files harvested"));
}

QTEST_GUILESS_MAIN(TestArchiveSearch)
#include "tst_archivesearch.moc"
