// tresmol-cli at its edges: names that are not valid UTF-8, output that cannot be
// written, paths that are not there, catalogues that are damaged, altered from
// outside or kept where nothing can be written.

#include "tests/common/outsidesql.h"
#include "tests/common/readonlyuser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CliPath = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");
const QString Fixture = QStringLiteral(VERINFO_FIXTURES "/english64.exe");
const QString IconFixture = QStringLiteral(VERINFO_FIXTURES "/icons64.exe");

struct TRun {
    int Status;
    QByteArray Out, Err;
};

TRun Finish(QProcess& p)
{
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

TRun Cli(const QStringList& args, const QString& stdoutFile = QString())
{
    QProcess p;
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(CliPath, args);
    return Finish(p);
}

// A shell command line, so that arguments may hold any bytes ($'...' is not in sh:
// printf makes them). The words are run with the tool's path in $CLI.
TRun Shell(const QString& script)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"CLI"_s, CliPath);
    p.setProcessEnvironment(env);
    p.start(u"/bin/sh"_s, {u"-c"_s, script});
    return Finish(p);
}

bool HasCyrillic(const QByteArray& text)
{
    for (const QChar c : QString::fromUtf8(text))
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    return false;
}

bool NativeExists(const QByteArray& path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

QStringList ListedNames(const QString& catalogue)
{
    const TRun r = Cli({u"list"_s, catalogue, u"--json"_s});
    QStringList names;
    for (const QByteArray& line : r.Out.split('\n'))
        if (!line.isEmpty())
            names << QJsonDocument::fromJson(line).object().value(u"FileName"_s).toString();
    return names;
}

// Runs SQL on a catalogue from outside, as another program would.
void Alter(const QString& catalogue, const QString& sql) { RunOutside(catalogue, sql); }

} // namespace

class TestCliEdges : public QObject {
    Q_OBJECT
private slots:
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void outputThatCannotBeWrittenFails_data();
    void outputThatCannotBeWrittenFails();
    void harvestOfAPathThatIsNotThereAddsNothing_data();
    void harvestOfAPathThatIsNotThereAddsNothing();
    void createNeverLeavesAHalfCatalogue();
    void staleTemporariesOfAKilledCreateGo_data();
    void staleTemporariesOfAKilledCreateGo();
    void iconNeverReplacesAFile_data();
    void iconNeverReplacesAFile();
    void driverTextsBecomeCauses_data();
    void driverTextsBecomeCauses();
    void textListingEscapesCarriageReturns();
    void catalogueInAFolderThatCannotBeWritten();
    void exportErrorsInEnglish_data();
    void exportErrorsInEnglish();
};

void TestCliEdges::namesThatAreNotUtf8_data()
{
    // Shell words; $D is the test folder, $F a PE file with version information.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("created");  // a file the script must have made in $D
    QTest::addColumn<QByteArray>("mentions"); // in standard output
    QTest::newRow("create") << u"$CLI create \"$D/$(printf 'c\\377.mdb')\""_s
                            << QByteArray("c\xff.mdb") << QByteArray();
    QTest::newRow("demo") << u"$CLI demo \"$D/$(printf 'd\\377.mdb')\""_s << QByteArray("d\xff.mdb")
                          << QByteArray();
    QTest::newRow("list") << u"$CLI create \"$D/$(printf 'c\\377.mdb')\" && "
                             u"$CLI list \"$D/$(printf 'c\\377.mdb')\""_s
                          << QByteArray("c\xff.mdb") << QByteArray("Номер\t");
    QTest::newRow("harvest")
        << u"cp \"$F\" \"$D/$(printf 'a\\377.exe')\" && $CLI create \"$D/$(printf 'c\\377.mdb')\" "
           u"&& $CLI harvest \"$D/$(printf 'c\\377.mdb')\" \"$D/$(printf 'a\\377.exe')\" && "
           u"$CLI list \"$D/$(printf 'c\\377.mdb')\" --json"_s
        << QByteArray("c\xff.mdb") << QByteArray("\"CompanyName\":\"Tresmol Test Works\"");
    QTest::newRow("verinfo") << u"cp \"$F\" \"$D/$(printf 'a\\377.exe')\" && "
                                u"$CLI verinfo \"$D/$(printf 'a\\377.exe')\""_s
                             << QByteArray("a\xff.exe")
                             << QByteArray("\"CompanyName\": \"Tresmol Test Works\"");
    QTest::newRow("icon") << u"$CLI icon \"$I\" \"$D/$(printf 'o\\375.ico')\""_s
                          << QByteArray("o\xfd.ico") << QByteArray();
    QTest::newRow("harvest --icons into a picture folder")
        << u"cp \"$I\" \"$D/$(printf 'a\\377.exe')\" && $CLI create \"$D/c.mdb\" && "
           u"$CLI harvest \"$D/c.mdb\" \"$D/$(printf 'a\\377.exe')\" --icons "
           u"--picture-folder \"$D/$(printf 'p\\374')\" && $CLI list \"$D/c.mdb\" --json"_s
        << QByteArray("p\xfc/a\xee\xbf\xbf.ico")
        << QByteArray("\"CompanyName\":\"Tresmol Test Works\"");
    QTest::newRow("export") << u"$CLI demo \"$D/c.mdb\" && "
                               u"$CLI export \"$D/c.mdb\" \"$D/$(printf 'o\\377.xlsx')\""_s
                            << QByteArray("o\xff.xlsx") << QByteArray();
}

