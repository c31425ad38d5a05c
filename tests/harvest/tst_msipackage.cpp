// Windows Installer packages: each fixture is first checked with msitools (msiinfo,
// msiextract), which nobody here wrote; then the package becomes one record with the
// package's own names, Latin and Cyrillic alike, a damaged one a NO_INFO record, and
// with the archives searched the programs it installs become member records.

#include "harvest/archivesearch.h"
#include "harvest/archivestream.h"
#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvest/knownfiles.h"
#include "harvest/memberreader.h"
#include "harvest/msipackage.h"
#include "harvest/verinfores.h"
#include "platform/localenames.h"
#include "tests/common/testcatalogue.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Packages = QStringLiteral(MSI_FIXTURES "/packages/");
const QString Sources = QStringLiteral(MSI_SOURCES "/");
const QString Fixtures = QStringLiteral(VERINFO_FIXTURES "/");
const QString Cli = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");

QString Run(const QString& program, const QStringList& args, int* status = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return QString();
    if (status)
        *status = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// NAME's value in the Property table as msiinfo exports it (in UTF-8, whatever the
// package's code page).
QString MsiInfoProperty(const QString& package, const QString& name)
{
    for (const QString& line : Run(u"msiinfo"_s, {u"export"_s, package, u"Property"_s})
                                   .split(QRegularExpression(u"\r?\n"_s))) {
        if (line.startsWith(name + u'\t'))
            return line.mid(name.size() + 1);
    }
    return QString();
}

// The files msiextract would install, as paths from the target's root.
QStringList MsiExtractList(const QString& package)
{
    QStringList out;
    for (const QString& line : Run(u"msiextract"_s, {u"-l"_s, package}).split(u'\n'))
        if (!line.isEmpty())
            out << u'/' + line;
    return out;
}

// A value of the WiX source beside the fixtures: NAME="VALUE" on the element TAG.
QString WixAttribute(const QString& source, const QString& tag, const QString& name)
{
    QFile f(Sources + source);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(f.readAll());
    const qsizetype at = text.indexOf(u'<' + tag + u' ');
    const QRegularExpression re(u"\\b"_s + name + u"=\"([^\"]*)\""_s);
    const QRegularExpressionMatch m = re.match(text, at);
    return at >= 0 && m.hasMatch() ? m.captured(1) : QString();
}

// A value of Property.idt, the Cyrillic package's table.
QString IdtProperty(const QString& name)
{
    QFile f(Sources + u"Property.idt"_s);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u"\r\n"_s))
        if (line.startsWith(name + u'\t'))
            return line.mid(name.size() + 1);
    return QString();
}

QString Field(TDataSet& table, const char* name)
{
    return table.FieldByName(QString::fromLatin1(name))->AsString();
}

QStringList Search(const QString& folder, bool inside, bool packages)
{
    QStringList found;
    Harvest::TSearchOptions options;
    options.InsideContainers = inside;
    options.Packages = packages;
    Harvest::CollectFiles(
        {folder}, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            found << p;
            return true;
        },
        Harvest::TOtherPaths::Skip, options);
    found.sort();
    return found;
}

} // namespace

class TestMsiPackage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void record_data();
    void record();
    void unreadablePackages_data();
    void unreadablePackages();
    void crashingPackageCostsTheHelperOnly();
    void withoutPackagesNothingChanges();
    void searchFindsPackages();
    void membersAreTheInstalledFiles_data();
    void membersAreTheInstalledFiles();
    void cabinetOutsideThePackage();
    void memberRecordIsTheProgram();
    void packageInsideAnArchive();
    void secondScanKnowsThePackage();
    void commandLine();
};

