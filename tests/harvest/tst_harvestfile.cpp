// HarvestFile over the built fixtures: the values of every column, NO_INFO, cutting to
// column sizes, what happens to the record being edited, and a real tree of PE files.

#include "harvest/filesearch.h"
#include "harvest/harvestfile.h"
#include "harvest/knownfiles.h"
#include "platform/nativepath.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/picturefolder.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tests/common/outsidesql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES "/") + name; }

// FileName, then the thirteen harvested columns in their order.
const QStringList Columns = {
    u"FileName"_s,     u"CompanyName"_s,    u"FileDescription"_s, u"FileVersion"_s,
    u"InternalName"_s, u"LegalCopyright"_s, u"LegalTrademarks"_s, u"OriginalFilename"_s,
    u"ProductName"_s,  u"ProductVersion"_s, u"Comments"_s,        u"Language"_s,
    u"LangID"_s,       u"CodePage"_s,
};

// Columns harvesting never writes.
const QStringList Untouched = {
    u"PlacingProgram"_s, u"ExtractFileName"_s,  u"Size"_s,
    u"Year"_s,           u"Rating"_s,           u"Label"_s,
    u"Platform"_s,       u"Category"_s,         u"Programtype"_s,
    u"TypeDisc"_s,       u"ManufacturerDisc"_s, u"Serialnumber"_s,
    u"Crack"_s,          u"Images"_s,
};

QStringList Row(const TDataSet& table)
{
    QStringList values;
    for (const QString& c : Columns)
        values << table.FieldByName(c)->AsString();
    return values;
}

QStringList NoInfoRow(const QString& path)
{
    return QStringList{path} + QStringList(13, u"NO_INFO"_s);
}

class TCatalogue {
public:
    TCatalogue()
    {
        FPath = FDir.filePath(u"Tresmol.mdb"_s);
        Catalogue::Create(FPath);
    }
    std::unique_ptr<TDataModule1> Open() const
    {
        QStringList errors;
        auto dm = std::make_unique<TDataModule1>([&](const QString& m) { errors << m; },
                                                 Catalogue::ConnectionStringFor(FPath));
        if (!errors.isEmpty())
            qFatal("cannot open the test catalogue: %s", qPrintable(errors.join(u'\n')));
        dm->BookTable.Open();
        return dm;
    }
    QString Folder() const { return FDir.path(); }
    const QString& Path() const { return FPath; }

private:
    QTemporaryDir FDir;
    QString FPath;
};

} // namespace

class TestHarvestFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void columnValues_data();
    void columnValues();
    void withoutVersionInfo_data();
    void withoutVersionInfo();
    void longValueIsCutToItsColumn();
    void nothingElseIsWritten();
    void sameFileTwiceGivesTwoRecords();
    void recordsSurviveReopening();
    void changedRecordIsPostedFirst();
    void emptyNewRecordIsDropped();
    void afterPostRunsOncePerFile();
    void closedTableRaisesTheEngineError();
    void fileNameNotUtf8KeepsItsBytes();
    void realTreeOfPeFiles();
    void viewAfterHarvestIntoLargeCatalogueEqualsRebuiltView_data();
    void viewAfterHarvestIntoLargeCatalogueEqualsRebuiltView();
    void knownFiles_data();
    void knownFiles();
    void knownFilesAreLeftOut();
    void iconsBecomePictures();

private:
    std::unique_ptr<TCatalogue> FCat;
    std::unique_ptr<TDataModule1> FDm;
};

void TestHarvestFile::init()
{
    FDm.reset();
    FCat = std::make_unique<TCatalogue>();
    FDm = FCat->Open();
}