void TestCliEdges::namesThatAreNotUtf8()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, created);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    const QString prelude = u"D='%1'; F='%2'; I='%3'; "_s.arg(dir.path(), Fixture, IconFixture);
    const TRun r = Shell(prelude + script);
    const bool made = NativeExists(QFile::encodeName(dir.path()) + '/' + created);
    // QTemporaryDir cannot remove names that are not valid UTF-8.
    Shell(u"find '%1' -mindepth 1 -delete"_s.arg(dir.path()));
    QVERIFY2(r.Status == 0, r.Err.constData());
    QVERIFY2(!r.Err.contains("tresmol-cli:"), r.Err.constData());
    QVERIFY2(r.Out.contains(mentions), r.Out.constData());
    // Written under the very bytes given, not with U+FFFD in place of one.
    QVERIFY(made);
}

void TestCliEdges::outputThatCannotBeWrittenFails_data()
{
    QTest::addColumn<QStringList>("args"); // @CAT@: a catalogue with records
    QTest::newRow("list") << QStringList{u"list"_s, u"@CAT@"_s};
    QTest::newRow("list --json") << QStringList{u"list"_s, u"@CAT@"_s, u"--json"_s};
    QTest::newRow("verinfo") << QStringList{u"verinfo"_s, Fixture};
    QTest::newRow("--help") << QStringList{u"--help"_s};
    QTest::newRow("clear") << QStringList{u"clear"_s, u"@CAT@"_s, u"--all"_s};
}

void TestCliEdges::outputThatCannotBeWrittenFails()
{
    QFETCH(QStringList, args);
    if (!QFile::exists(u"/dev/full"_s))
        QSKIP("this system has no /dev/full");
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"Tresmol.mdb"_s);
    QCOMPARE(Cli({u"demo"_s, catalogue}).Status, 0);
    args.replaceInStrings(u"@CAT@"_s, catalogue);
    const TRun r = Cli(args, u"/dev/full"_s);
    QCOMPARE(r.Status, 1);
    QVERIFY2(r.Err.contains("cannot write to standard output"), r.Err.constData());
}

void TestCliEdges::harvestOfAPathThatIsNotThereAddsNothing_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing file") << QStringList{u"/no/such.exe"_s} << u"/no/such.exe"_s;
    QTest::newRow("empty argument") << QStringList{QString()} << u"empty path"_s;
    QTest::newRow("a good file, then a missing one")
        << QStringList{Fixture, u"/no/such.exe"_s} << u"/no/such.exe"_s;
}

void TestCliEdges::harvestOfAPathThatIsNotThereAddsNothing()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"Tresmol.mdb"_s);
    QCOMPARE(Cli({u"create"_s, catalogue}).Status, 0);
    // Run from the empty folder, where an empty argument would have found the catalogue.
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(CliPath, QStringList{u"harvest"_s, catalogue} + paths);
    const TRun r = Finish(p);
    QCOMPARE(r.Status, 1);
    QVERIFY2(QString::fromUtf8(r.Err).contains(mentions), r.Err.constData());
    QCOMPARE(ListedNames(catalogue), QStringList());
}