void TestMsiPackage::initTestCase()
{
    // The fixtures hold what they are meant to, by msitools' own reading.
    const QString latin = Packages + u"latin.msi"_s;
    const QString cyrillic = Packages + u"cyrillic.msi"_s;
    QCOMPARE(MsiInfoProperty(latin, u"ProductName"_s),
             WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Name"_s));
    QCOMPARE(MsiInfoProperty(latin, u"ARPURLINFOABOUT"_s), u"https://example.org/organizer"_s);
    QCOMPARE(MsiInfoProperty(cyrillic, u"ProductName"_s), IdtProperty(u"ProductName"_s));
    QVERIFY(IdtProperty(u"ProductName"_s).contains(u"Бухгалтерия"_s));
    QVERIFY(Run(u"msiinfo"_s, {u"export"_s, cyrillic, u"_ForceCodepage"_s})
                .contains(u"1251\t_ForceCodepage"_s));
    // The Russian names are stored in 1251, as a Russian package holds them.
    QFile f(cyrillic);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    QStringEncoder to1251("windows-1251");
    QVERIFY(to1251.isValid());
    QVERIFY(raw.contains(QByteArray(to1251(IdtProperty(u"ProductName"_s)))));
    QVERIFY(!raw.contains(IdtProperty(u"ProductName"_s).toUtf8()));
    QVERIFY(MsiExtractList(latin).contains(u"/Program Files/Example Organizer/bin/app.exe"_s));
    QVERIFY(MsiExtractList(cyrillic).contains(u"/Program Files/Бухгалтерия/russian.exe"_s));
    int status = 0;
    Run(u"msiinfo"_s, {u"tables"_s, Packages + u"damaged.msi"_s}, &status);
    QVERIFY(status != 0);
}

void TestMsiPackage::record_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("productName");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QString>("productCode");
    QTest::addColumn<int>("langId");
    QTest::addColumn<QString>("codePage");

    QTest::newRow("Latin, built by wixl")
        << u"latin.msi"_s << WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Name"_s)
        << WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Manufacturer"_s)
        << WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Version"_s)
        << WixAttribute(u"latin.wxs"_s, u"Property Id=\"ARPCOMMENTS\""_s, u"Value"_s)
        << WixAttribute(u"latin.wxs"_s, u"Property Id=\"ARPURLINFOABOUT\""_s, u"Value"_s)
        << WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Id"_s)
        << WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Language"_s).toInt()
        // wixl says no code page of the tables' own; the summary information's stands.
        << QString();
    QTest::newRow("Cyrillic, code page 1251")
        << u"cyrillic.msi"_s << IdtProperty(u"ProductName"_s) << IdtProperty(u"Manufacturer"_s)
        << IdtProperty(u"ProductVersion"_s)
        << IdtProperty(u"ARPCOMMENTS"_s)
        // No home page: the summary's comments stand in.
        << WixAttribute(u"cyrillic.wxs"_s, u"Package"_s, u"Comments"_s)
        << IdtProperty(u"ProductCode"_s) << IdtProperty(u"ProductLanguage"_s).toInt() << u"1251"_s;
}

void TestMsiPackage::record()
{
    QFETCH(QString, package);
    QFETCH(QString, productName);
    QFETCH(QString, company);
    QFETCH(QString, version);
    QFETCH(QString, description);
    QFETCH(QString, comments);
    QFETCH(QString, productCode);
    QFETCH(int, langId);
    QFETCH(QString, codePage);
    QVERIFY(!productName.isEmpty() && !company.isEmpty() && !version.isEmpty());

    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::THarvestOptions options;
    options.Packages = true;
    Harvest::THarvestStats stats;
    QVERIFY(Harvest::HarvestFile(table, Packages + package, options, &stats));
    QCOMPARE(stats.NoInfo, 0);
    QCOMPARE(Field(table, "FileName"), Packages + package);
    QCOMPARE(Field(table, "ProductName"), productName);
    QCOMPARE(Field(table, "CompanyName"), company);
    QCOMPARE(Field(table, "ProductVersion"), version);
    QCOMPARE(Field(table, "FileVersion"), version);
    QCOMPARE(Field(table, "FileDescription"), description);
    QVERIFY(!comments.isEmpty());
    QCOMPARE(Field(table, "Comments"), comments);
    QCOMPARE(Field(table, "InternalName"), productCode);
    QCOMPARE(Field(table, "LangID"), u"%1"_s.arg(langId, 4, 16, QChar(u'0')).toUpper());
    QCOMPARE(Field(table, "Language"), LocaleNames::LanguageName(quint16(langId)));
    QVERIFY(!Field(table, "Language").isEmpty());
    if (!codePage.isEmpty())
        QCOMPARE(Field(table, "CodePage"), codePage);
    else
        QVERIFY(Field(table, "CodePage").toInt() > 0);
    QCOMPARE(Field(table, "LegalCopyright"), QString());
    QCOMPARE(Field(table, "PlacingProgram"), QString());
}