void TestHarvestFile::columnValues_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected"); // the thirteen after FileName

    const QString us = u"English (United States)"_s;
    QTest::newRow("english64.exe") << u"english64.exe"_s
                                   << QStringList{u"Tresmol Test Works"_s,
                                                  u"English sample program"_s,
                                                  u"2.5.0.1"_s,
                                                  u"english"_s,
                                                  u"Copyright (C) 2024 Tresmol Test Works"_s,
                                                  u"Tresmol(TM)"_s,
                                                  u"english.exe"_s,
                                                  u"Tresmol Samples"_s,
                                                  u"2.5"_s,
                                                  u"Smile: \U0001F600, accents: déjà vu"_s,
                                                  us,
                                                  u"0409"_s,
                                                  u"1200"_s};
    QTest::newRow("russian32.exe") << u"russian32.exe"_s
                                   << QStringList{u"ООО «Рога и копыта»"_s,
                                                  u"Каталог программ"_s,
                                                  u"1.0.0.7"_s,
                                                  u"Каталог"_s,
                                                  u"© 2003 Остап Бендер"_s,
                                                  u"Тресмол™"_s,
                                                  u"каталог.exe"_s,
                                                  u"Тресмол"_s,
                                                  u"1.0"_s,
                                                  u"Ёлка, щука, ЭХО"_s,
                                                  u"Russian (Russia)"_s,
                                                  u"0419"_s,
                                                  u"1251"_s};
    QTest::newRow("040904E4 table under a 0409/1200 translation")
        << u"mismatch.exe"_s
        << (QStringList(10, QString()) + QStringList{us, u"0409"_s, u"1200"_s});
    QTest::newRow("16-bit NE file") << u"ne16.exe"_s
                                    << QStringList{u"Sixteen Bits Ltd."_s,
                                                   u"Café © 1993"_s,
                                                   u"3.10"_s,
                                                   {},
                                                   {},
                                                   {},
                                                   {},
                                                   u"Old Windows program"_s,
                                                   {},
                                                   {},
                                                   us,
                                                   u"0409"_s,
                                                   u"1252"_s};
}

void TestHarvestFile::columnValues()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    TDataSet& table = FDm->BookTable;
    Harvest::HarvestFile(table, Fixture(file));
    QCOMPARE(table.State(), TDataSetState::dsBrowse);
    QCOMPARE(table.RecordCount(), 1);
    QCOMPARE(Row(table), QStringList{Fixture(file)} + expected);
}

void TestHarvestFile::withoutVersionInfo_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("content"); // written to PATH first unless empty
    QTest::addColumn<bool>("folder");     // make PATH a folder

    QTest::newRow("PE file without resources") << Fixture(u"nores64.exe"_s) << QString() << false;
    QTest::newRow("no fixed file information") << Fixture(u"nofixed.exe"_s) << QString() << false;
    QTest::newRow("text file named .exe") << u"notes.exe"_s << u"not a program\n"_s << false;
    QTest::newRow("folder named .exe") << u"tools.exe"_s << QString() << true;
    QTest::newRow("vanished file") << u"gone.exe"_s << QString() << false;
}

void TestHarvestFile::withoutVersionInfo()
{
    QFETCH(QString, path);
    QFETCH(QString, content);
    QFETCH(bool, folder);
    if (QDir::isRelativePath(path))
        path = FCat->Folder() + u'/' + path;
    if (folder)
        QVERIFY(QDir().mkdir(path));
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content.toUtf8());
    }
    TDataSet& table = FDm->BookTable;
    Harvest::HarvestFile(table, path);
    QCOMPARE(table.RecordCount(), 1);
    QCOMPARE(Row(table), NoInfoRow(path));
}

void TestHarvestFile::longValueIsCutToItsColumn()
{
    TDataSet& table = FDm->BookTable;
    Harvest::HarvestFile(table, Fixture(u"longvalue.exe"_s));
    const QString comments = table.FieldByName(u"Comments"_s)->AsString();
    QCOMPARE(comments.size(), 250);
    QVERIFY(comments.startsWith(u"ABCDEFGHIJKLMNOPQRSTUVWXYZABC"_s));
    QCOMPARE(table.FieldByName(u"ProductName"_s)->AsString(), u"After the long one"_s);

    // A path is never cut: cut, it would name no file.
    const QString longPath = u"/nowhere/"_s + QString(300, u'p') + u".exe"_s;
    Harvest::HarvestFile(table, longPath);
    QCOMPARE(table.FieldByName(u"FileName"_s)->AsString(), longPath);
    QCOMPARE(table.FieldByName(u"LangID"_s)->AsString(), u"NO_INFO"_s);
}