void TestCliEdges::createNeverLeavesAHalfCatalogue()
{
    QTemporaryDir dir;
    // A dangling link at the name is not followed: nothing is written where it points.
    const QString link = dir.filePath(u"link.mdb"_s);
    const QString target = dir.filePath(u"elsewhere.mdb"_s);
    QVERIFY(QFile::link(target, link));
    for (const QString& command : {u"create"_s, u"demo"_s}) {
        const TRun r = Cli({command, link});
        QCOMPARE(r.Status, 1);
        QVERIFY2(r.Err.contains("already exists"), r.Err.constData());
        QVERIFY(!QFile::exists(target));
    }
    // A catalogue comes into being whole, under its name only at the end; nothing
    // else stays in the folder.
    const QString demo = dir.filePath(u"demo.mdb"_s);
    QCOMPARE(Cli({u"demo"_s, demo}).Status, 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
             (QStringList{u"demo.mdb"_s, u"link.mdb"_s}));
    QVERIFY(ListedNames(demo).size() >= 45);
}

void TestCliEdges::staleTemporariesOfAKilledCreateGo_data()
{
    QTest::addColumn<QString>("command");
    // Every way of making a catalogue, the window's "Создать базу" as create.
    QTest::newRow("create") << u"create"_s;
    QTest::newRow("demo") << u"demo"_s;
    QTest::newRow("import") << u"import"_s;
}

void TestCliEdges::staleTemporariesOfAKilledCreateGo()
{
    QFETCH(QString, command);
    QTemporaryDir dir;
    // What killed runs of create c.mdb leave, and names that only look like it.
    const QDateTime old = QDateTime::currentDateTime().addSecs(-120);
    const QStringList stale = {u".c.mdb.Ab12Cd"_s, u".c.mdb.Ab12Cd-wal"_s, u".c.mdb.Ab12Cd-shm"_s,
                               u".c.mdb.Qr78St-journal"_s};
    const QStringList kept = {
        u".c.mdb.Xy34Zw"_s,      // written a moment ago: a run may still be on it
        u".c.mdb.Lk56Mn"_s,      // locked: a run has it open
        u".c.mdb.Lk56Mn-wal"_s,  // beside a locked one
        u".d.mdb.Ab12Cd"_s,      // another catalogue's
        u".c.mdb.Ab12Cde"_s,     // not six characters
        u".c.mdb.Ab12Cd.part"_s, // not a suffix SQLite writes
        u"c.mdb.Ab12Cd"_s,       // not hidden
    };
    for (const QString& name : stale + kept) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        QVERIFY(f.flush()); // before the time is set: a later write would set it again
        if (name != u".c.mdb.Xy34Zw"_s)
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    // A lock as SQLite takes one, held by this process while the command runs.
    const int fd = ::open(QFile::encodeName(dir.filePath(u".c.mdb.Lk56Mn"_s)).constData(), O_RDWR);
    QVERIFY(fd >= 0);
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0x40000000;
    lock.l_len = 1;
    QCOMPARE(::fcntl(fd, F_SETLK, &lock), 0);
    const TRun r =
        command == u"import"_s
            ? Cli({command, QStringLiteral(JET_FIXTURES "/jet4-catalogue.mdb"),
                   dir.filePath(u"c.mdb"_s), u"--picture-folder"_s, dir.filePath(u"Pictures"_s)})
            : Cli({command, dir.filePath(u"c.mdb"_s)});
    ::close(fd);
    QVERIFY2(r.Status == 0, r.Err.constData());
    QStringList expected = kept;
    expected << u"c.mdb"_s;
    expected.sort();
    QStringList listed = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    listed.sort();
    QCOMPARE(listed, expected);
}

void TestCliEdges::iconNeverReplacesAFile_data()
{
    // What stands at the output's name before the command: a file, a link to one, a
    // link to nothing.
    QTest::addColumn<QString>("kind");
    QTest::newRow("an existing file") << u"file"_s;
    QTest::newRow("a link to a file") << u"link"_s;
    QTest::newRow("a dangling link") << u"dangling"_s;
}