void TestMsiPackage::unreadablePackages_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("damaged") << Packages + u"damaged.msi"_s;
    QTest::newRow("not a package") << Packages + u"notapackage.msi"_s;
    QTest::newRow("an executable so named") << Fixtures + u"english64.exe"_s;
    QTest::newRow("missing") << Packages + u"missing.msi"_s;
    QTest::newRow("a folder") << Packages;
}

void TestMsiPackage::unreadablePackages()
{
    QFETCH(QString, path);
    // An executable's bytes under a package's name read as no package either.
    QString name = path;
    QTemporaryDir dir;
    if (path.endsWith(u".exe"_s)) {
        name = dir.filePath(u"program.msi"_s);
        QVERIFY(QFile::copy(path, name));
    }
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::THarvestOptions options;
    options.Packages = true;
    Harvest::THarvestStats stats;
    QVERIFY(Harvest::HarvestFile(table, name, options, &stats));
    QCOMPARE(stats.NoInfo, 1);
    QCOMPARE(Field(table, "FileName"), name);
    for (const QStringView column : Harvest::VersionColumns)
        QCOMPARE(table.FieldByName(column.toString())->AsString(), u"NO_INFO"_s);
    // And its insides give nothing, with a reason, as a damaged archive does.
    if (QFileInfo(name).isFile()) {
        QStringList found, problems;
        Harvest::TSearchOptions search;
        search.Packages = true;
        search.Problem = [&](const QString& p, const QString& why) { problems << p + why; };
        Harvest::SearchContainer(
            name, Harvest::ExeMask.toString(),
            [&](const QString& p) {
                found << p;
                return true;
            },
            search);
        QCOMPARE(found, QStringList());
        QCOMPARE(problems.size(), 1);
    }
}

void TestMsiPackage::crashingPackageCostsTheHelperOnly()
{
    // A damaged package that makes libmsi read through a null pointer, found by the
    // fuzzer: the helper ends on it, the scan goes on with a new one.
    QTemporaryDir dir;
    const QString crash = dir.filePath(u"crash.msi"_s);
    QVERIFY(QFile::copy(QStringLiteral(MSI_REGRESSIONS "/libmsi-null-read.msi"), crash));
    QVERIFY(QFile::copy(Packages + u"latin.msi"_s, dir.filePath(u"latin.msi"_s)));
    int status = 0;
    Run(u"msiinfo"_s, {u"tables"_s, crash}, &status);
    QVERIFY(status != 0);

    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::THarvestOptions options;
    options.Packages = true;
    for (int round = 0; round < 2; ++round) {
        QVERIFY(Harvest::HarvestFile(table, crash, options));
        QCOMPARE(Field(table, "ProductName"), u"NO_INFO"_s);
        QVERIFY(Harvest::HarvestFile(table, dir.filePath(u"latin.msi"_s), options));
        QCOMPARE(Field(table, "ProductName"),
                 WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Name"_s));
    }

    QProcess p;
    p.setWorkingDirectory(catalogue.Folder());
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, dir.path(), u"--msi"_s, u"--inside-archives"_s});
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(err.contains(u"4 files harvested, 2 without version information"_s), qPrintable(err));
    QVERIFY2(err.contains(u"skipped "_s + crash + u": "_s), qPrintable(err));
}