void TestHarvestFile::nothingElseIsWritten()
{
    TDataSet& table = FDm->BookTable;
    Harvest::HarvestFile(table, Fixture(u"english64.exe"_s));
    for (const QString& c : Untouched)
        QVERIFY2(table.FieldByName(c)->IsNull(), qPrintable(c));
    for (int i = 0; i < 8; ++i)
        QVERIFY(!table.FieldByName(u"Ch"_s + QString::number(i))->AsBoolean());
    QVERIFY(!table.FieldByName(u"Installed"_s)->AsBoolean());
}

void TestHarvestFile::sameFileTwiceGivesTwoRecords()
{
    TDataSet& table = FDm->BookTable;
    Harvest::HarvestFile(table, Fixture(u"english32.exe"_s));
    const QStringList first = Row(table);
    const int firstId = table.FieldByName(u"Id"_s)->AsInteger();
    Harvest::HarvestFile(table, Fixture(u"english32.exe"_s));
    QCOMPARE(table.RecordCount(), 2);
    QCOMPARE(Row(table), first);
    QVERIFY(table.FieldByName(u"Id"_s)->AsInteger() != firstId);
}

void TestHarvestFile::recordsSurviveReopening()
{
    Harvest::HarvestFile(FDm->BookTable, Fixture(u"russian64.scr"_s));
    const QStringList row = Row(FDm->BookTable);
    FDm.reset();
    FDm = FCat->Open();
    QCOMPARE(FDm->BookTable.RecordCount(), 1);
    QCOMPARE(Row(FDm->BookTable), row);
}

void TestHarvestFile::changedRecordIsPostedFirst()
{
    TDataSet& table = FDm->BookTable;
    table.Append();
    table.FieldByName(u"ProductName"_s)->SetAsString(u"Typed by hand"_s);
    table.Post();
    table.Edit();
    table.FieldByName(u"Label"_s)->SetAsString(u"a note not yet saved"_s);
    QCOMPARE(table.State(), TDataSetState::dsEdit);

    Harvest::HarvestFile(table, Fixture(u"english64.exe"_s));
    QCOMPARE(table.RecordCount(), 2);
    QCOMPARE(table.FieldByName(u"ProductName"_s)->AsString(), u"Tresmol Samples"_s);

    // The edited record kept its change, in the table and in the file.
    FDm.reset();
    FDm = FCat->Open();
    TDataSet& again = FDm->BookTable;
    bool found = false;
    for (again.First(); !again.Eof(); again.Next())
        if (again.FieldByName(u"ProductName"_s)->AsString() == u"Typed by hand"_s) {
            QCOMPARE(again.FieldByName(u"Label"_s)->AsString(), u"a note not yet saved"_s);
            found = true;
        }
    QVERIFY(found);
}

void TestHarvestFile::emptyNewRecordIsDropped()
{
    TDataSet& table = FDm->BookTable;
    table.Insert();
    QCOMPARE(table.State(), TDataSetState::dsInsert);
    Harvest::HarvestFile(table, Fixture(u"english64.exe"_s));
    QCOMPARE(table.RecordCount(), 1);
    QCOMPARE(table.FieldByName(u"FileName"_s)->AsString(), Fixture(u"english64.exe"_s));
}

void TestHarvestFile::afterPostRunsOncePerFile()
{
    TDataSet& table = FDm->BookTable;
    QStringList posted;
    table.AfterPost = [&](TDataSet& ds) { posted << ds.FieldByName(u"FileName"_s)->AsString(); };
    const QStringList files = {Fixture(u"pairs.exe"_s), Fixture(u"nores32.exe"_s),
                               Fixture(u"zero.exe"_s)};
    for (const QString& f : files)
        Harvest::HarvestFile(table, f);
    QCOMPARE(posted, files);
    QCOMPARE(table.RecordCount(), 3);
}

