// tresmol-cli harvest: the wizard's search and HarvestFile from the command line.

#include "harvest/filesearch.h"
#include "platform/nativepath.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Cli = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");
const QString Fixtures = QStringLiteral(VERINFO_FIXTURES);

struct TRun {
    int Status;
    QByteArray Out, Err;
};

TRun Run(const QString& program, const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QList<QJsonObject> Records(const QString& dir)
{
    const TRun r = Run(Cli, {u"list"_s, u"Tresmol.mdb"_s, u"--json"_s}, dir);
    QList<QJsonObject> out;
    for (const QByteArray& line : r.Out.split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

} // namespace

class TestHarvestCli : public QObject {
    Q_OBJECT
private slots:
    void init();
    void folderIsSearchedThenHarvestedInOrder();
    void filesAndFoldersMix();
    void nameNotUtf8KeepsItsBytes();
    void killedHarvestKeepsEveryReportedFile();
    void failures_data();
    void failures();
    void secondScanSkipsKnownFiles();
    void longPathsAreKeptWhole();
    void iconsAsPictures();

private:
    std::unique_ptr<QTemporaryDir> FDir;
};

void TestHarvestCli::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QCOMPARE(Run(Cli, {u"create"_s, u"Tresmol.mdb"_s}, FDir->path()).Status, 0);
}

void TestHarvestCli::folderIsSearchedThenHarvestedInOrder()
{
    QStringList expected;
    Harvest::SearchFiles(Fixtures, Harvest::ExeMask.toString(), [&](const QString& p) {
        expected << p;
        return true;
    });
    QVERIFY(expected.size() > 10);
    const TRun r = Run(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Fixtures}, FDir->path());
    QCOMPARE(r.Status, 0);
    QVERIFY2(r.Err.startsWith(QByteArray(QByteArray::number(expected.size()) + " files harvested")),
             r.Err);
    QVERIFY2(r.Err.contains("reading") && r.Err.contains("storing"), r.Err);

    const QList<QJsonObject> records = Records(FDir->path());
    QStringList names;
    for (const QJsonObject& o : records)
        names << o.value(u"FileName"_s).toString();
    QCOMPARE(names, expected);
    for (const QJsonObject& o : records) {
        const QString path = o.value(u"FileName"_s).toString();
        if (path.endsWith(u"/english64.exe"_s))
            QCOMPARE(o.value(u"CompanyName"_s).toString(), u"Tresmol Test Works"_s);
        if (path.endsWith(u"/nores64.exe"_s))
            QCOMPARE(o.value(u"LangID"_s).toString(), u"NO_INFO"_s);
    }
}

void TestHarvestCli::filesAndFoldersMix()
{
    QVERIFY(QDir(FDir->path()).mkdir(u"disc"_s));
    QVERIFY(QFile::copy(Fixtures + u"/russian32.exe"_s, FDir->path() + u"/disc/SETUP.EXE"_s));
    QVERIFY(QFile::copy(Fixtures + u"/english32.exe"_s, FDir->path() + u"/disc/setup.exe.bak"_s));
    // A relative path is taken from the working folder; a file is harvested whatever
    // its name.
    const TRun r =
        Run(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Fixtures + u"/english64.dll"_s, u"disc"_s},
            FDir->path());
    QCOMPARE(r.Status, 0);
    const QList<QJsonObject> records = Records(FDir->path());
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].value(u"FileName"_s).toString(), Fixtures + u"/english64.dll"_s);
    QCOMPARE(records[1].value(u"FileName"_s).toString(), FDir->path() + u"/disc/SETUP.EXE"_s);
    QCOMPARE(records[1].value(u"ProductName"_s).toString(), u"Тресмол"_s);
}

void TestHarvestCli::nameNotUtf8KeepsItsBytes()
{
    // The shell hands the Latin-1 byte over as it is.
    const TRun made = Run(u"/bin/sh"_s,
                          {u"-c"_s,
                           u"cp \"$1\" \"$(printf 'caf\\351.exe')\" && "
                           u"\"$2\" harvest Tresmol.mdb \"$(printf 'caf\\351.exe')\""_s,
                           u"sh"_s, Fixtures + u"/english64.exe"_s, Cli},
                          FDir->path());
    QVERIFY2(made.Status == 0, made.Err);
    const QList<QJsonObject> records = Records(FDir->path());
    QCOMPARE(records.size(), 1);
    const QString stored = records[0].value(u"FileName"_s).toString();
    QCOMPARE(PathToNative(stored), QFile::encodeName(FDir->path()) + "/caf\xe9.exe");
    QCOMPARE(records[0].value(u"CompanyName"_s).toString(), u"Tresmol Test Works"_s);
}