void TestMsiPackage::withoutPackagesNothingChanges()
{
    QCOMPARE(Search(Packages, false, false), QStringList());
    QCOMPARE(Search(Packages, true, false), QStringList());
    // A package harvested by name without the option is a file without version
    // information, as before.
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::HarvestFile(table, Packages + u"latin.msi"_s);
    QCOMPARE(Field(table, "ProductName"), u"NO_INFO"_s);
}

void TestMsiPackage::searchFindsPackages()
{
    const QStringList all = {Packages + u"cyrillic.msi"_s, Packages + u"damaged.msi"_s,
                             Packages + u"latin.msi"_s, Packages + u"notapackage.msi"_s};
    QCOMPARE(Search(Packages, false, true), all);
    QVERIFY(Harvest::MatchesMask(u"SETUP.MSI"_s, Harvest::PackageMask.toString()));
    QVERIFY(Harvest::IsPackageName(u"Setup.Msi"_s));
    QVERIFY(!Harvest::IsPackageName(u".msi"_s));
    QVERIFY(!Harvest::IsPackageName(u"setup.msi.txt"_s));
}

void TestMsiPackage::membersAreTheInstalledFiles_data()
{
    QTest::addColumn<QString>("package");
    QTest::newRow("Latin") << u"latin.msi"_s;
    QTest::newRow("Cyrillic") << u"cyrillic.msi"_s;
}

void TestMsiPackage::membersAreTheInstalledFiles()
{
    QFETCH(QString, package);
    // The executables msiextract would install, named as the search names them.
    QStringList expected;
    for (const QString& file : MsiExtractList(Packages + package))
        if (Harvest::MatchesMask(file.section(u'/', -1), Harvest::ExeMask.toString()))
            expected << Packages + package + u'!' + file;
    QVERIFY(!expected.isEmpty());
    expected.sort();

    QStringList found;
    QStringList problems;
    Harvest::TSearchOptions options;
    options.Packages = true;
    options.Problem = [&](const QString& p, const QString& why) { problems << p + why; };
    Harvest::SearchContainer(
        Packages + package, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            found << p;
            return true;
        },
        options);
    found.sort();
    QCOMPARE(problems, QStringList());
    QCOMPARE(found, expected);

    // In a whole search, each package comes first, then what it installs; the broken
    // ones are told as passed over.
    const QStringList all = Search(Packages, true, true);
    QVERIFY(all.contains(Packages + package));
    for (const QString& member : expected)
        QVERIFY(all.contains(member));
}

void TestMsiPackage::cabinetOutsideThePackage()
{
    const QString outside = QStringLiteral(MSI_FIXTURES "/outside/external.msi");
    const QString alone = QStringLiteral(MSI_FIXTURES "/alone/external.msi");
    QVERIFY(Run(u"msiinfo"_s, {u"export"_s, outside, u"Media"_s}).contains(u"\torganizer.cab\t"_s));
    const QString gcab =
        Run(u"gcab"_s, {u"-l"_s, QStringLiteral(MSI_FIXTURES "/outside/organizer.cab")});
    QVERIFY2(gcab.contains(u"AppExe "_s), qPrintable(gcab));
    // Found beside the package, the cabinet gives what msiextract would install.
    QStringList expected;
    for (const QString& file : MsiExtractList(outside))
        if (Harvest::MatchesMask(file.section(u'/', -1), Harvest::ExeMask.toString()))
            expected << outside + u'!' + file;
    QVERIFY(!expected.isEmpty());
    expected.sort();
    QStringList found;
    QStringList problems;
    Harvest::TSearchOptions options;
    options.InsideContainers = true;
    options.Packages = true;
    options.Problem = [&](const QString& p, const QString& why) { problems << p + why; };
    const auto collect = [&](const QString& folder) {
        found.clear();
        Harvest::CollectFiles(
            {folder}, Harvest::ExeMask.toString(),
            [&](const QString& p) {
                found << p;
                return true;
            },
            Harvest::TOtherPaths::Skip, options);
        found.sort();
    };
    collect(QFileInfo(outside).path());
    expected.prepend(outside);
    QCOMPARE(found, expected);
    QCOMPARE(problems, QStringList());
    // Without it, the package alone is found, and nothing is wrong with it.
    collect(QFileInfo(alone).path());
    QCOMPARE(found, QStringList{alone});
    QCOMPARE(problems, QStringList());

    // The member is read from the cabinet beside the package.
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::TMemberReader reader;
    Harvest::THarvestOptions harvest;
    harvest.Members = &reader;
    harvest.Packages = true;
    QVERIFY(Harvest::HarvestFile(table, expected.value(1), harvest));
    QCOMPARE(Field(table, "CompanyName"),
             TVerInfoRes(Fixtures + u"english64.exe"_s).GetVerValue(viCompanyName));
}