void TestCliEdges::iconNeverReplacesAFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString precious = dir.filePath(u"precious.txt"_s);
    const QString out = dir.filePath(u"out.ico"_s);
    const QByteArray keep = "keep me\n";
    if (kind != u"dangling"_s) {
        QFile f(precious);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(keep);
    }
    if (kind == u"file"_s)
        QVERIFY(QFile::copy(precious, out));
    else
        QVERIFY(QFile::link(precious, out));
    const TRun r = Cli({u"icon"_s, IconFixture, out});
    QCOMPARE(r.Status, 1);
    QVERIFY2(r.Err.contains("already exists"), r.Err.constData());
    QCOMPARE(QFileInfo(out).isSymLink(), kind != u"file"_s);
    if (kind == u"dangling"_s) {
        QVERIFY(!QFileInfo::exists(precious));
    } else {
        QFile f(precious);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), keep);
        QFile o(out);
        QVERIFY(o.open(QIODevice::ReadOnly));
        QCOMPARE(o.readAll(), keep);
    }
    // A free name gets the icon, and nothing else is left in the folder.
    const QString fresh = dir.filePath(u"fresh.ico"_s);
    QCOMPARE(Cli({u"icon"_s, IconFixture, fresh}).Status, 0);
    QFile written(fresh);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith(QByteArray("\0\0\1\0", 4)));
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                 .size(),
             kind == u"dangling"_s ? 2 : 3);
}

void TestCliEdges::driverTextsBecomeCauses_data()
{
    QTest::addColumn<QString>("damage"); // what another program did to the catalogue
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("damaged pages")
        << u"pages"_s << QStringList{u"list"_s, u"@CAT@"_s} << u"the catalogue file is damaged"_s;
    QTest::newRow("a trigger that cannot run")
        << u"CREATE TRIGGER Blocked AFTER INSERT ON SoftTable BEGIN "
           u"INSERT INTO NoSuchTable VALUES (1); END"_s
        << QStringList{u"harvest"_s, u"@CAT@"_s, Fixture} << u"refuses the change"_s;
    QTest::newRow("a trigger that refuses")
        << u"CREATE TRIGGER Blocked BEFORE INSERT ON SoftTable BEGIN "
           u"SELECT RAISE(ABORT, 'no new records'); END"_s
        << QStringList{u"harvest"_s, u"@CAT@"_s, Fixture} << u"no new records"_s;
}

void TestCliEdges::driverTextsBecomeCauses()
{
    QFETCH(QString, damage);
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"Tresmol.mdb"_s);
    QCOMPARE(Cli({u"demo"_s, catalogue}).Status, 0);
    if (damage == u"pages"_s) {
        // Every page after the first (which holds the schema) overwritten.
        QFile f(catalogue);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        QVERIFY(size > 8192);
        f.seek(4096);
        f.write(QByteArray(size - 4096, '\x5a'));
    } else {
        Alter(catalogue, damage);
    }
    args.replaceInStrings(u"@CAT@"_s, catalogue);
    const TRun r = Cli(args);
    const QString err = QString::fromUtf8(r.Err);
    QCOMPARE(r.Status, 1);
    QVERIFY2(err.contains(mentions), qPrintable(err));
    QVERIFY2(err.contains(catalogue), qPrintable(err));
    for (const QString& raw : {u"Unable to execute"_s, u"Parameter count mismatch"_s,
                               u"malformed"_s, u"Unable to fetch"_s})
        QVERIFY2(!err.contains(raw), qPrintable(err));
    if (args.first() == u"harvest"_s)
        QVERIFY2(err.contains(u"0 of 1 files were saved"_s), qPrintable(err));
}

void TestCliEdges::textListingEscapesCarriageReturns()
{
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"Tresmol.mdb"_s);
    QCOMPARE(Cli({u"create"_s, catalogue}).Status, 0);
    Alter(catalogue,
          u"INSERT INTO SoftTable (ProductName, CompanyName) VALUES ('a' || char(13) || 'b', "
          u"'c' || char(9) || 'd' || char(10) || 'e')"_s);
    const TRun r = Cli({u"list"_s, catalogue});
    QCOMPARE(r.Status, 0);
    const QList<QByteArray> lines = r.Out.split('\n');
    QCOMPARE(lines.size(), 3); // titles, the record, nothing after the last newline
    QVERIFY2(!r.Out.contains('\r'), r.Out.constData());
    QVERIFY2(lines[1].contains("a b"), lines[1].constData());
    QVERIFY2(lines[1].contains("c d e"), lines[1].constData());
}