void TestHarvestCli::killedHarvestKeepsEveryReportedFile()
{
    // Forty thousand names for one file, so the run is still going when it is killed.
    // Linked to a copy on the same file system.
    QVERIFY(QFile::copy(Fixtures + u"/english64.exe"_s, FDir->path() + u"/source.bin"_s));
    const QByteArray source = QFile::encodeName(FDir->path() + u"/source.bin"_s);
    for (int d = 0; d < 40; ++d) {
        const QString dir = FDir->path() + u"/tree/d"_s + QString::number(d);
        QVERIFY(QDir().mkpath(dir));
        for (int f = 0; f < 1000; ++f)
            QCOMPARE(
                ::link(
                    source.constData(),
                    QFile::encodeName(dir + u"/f"_s + QString::number(f) + u".exe"_s).constData()),
                0);
    }
    QProcess harvest;
    harvest.setWorkingDirectory(FDir->path());
    harvest.setReadChannel(QProcess::StandardError);
    harvest.start(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, u"tree"_s});
    QVERIFY2(harvest.waitForStarted(), qPrintable(harvest.errorString()));
    // Off a terminal, progress is a line per thousand files done.
    int reported = 0;
    QByteArray err;
    while (reported < 2000 && harvest.waitForReadyRead(60000)) {
        err += harvest.readAllStandardError();
        for (const QByteArray& line : err.split('\n'))
            if (line.startsWith("harvested "))
                reported = std::max(reported, line.split(' ').value(1).toInt());
    }
    const qint64 pid = harvest.processId();
    QVERIFY2(pid > 0 && harvest.state() == QProcess::Running, err);
    ::kill(pid_t(pid), SIGKILL);
    harvest.waitForFinished();
    QVERIFY2(reported >= 2000, err);
    QCOMPARE(harvest.exitStatus(), QProcess::CrashExit);

    QStringList expected;
    Harvest::SearchFiles(FDir->path() + u"/tree"_s, Harvest::ExeMask.toString(),
                         [&](const QString& p) {
                             expected << p;
                             return true;
                         });
    const QList<QJsonObject> records = Records(FDir->path());
    QVERIFY2(records.size() >= reported, QByteArray::number(records.size()));
    QVERIFY(records.size() < expected.size());
    for (int i = 0; i < records.size(); ++i)
        QCOMPARE(records[i].value(u"FileName"_s).toString(), expected[i]);
}

void TestHarvestCli::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("no path") << QStringList{u"harvest"_s, u"Tresmol.mdb"_s} << "usage:"_ba;
    QTest::newRow("no catalogue") << QStringList{u"harvest"_s, u"missing.mdb"_s, Fixtures}
                                  << "tresmol-cli:"_ba;
    QTest::newRow("unknown option")
        << QStringList{u"harvest"_s, u"Tresmol.mdb"_s, u"--fast"_s, Fixtures}
        << "unknown option --fast"_ba;
}

void TestHarvestCli::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    const TRun r = Run(Cli, args, FDir->path());
    QCOMPARE(r.Status, 1);
    QVERIFY2(r.Err.contains(message), r.Err);
    QVERIFY(Records(FDir->path()).isEmpty());
}

void TestHarvestCli::secondScanSkipsKnownFiles()
{
    const TRun first = Run(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Fixtures}, FDir->path());
    QCOMPARE(first.Status, 0);
    const qsizetype count = Records(FDir->path()).size();
    QVERIFY(count > 10);
    const TRun second =
        Run(Cli, {u"harvest"_s, u"--skip-known"_s, u"Tresmol.mdb"_s, Fixtures}, FDir->path());
    QCOMPARE(second.Status, 0);
    QVERIFY2(second.Err.contains(QByteArray(QByteArray::number(count) +
                                            " files already in the catalogue left out")),
             second.Err);
    QVERIFY2(second.Err.contains("\n0 files harvested"), second.Err);
    QCOMPARE(Records(FDir->path()).size(), count);
    // Without the option the same scan doubles the catalogue.
    QCOMPARE(Run(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, Fixtures}, FDir->path()).Status, 0);
    QCOMPARE(Records(FDir->path()).size(), 2 * count);
}

void TestHarvestCli::longPathsAreKeptWhole()
{
    // A path of more than 250 characters used to be stored cut: it then named no
    // file, and every later scan added the file again.
    QString deep = FDir->filePath(u"discs"_s);
    for (int i = 0; deep.size() < 400; ++i)
        deep += u"/Папка с дистрибутивами программ "_s + QString::number(i);
    QVERIFY(QDir().mkpath(deep));
    const QString path = deep + u"/english64.exe"_s;
    QVERIFY(QFile::copy(Fixtures + u"/english64.exe"_s, path));
    QCOMPARE(
        Run(Cli, {u"harvest"_s, u"Tresmol.mdb"_s, FDir->filePath(u"discs"_s)}, FDir->path()).Status,
        0);
    const QList<QJsonObject> records = Records(FDir->path());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].value(u"FileName"_s).toString(), path);
    const TRun second =
        Run(Cli, {u"harvest"_s, u"--skip-known"_s, u"Tresmol.mdb"_s, FDir->filePath(u"discs"_s)},
            FDir->path());
    QVERIFY2(second.Err.contains("1 files already in the catalogue left out"), second.Err);
    QCOMPARE(Records(FDir->path()).size(), 1);
}

void TestHarvestCli::iconsAsPictures()
{
    const QString pictures = FDir->filePath(u"pictures"_s);
    const TRun r =
        Run(Cli,
            {u"harvest"_s, u"Tresmol.mdb"_s, Fixtures + u"/icons64.exe"_s,
             Fixtures + u"/english64.exe"_s, u"--icons"_s, u"--picture-folder"_s, pictures},
            FDir->path());
    QCOMPARE(r.Status, 0);
    QVERIFY2(r.Err.contains("2 files harvested"), r.Err);
    // Images is not among the columns list shows: read it through the store.
    QStringList images;
    {
        TDataModule1 dm([](const QString& m) { QFAIL(qPrintable(m)); },
                        Catalogue::ConnectionStringFor(FDir->filePath(u"Tresmol.mdb"_s)));
        dm.BookTable.Open();
        for (dm.BookTable.First(); !dm.BookTable.Eof(); dm.BookTable.Next())
            images << dm.BookTable.FieldByName(u"Images"_s)->AsString();
    }
    images.sort();
    QCOMPARE(images, (QStringList{QString(), u"icons64.ico"_s}));
    QFile stored(pictures + u"/icons64.ico"_s);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QFile source(Fixtures + u"/icons64.exe.ico"_s);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), source.readAll());
}

QTEST_GUILESS_MAIN(TestHarvestCli)
#include "tst_harvestcli.moc"