void TestHarvestFile::closedTableRaisesTheEngineError()
{
    TDataSet& table = FDm->BookTable;
    table.Close();
    try {
        Harvest::HarvestFile(table, Fixture(u"english64.exe"_s));
        QFAIL("a closed table accepted a record");
    } catch (const EError& e) {
        QCOMPARE(e.Message(), u"Cannot perform this operation on a closed dataset"_s);
    }
}

void TestHarvestFile::fileNameNotUtf8KeepsItsBytes()
{
    // "café.exe" with the é in Latin-1: not valid UTF-8.
    QFile source(Fixture(u"english64.exe"_s));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray image = source.readAll();
    const QByteArray native = QFile::encodeName(FCat->Folder()) + "/caf\xe9.exe";
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, image.constData(), size_t(image.size())), ssize_t(image.size()));
    ::close(fd);

    QStringList found;
    Harvest::SearchFiles(FCat->Folder(), Harvest::ExeMask.toString(), [&](const QString& p) {
        found << p;
        return true;
    });
    QCOMPARE(found.size(), 1);
    const QString path = found.first();
    QVERIFY(PathHasEscapes(path));
    QCOMPARE(PathToNative(path), native);

    Harvest::HarvestFile(FDm->BookTable, path);
    QCOMPARE(FDm->BookTable.FieldByName(u"CompanyName"_s)->AsString(), u"Tresmol Test Works"_s);
    FDm.reset();
    FDm = FCat->Open();
    const QString stored = FDm->BookTable.FieldByName(u"FileName"_s)->AsString();
    QCOMPARE(stored, path);
    QCOMPARE(PathToNative(stored), native);
}

void TestHarvestFile::realTreeOfPeFiles()
{
    const QString root = u"/usr/lib/mono"_s;
    if (!QFileInfo(root).isDir())
        QSKIP("no Mono assemblies installed (scripts/bootstrap installs them)");
    QStringList paths;
    Harvest::SearchFiles(root, u"*.dll"_s, [&](const QString& p) {
        paths << p;
        return true;
    });
    QVERIFY(!paths.isEmpty());
    TDataSet& table = FDm->BookTable;
    for (const QString& p : paths)
        Harvest::HarvestFile(table, p);
    QCOMPARE(table.RecordCount(), paths.size());
    int withInfo = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        QVERIFY(paths.contains(table.FieldByName(u"FileName"_s)->AsString()));
        if (table.FieldByName(u"CompanyName"_s)->AsString() != u"NO_INFO"_s) {
            ++withInfo;
            QCOMPARE(table.FieldByName(u"LangID"_s)->AsString().size(), 4);
        }
    }
    // Mono's assemblies carry version resources.
    QVERIFY(withInfo > 0);
}

void TestHarvestFile::viewAfterHarvestIntoLargeCatalogueEqualsRebuiltView_data()
{
    QTest::addColumn<QString>("sort"); // a sort field, or "" for the table's own order
    QTest::addColumn<QString>("search");
    QTest::newRow("by name, searched") << u"ProductName"_s << u"Tresmol"_s;
    QTest::newRow("by name, searched for no info") << u"ProductName"_s << u"NO_"_s;
    QTest::newRow("by name") << u"ProductName"_s << QString();
    QTest::newRow("own order, searched") << QString() << u"T"_s;
    QTest::newRow("by platform, searched") << u"Platform"_s << u"Tresmol"_s;
}