void TestCliEdges::catalogueInAFolderThatCannotBeWritten()
{
    // The tool runs as a user who may read the folder but not write to it.
    const std::optional<QStringList> asReader = AsUserWhoCannotWrite();
    if (!asReader)
        QSKIP("running as root without setpriv, no user who cannot write is at hand");
    const QStringList& prefix = *asReader;
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                        QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    const QString folder = dir.filePath(u"disc"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString catalogue = folder + u"/Tresmol.mdb"_s;
    QCOMPARE(Cli({u"demo"_s, catalogue}).Status, 0);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                              QFile::ExeOther | QFile::ReadGroup |
                                              QFile::ExeGroup));
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(u"/"_s);
        const QStringList all = prefix + QStringList{CliPath} + args;
        p.start(all.first(), all.mid(1));
        return Finish(p);
    };
    const TRun list = run({u"list"_s, catalogue, u"--json"_s});
    QVERIFY2(list.Status == 0, list.Err.constData());
    QVERIFY(list.Out.count('\n') >= 45);
    const TRun search = run({u"list"_s, catalogue, u"--search"_s, u"Ad"_s, u"--sort"_s, u"size"_s});
    QVERIFY2(search.Status == 0, search.Err.constData());
    QCOMPARE(search.Out.count('\n'), 5); // the titles and four records
    const TRun harvest = run({u"harvest"_s, catalogue, Fixture});
    QCOMPARE(harvest.Status, 1);
    QVERIFY2(harvest.Err.contains("the catalogue file is read-only; the change was not saved"),
             harvest.Err.constData());
    // Nothing was made beside the catalogue.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{u"Tresmol.mdb"_s});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestCliEdges::exportErrorsInEnglish_data()
{
    // Shell words; $D is the test folder, which holds the catalogue c.mdb.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("mentions"); // in standard error
    QTest::addColumn<QString>("outside");     // SQL run on the catalogue first, if any
    QTest::newRow("taken, under a name that is not UTF-8")
        << u"$CLI export \"$D/c.mdb\" \"$D/$(printf 'o\\377.xlsx')\" && "
           u"$CLI export \"$D/c.mdb\" \"$D/$(printf 'o\\377.xlsx')\""_s
        << QByteArray("o\xff.xlsx\" already exists") << QString();
    QTest::newRow("no folder") << u"$CLI export \"$D/c.mdb\" \"$D/none/o.xlsx\""_s
                               << QByteArray("none\" does not exist") << QString();
    QTest::newRow("no folder, under a name that is not UTF-8")
        << u"$CLI export \"$D/c.mdb\" \"$D/$(printf 'n\\377')/o.xlsx\""_s
        << QByteArray("n\xff\" does not exist") << QString();
    QTest::newRow("not a folder") << u"$CLI export \"$D/c.mdb\" \"$D/c.mdb/o.xlsx\""_s
                                  << QByteArray("c.mdb\" is not a folder") << QString();
    // A limit on the size of the files the tool writes, as on a nearly full disk: room
    // for the catalogue's shared memory (32 KB), not for a workbook of texts that do not
    // compress.
    QTest::newRow("cannot be written")
        << u"(trap '' XFSZ; ulimit -f 128; exec $CLI export \"$D/c.mdb\" \"$D/o.xlsx\")"_s
        << QByteArray("cannot write the workbook in the folder")
        << u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
           u"INSERT INTO SoftTable (ProductName, Comments) "
           u"SELECT 'p' || i, hex(randomblob(500)) FROM n"_s;
}

void TestCliEdges::exportErrorsInEnglish()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, mentions);
    QFETCH(QString, outside);
    QTemporaryDir dir;
    QCOMPARE(Cli({u"demo"_s, dir.filePath(u"c.mdb"_s)}).Status, 0);
    if (!outside.isEmpty())
        Alter(dir.filePath(u"c.mdb"_s), outside);
    const TRun r = Shell(u"D='%1'; "_s.arg(dir.path()) + script);
    // QTemporaryDir cannot remove names that are not valid UTF-8.
    Shell(u"find '%1' -mindepth 1 -delete"_s.arg(dir.path()));
    QCOMPARE(r.Status, 1);
    QVERIFY2(r.Err.startsWith("tresmol-cli: "), r.Err.constData());
    // The path comes back with the bytes it was given.
    QVERIFY2(r.Err.contains(mentions), r.Err.constData());
    QVERIFY2(!HasCyrillic(r.Err), r.Err.constData());
}

QTEST_GUILESS_MAIN(TestCliEdges)
#include "tst_cliedges.moc"