void TestMsiPackage::memberRecordIsTheProgram()
{
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::TMemberReader reader;
    Harvest::THarvestOptions options;
    options.Members = &reader;
    options.Packages = true;
    const QString member = Packages + u"latin.msi!/Program Files/Example Organizer/bin/app.exe"_s;
    QVERIFY(Harvest::HarvestFile(table, member, options));
    QCOMPARE(Field(table, "FileName"), member);
    QCOMPARE(Field(table, "PlacingProgram"),
             Packages + u"latin.msi!/Program Files/Example Organizer/bin/"_s);
    QCOMPARE(Field(table, "ExtractFileName"), u"app.exe"_s);
    // The same values as the program the package was built from.
    const TVerInfoRes source(Fixtures + u"english64.exe"_s);
    QCOMPARE(Field(table, "CompanyName"), source.GetVerValue(viCompanyName));
    QCOMPARE(Field(table, "FileVersion"), source.GetVerValue(viFileVersion));
    QCOMPARE(Field(table, "LangID"), source.GetLangIdText());

    const QString russian = Packages + u"cyrillic.msi!/Program Files/Бухгалтерия/russian.exe"_s;
    QVERIFY(Harvest::HarvestFile(table, russian, options));
    const TVerInfoRes russianSource(Fixtures + u"russian32.exe"_s);
    QCOMPARE(Field(table, "ProductName"), russianSource.GetVerValue(viProductName));

    // A file that installs nowhere in the package is not a member.
    QVERIFY(
        Harvest::HarvestFile(table, Packages + u"latin.msi!/Program Files/none.exe"_s, options));
    QCOMPARE(Field(table, "CompanyName"), u"NO_INFO"_s);
}