void TestHarvestFile::viewAfterHarvestIntoLargeCatalogueEqualsRebuiltView()
{
    QFETCH(QString, sort);
    QFETCH(QString, search);
    // Twenty thousand records whose names sort before, among and after the harvested.
    {
        const TSqliteDatabase db = OutsideConnection(FCat->Path());
        TSqliteTransaction transaction(db);
        TSqliteStatement q =
            db.Prepare("INSERT INTO SoftTable (ProductName, Platform) VALUES (?, ?)");
        QRandomGenerator rng(11);
        const QStringList stems{u"Tresmol"_s, u"tresmol"_s, u"TRESMOL "_s, u"Abc"_s,
                                u"NO_INFO"_s, u"Zeta"_s,    u"Тресмол"_s,  u"T"_s};
        for (int i = 0; i < 20000; ++i) {
            const int n = int(rng.bounded(100000));
            BindAll(q, {n % 50 == 0 ? QVariant()
                                    : QVariant(stems[n % stems.size()] + QString::number(n)),
                        n % 7 == 0 ? QVariant() : QVariant(1 + n % 12)});
            q.Step();
            q.Reset();
        }
        transaction.Commit();
    }
    TDataSet& table = FDm->BookTable;
    table.Refresh();
    table.SetSort(sort);
    Search::Apply(*FDm, search);
    QVERIFY(table.RecordCount() > 0);

    QStringList paths;
    Harvest::SearchFiles(QStringLiteral(VERINFO_FIXTURES), Harvest::ExeMask.toString(),
                         [&](const QString& p) {
                             paths << p;
                             return true;
                         });
    paths << FCat->Folder() + u"/missing.exe"_s; // a NO_INFO record
    QVERIFY(paths.size() > 10);
    for (int round = 0; round < 3; ++round)
        for (const QString& p : paths)
            Harvest::HarvestFile(table, p);

    // What the grid, the numbering and the status bar read, row by row.
    const auto view = [](TDataSet& t) {
        const int key = t.FieldByName(u"Id"_s)->Index();
        const int number = t.FieldByName(u"Номер"_s)->Index();
        QList<QVariantList> rows;
        for (int r = 0; r < t.ViewRowCount(); ++r)
            rows << QVariantList{t.ViewValue(r, key), t.ViewValue(r, number)};
        rows << QVariantList{t.RecordCount()};
        return rows;
    };
    const QList<QVariantList> harvested = view(table);
    QStringList errors;
    TDataModule1 fresh([&](const QString& m) { errors << m; },
                       Catalogue::ConnectionStringFor(FCat->Folder() + u"/Tresmol.mdb"_s));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    fresh.BookTable.Open();
    fresh.BookTable.SetSort(sort);
    Search::Apply(fresh, search);
    QCOMPARE(fresh.BookTable.RecordCount(), table.RecordCount());
    QVERIFY(harvested == view(fresh.BookTable));
    // The harvested records are in it: the view counts them when nothing hides them.
    if (search.isEmpty())
        QCOMPARE(table.RecordCount(), 20000 + 3 * int(paths.size()));
}

void TestHarvestFile::knownFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("state");
    const QString english = Fixture(u"english64.exe"_s);
    const QString bytes = QString::number(QFileInfo(english).size());
    const int known = int(Harvest::TKnownState::Known);
    const int changed = int(Harvest::TKnownState::Changed);
    const int fresh = int(Harvest::TKnownState::New);
    QTest::newRow("same path and version, no size")
        << english << QString() << u"2.5.0.1"_s << known;
    QTest::newRow("same size, spaces around")
        << english << u" "_s + bytes + u" "_s << u"2.5.0.1"_s << known;
    QTest::newRow("another size") << english << u"12 MB"_s << u"2.5.0.1"_s << changed;
    QTest::newRow("another version") << english << QString() << u"2.5.0.2"_s << changed;
    QTest::newRow("the version with a space") << english << QString() << u"2.5.0.1 "_s << changed;
    QTest::newRow("another path") << Fixture(u"english32.exe"_s) << QString() << u"2.5.0.1"_s
                                  << fresh;
    QTest::newRow("the path in another case")
        << english.toUpper() << QString() << u"2.5.0.1"_s << fresh;
}

void TestHarvestFile::knownFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QString, size);
    QFETCH(QString, version);
    QFETCH(int, state);
    TDataSet& t = FDm->BookTable;
    t.Append();
    t.FieldByName(u"FileName"_s)->SetAsString(fileName);
    t.FieldByName(u"Size"_s)->SetAsString(size);
    t.FieldByName(u"FileVersion"_s)->SetAsString(version);
    t.Post();
    // A record of no file at all is never a match.
    t.Append();
    t.FieldByName(u"ProductName"_s)->SetAsString(u"no file"_s);
    t.Post();

    Harvest::TKnownFiles known(t);
    const QString english = Fixture(u"english64.exe"_s);
    QCOMPARE(known.HasPath(english), state != int(Harvest::TKnownState::New));
    const Harvest::TFileFacts facts = Harvest::ReadFileFacts(english, nullptr, true);
    QCOMPARE(facts.Size, QFileInfo(english).size());
    QCOMPARE(int(known.State(english, facts.Size, Harvest::ValueOf(facts.Values, u"FileVersion"))),
             state);

    Harvest::THarvestStats stats;
    Harvest::THarvestOptions options;
    options.Known = &known;
    const int before = t.RecordCount();
    const bool added = state != int(Harvest::TKnownState::Known);
    QCOMPARE(Harvest::HarvestFile(t, english, options, &stats), added);
    QCOMPARE(t.RecordCount(), before + (added ? 1 : 0));
    QCOMPARE(stats.Skipped, added ? 0 : 1);
}

void TestHarvestFile::knownFilesAreLeftOut()
{
    TDataSet& t = FDm->BookTable;
    const QStringList files = {Fixture(u"english64.exe"_s), Fixture(u"nores64.exe"_s),
                               Fixture(u"text.exe"_s)};
    for (const QString& f : files)
        Harvest::HarvestFile(t, f);
    // Those three again, twice each, and a new file twice, in one run.
    Harvest::TKnownFiles known(t);
    Harvest::THarvestOptions options;
    options.Known = &known;
    Harvest::THarvestStats stats;
    const QString russian = Fixture(u"russian32.exe"_s);
    for (const QString& f : files + files + QStringList{russian, russian})
        Harvest::HarvestFile(t, f, options, &stats);
    QCOMPARE(stats.Files, 1);
    QCOMPARE(stats.Skipped, 7);
    QCOMPARE(t.RecordCount(), 4);
}

void TestHarvestFile::iconsBecomePictures()
{
    TDataSet& t = FDm->BookTable;
    QTemporaryDir dir;
    const TPictureFolder pictures(dir.filePath(u"Images"_s));
    Harvest::THarvestOptions options;
    options.Icons = &pictures;
    const auto images = [&] { return t.FieldByName(u"Images"_s)->AsString(); };
    QFile source(Fixture(u"icons64.exe.ico"_s));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray icon = source.readAll();

    // The same icon harvested again names the file already there, rather than adding
    // one more copy of the same bytes each time.
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(Harvest::HarvestFile(t, Fixture(u"icons64.exe"_s), options));
        names << images();
    }
    QCOMPARE(names, (QStringList{u"icons64.ico"_s, u"icons64.ico"_s, u"icons64.ico"_s}));
    QCOMPARE(QDir(pictures.Path()).entryList(QDir::Files), QStringList{u"icons64.ico"_s});
    {
        QFile stored(pictures.FilePath(names.first()));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), icon);
    }
    // Another file's bytes under that name go to the first free name (1_, 2_..., a gap
    // filled first).
    QVERIFY(pictures.Remove(u"icons64.ico"_s));
    {
        QFile other(pictures.FilePath(u"icons64.ico"_s));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("another picture");
    }
    Harvest::HarvestFile(t, Fixture(u"icons64.exe"_s), options);
    QCOMPARE(images(), u"1_icons64.ico"_s);

    // No icon, no picture; without the option, none either.
    Harvest::HarvestFile(t, Fixture(u"english64.exe"_s), options);
    QCOMPARE(images(), QString());
    Harvest::HarvestFile(t, Fixture(u"icons32.exe"_s));
    QCOMPARE(images(), QString());

    // A picture folder that cannot be made: the record is saved without a picture.
    QFile blocker(dir.filePath(u"blocked"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const TPictureFolder blocked(dir.filePath(u"blocked/Images"_s));
    options.Icons = &blocked;
    const int before = t.RecordCount();
    QVERIFY(Harvest::HarvestFile(t, Fixture(u"icons32.exe"_s), options));
    QCOMPARE(t.RecordCount(), before + 1);
    QCOMPARE(images(), QString());
    QCOMPARE(t.FieldByName(u"CompanyName"_s)->AsString(), u"Tresmol Test Works"_s);
}

QTEST_GUILESS_MAIN(TestHarvestFile)
#include "tst_harvestfile.moc"