void TestMsiPackage::packageInsideAnArchive()
{
    // A disc that holds a package: the package is found in it, and what it installs.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(Packages + u"latin.msi"_s, dir.filePath(u"setup.msi"_s)));
    QProcess zip;
    zip.setWorkingDirectory(dir.path());
    zip.start(u"zip"_s, {u"-q"_s, u"disc.zip"_s, u"setup.msi"_s});
    QVERIFY(zip.waitForFinished(60000));
    QCOMPARE(zip.exitCode(), 0);
    QVERIFY(QFile::remove(dir.filePath(u"setup.msi"_s)));
    const QString disc = dir.filePath(u"disc.zip"_s);
    const QString package = disc + u"!/setup.msi"_s;
    const QString app = package + u"!/Program Files/Example Organizer/bin/app.exe"_s;
    const QStringList found = Search(dir.path(), true, true);
    QVERIFY2(found.contains(package), qPrintable(found.join(u'\n')));
    QVERIFY2(found.contains(app), qPrintable(found.join(u'\n')));
    QCOMPARE(Search(dir.path(), true, false), QStringList());

    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::TMemberReader reader;
    Harvest::THarvestOptions options;
    options.Members = &reader;
    options.Packages = true;
    QVERIFY(Harvest::HarvestFile(table, package, options));
    QCOMPARE(Field(table, "ProductName"), WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Name"_s));
    QVERIFY(Harvest::HarvestFile(table, app, options));
    QCOMPARE(Field(table, "CompanyName"),
             TVerInfoRes(Fixtures + u"english64.exe"_s).GetVerValue(viCompanyName));
}

void TestMsiPackage::secondScanKnowsThePackage()
{
    TTestCatalogue catalogue;
    const auto dm = catalogue.Open();
    TDataSet& table = dm->BookTable;
    table.Open();
    Harvest::THarvestOptions options;
    options.Packages = true;
    const QString latin = Packages + u"latin.msi"_s;
    QVERIFY(Harvest::HarvestFile(table, latin, options));
    Harvest::TKnownFiles known(table);
    options.Known = &known;
    Harvest::THarvestStats stats;
    QVERIFY(!Harvest::HarvestFile(table, latin, options, &stats));
    QCOMPARE(stats.Skipped, 1);
    // Another version of the same package is not the one the catalogue holds.
    const Harvest::TFileFacts facts = Harvest::ReadFileFacts(latin, nullptr, true, false, true);
    QCOMPARE(known.State(latin, facts.Size, Harvest::ValueOf(facts.Values, u"FileVersion")),
             Harvest::TKnownState::Known);
    QCOMPARE(known.State(latin, facts.Size, u"9.9.9"_s), Harvest::TKnownState::Changed);
}

void TestMsiPackage::commandLine()
{
    TTestCatalogue catalogue;
    QProcess p;
    p.setWorkingDirectory(catalogue.Folder());
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Packages, u"--msi"_s, u"--inside-archives"_s});
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    // Four packages, two of them unreadable, and the three programs inside the others.
    QVERIFY2(err.contains(u"7 files harvested, 3 without version information"_s), qPrintable(err));
    QVERIFY2(err.contains(u"skipped "_s + Packages + u"damaged.msi: "_s), qPrintable(err));
    // Said once, in the program's words: none of the libraries' own messages.
    QVERIFY2(!err.contains(u"**"_s) && !err.contains(u"CRITICAL"_s), qPrintable(err));

    p.start(Cli, {u"list"_s, u"Tresmol.mdb"_s, u"--json"_s});
    QVERIFY(p.waitForFinished(60000));
    QHash<QString, QJsonObject> records;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            records.insert(o.value(u"FileName"_s).toString(), o);
        }
    QCOMPARE(records.value(Packages + u"cyrillic.msi"_s).value(u"ProductName"_s).toString(),
             IdtProperty(u"ProductName"_s));
    QCOMPARE(records.value(Packages + u"latin.msi"_s).value(u"CompanyName"_s).toString(),
             WixAttribute(u"latin.wxs"_s, u"Product"_s, u"Manufacturer"_s));
    QVERIFY(
        records.contains(Packages + u"latin.msi!/Program Files/Example Organizer/bin/app.exe"_s));
    QVERIFY(records.contains(Packages + u"cyrillic.msi!/Program Files/Бухгалтерия/russian.exe"_s));

    // A second run with --skip-known adds nothing.
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Packages, u"--msi"_s, u"--inside-archives"_s,
                  u"--skip-known"_s});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    const QString again = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(again.contains(u"0 files harvested"_s), qPrintable(again));

    // Without --msi the same folder has nothing to harvest.
    TTestCatalogue plain;
    p.setWorkingDirectory(plain.Folder());
    p.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Packages, u"--inside-archives"_s});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    const QString none = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(none.contains(u"0 files harvested"_s), qPrintable(none));
}

QTEST_GUILESS_MAIN(TestMsiPackage)
#include "tst_msipackage.moc"
