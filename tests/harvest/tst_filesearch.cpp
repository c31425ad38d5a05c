// The wizard's folder search: mask matching, depth-first order, hidden entries,
// unreadable and vanished folders, link loops, stopping.

#include "harvest/filesearch.h"
#include "platform/nativepath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES "/") + name; }

QStringList Search(const QString& folder, const QString& mask = Harvest::ExeMask.toString())
{
    QStringList found;
    Harvest::SearchFiles(folder, mask, [&](const QString& p) {
        found << p;
        return true;
    });
    return found;
}

// The expected result worked out through Qt's own unsorted listing, which hands
// back entries in the order the file system gives them.
void Expected(const QString& folder, QStringList& out, QSet<QString>& seen)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || seen.contains(real))
        return;
    seen.insert(real);
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    QDir dir(folder);
    if (!dir.isReadable())
        return;
    const QStringList names = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        if (QFileInfo(base + name).isDir())
            Expected(base + name, out, seen);
        if (name.endsWith(u".exe"_s, Qt::CaseInsensitive))
            out << base + name;
    }
}

QStringList Expected(const QString& folder)
{
    QStringList out;
    QSet<QString> seen;
    Expected(folder, out, seen);
    return out;
}

void Touch(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(Harvest::TOtherPaths)

class TestFileSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mask_data();
    void mask();
    void treeOrderAndMask();
    void folderNamedExeIsListedAfterItsContents();
    void trailingSeparatorIsNotDoubled();
    void unreadableFolderIsSkipped();
    void vanishedFolderGivesNothing();
    void linkLoopsEnd();
    void foundCanStopTheSearch();
    void collectFilesOverFoldersAndFiles_data();
    void collectFilesOverFoldersAndFiles();
    void foundCanStopTheCollection();
    void nativeNamesRoundTrip_data();
    void nativeNamesRoundTrip();

private:
    QTemporaryDir FDir;
    QString FRoot;
};

void TestFileSearch::initTestCase()
{
    // root/
    //   setup.EXE  setup.exe.bak  readme.txt  .hidden.exe  Other.Exe
    //   tools.exe/inner.exe
    //   sub/deep/x.exe   sub/y.exe
    //   .hiddendir/h.exe
    FRoot = FDir.path() + u"/root"_s;
    QDir d;
    QVERIFY(d.mkpath(FRoot + u"/tools.exe"_s));
    QVERIFY(d.mkpath(FRoot + u"/sub/deep"_s));
    QVERIFY(d.mkpath(FRoot + u"/.hiddendir"_s));
    QVERIFY(QFile::copy(Fixture(u"english64.exe"_s), FRoot + u"/setup.EXE"_s));
    Touch(FRoot + u"/setup.exe.bak"_s);
    Touch(FRoot + u"/readme.txt"_s);
    Touch(FRoot + u"/.hidden.exe"_s);
    Touch(FRoot + u"/Other.Exe"_s);
    Touch(FRoot + u"/tools.exe/inner.exe"_s);
    Touch(FRoot + u"/sub/deep/x.exe"_s);
    Touch(FRoot + u"/sub/y.exe"_s);
    Touch(FRoot + u"/.hiddendir/h.exe"_s);
}

void TestFileSearch::mask_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("matches");
    QTest::newRow("lower case") << u"setup.exe"_s << u"*.exe"_s << true;
    QTest::newRow("upper case") << u"setup.EXE"_s << u"*.exe"_s << true;
    QTest::newRow("mixed case") << u"Setup.ExE"_s << u"*.exe"_s << true;
    QTest::newRow("backup copy") << u"setup.exe.bak"_s << u"*.exe"_s << false;
    QTest::newRow("only the extension") << u".exe"_s << u"*.exe"_s << true;
    QTest::newRow("no dot") << u"setupexe"_s << u"*.exe"_s << false;
    QTest::newRow("two dots") << u"a.b.exe"_s << u"*.exe"_s << true;
    QTest::newRow("Cyrillic name") << u"Программа.EXE"_s << u"*.exe"_s << true;
    QTest::newRow("? one character") << u"a.exe"_s << u"?.exe"_s << true;
    QTest::newRow("? not two") << u"ab.exe"_s << u"?.exe"_s << false;
    QTest::newRow("? not none") << u".exe"_s << u"?.exe"_s << false;
    QTest::newRow("set") << u"b.exe"_s << u"[abc].exe"_s << true;
    QTest::newRow("set, other case") << u"B.exe"_s << u"[abc].exe"_s << true;
    QTest::newRow("range") << u"k.exe"_s << u"[a-m].exe"_s << true;
    QTest::newRow("outside range") << u"x.exe"_s << u"[a-m].exe"_s << false;
    QTest::newRow("negated range") << u"x.exe"_s << u"[!a-m].exe"_s << true;
    QTest::newRow("star alone, empty name") << QString() << u"*"_s << true;
    QTest::newRow("star needs backtracking") << u"aXbXc"_s << u"a*b*c"_s << true;
    QTest::newRow("star, tail missing") << u"aXbX"_s << u"a*b*c"_s << false;
    QTest::newRow("unclosed bracket is literal") << u"[x"_s << u"[x"_s << true;
}

void TestFileSearch::mask()
{
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, matches);
    QCOMPARE(Harvest::MatchesMask(name, mask), matches);
}

void TestFileSearch::treeOrderAndMask()
{
    const QStringList found = Search(FRoot);
    QCOMPARE(found, Expected(FRoot));
    const QString b = FRoot + u'/';
    QStringList sorted = found;
    sorted.sort();
    QStringList wanted = {b + u".hidden.exe"_s, b + u".hiddendir/h.exe"_s,   b + u"Other.Exe"_s,
                          b + u"setup.EXE"_s,   b + u"sub/deep/x.exe"_s,     b + u"sub/y.exe"_s,
                          b + u"tools.exe"_s,   b + u"tools.exe/inner.exe"_s};
    wanted.sort();
    QCOMPARE(sorted, wanted);
    QVERIFY(!found.contains(b + u"setup.exe.bak"_s));
}

void TestFileSearch::folderNamedExeIsListedAfterItsContents()
{
    const QStringList found = Search(FRoot);
    const qsizetype folder = found.indexOf(FRoot + u"/tools.exe"_s);
    const qsizetype inner = found.indexOf(FRoot + u"/tools.exe/inner.exe"_s);
    QVERIFY(folder >= 0 && inner >= 0);
    QCOMPARE(inner + 1, folder);
    // sub's contents sit together, deep/ wherever sub/ lists it.
    const qsizetype x = found.indexOf(FRoot + u"/sub/deep/x.exe"_s);
    const qsizetype y = found.indexOf(FRoot + u"/sub/y.exe"_s);
    QCOMPARE(qAbs(x - y), 1);
}

void TestFileSearch::trailingSeparatorIsNotDoubled()
{
    const QStringList found = Search(FRoot + u'/');
    QCOMPARE(found, Search(FRoot));
    for (const QString& p : found)
        QVERIFY2(!p.contains(u"//"_s), qPrintable(p));
}

void TestFileSearch::unreadableFolderIsSkipped()
{
    QTemporaryDir dir;
    const QString root = dir.path() + u"/tree"_s;
    QVERIFY(QDir().mkpath(root + u"/locked"_s));
    Touch(root + u"/locked/secret.exe"_s);
    Touch(root + u"/open.exe"_s);
    QVERIFY(::chmod(QFile::encodeName(root + u"/locked"_s).constData(), 0) == 0);
    const QStringList wanted = {root + u"/open.exe"_s};

    if (::geteuid() != 0) {
        QCOMPARE(Search(root), wanted);
    } else {
        // The superuser reads any folder: search as an ordinary user in a child.
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        int fds[2];
        QVERIFY(::pipe(fds) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(fds[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            const QByteArray out = Search(root).join(u'\n').toUtf8();
            const bool ok = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
            ::_exit(ok ? 0 : 3);
        }
        ::close(fds[1]);
        QByteArray out;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            out.append(buf, n);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(QString::fromUtf8(out).split(u'\n'), wanted);
    }
    ::chmod(QFile::encodeName(root + u"/locked"_s).constData(), 0755);
}

void TestFileSearch::vanishedFolderGivesNothing()
{
    QVERIFY(Search(FDir.path() + u"/no such folder"_s).isEmpty());
    // A file given as the folder is not a folder either.
    QVERIFY(Search(FRoot + u"/setup.EXE"_s).isEmpty());
}

void TestFileSearch::linkLoopsEnd()
{
    QTemporaryDir dir;
    const QString root = dir.path() + u"/loop"_s;
    QVERIFY(QDir().mkpath(root + u"/a/b"_s));
    Touch(root + u"/a/b/found.exe"_s);
    // b/up points back at the root, a/again.exe at a itself.
    QVERIFY(QFile::link(root, root + u"/a/b/up"_s));
    QVERIFY(QFile::link(root + u"/a"_s, root + u"/a/again.exe"_s));
    const QStringList found = Search(root);
    QCOMPARE(found.count(root + u"/a/b/found.exe"_s), 1);
    // The link named like an executable is still listed, once.
    QCOMPARE(found.count(root + u"/a/again.exe"_s), 1);
    QCOMPARE(found.size(), 2);

    // A link to a folder outside the tree is followed.
    QTemporaryDir other;
    Touch(other.path() + u"/outside.exe"_s);
    QVERIFY(QFile::link(other.path(), root + u"/elsewhere"_s));
    QVERIFY(Search(root).contains(root + u"/elsewhere/outside.exe"_s));
}

void TestFileSearch::foundCanStopTheSearch()
{
    QStringList found;
    const bool finished =
        Harvest::SearchFiles(FRoot, Harvest::ExeMask.toString(), [&](const QString& p) {
            found << p;
            return found.size() < 2;
        });
    QVERIFY(!finished);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found, Search(FRoot).mid(0, 2));
}

void TestFileSearch::collectFilesOverFoldersAndFiles_data()
{
    QTest::addColumn<Harvest::TOtherPaths>("others");
    QTest::newRow("the wizard skips what is no folder") << Harvest::TOtherPaths::Skip;
    QTest::newRow("the command line takes it as it is") << Harvest::TOtherPaths::Take;
}

void TestFileSearch::collectFilesOverFoldersAndFiles()
{
    QFETCH(Harvest::TOtherPaths, others);
    const bool take = others == Harvest::TOtherPaths::Take;
    // Two folders, one inside the other, a file, a path that is not there, a file whose
    // name does not match the mask, a link to a folder, and the first folder again.
    const QString sub = FRoot + u"/sub"_s;
    const QString file = FRoot + u"/setup.EXE"_s;
    const QString missing = FDir.path() + u"/gone.exe"_s;
    const QString text = FRoot + u"/readme.txt"_s;
    const QString link = FDir.path() + u"/deeplink"_s;
    QVERIFY(QFileInfo(link).isSymLink() || QFile::link(sub + u"/deep"_s, link));
    const QStringList paths = {FRoot, file, missing, sub, text, link, FRoot};

    QStringList found;
    QVERIFY(Harvest::CollectFiles(
        paths, Harvest::ExeMask.toString(),
        [&](const QString& p) {
            found << p;
            return true;
        },
        others));
    // Each folder in full at its place, so a folder listed twice, or inside another
    // one listed, gives its files twice.
    QStringList wanted = Search(FRoot);
    if (take)
        wanted << file << missing;
    wanted << Search(sub);
    if (take)
        wanted << text;
    wanted << Search(link) << Search(FRoot);
    QCOMPARE(found, wanted);
    QCOMPARE(found.count(sub + u"/y.exe"_s), 3);
    QVERIFY(found.contains(link + u"/x.exe"_s));
}

void TestFileSearch::foundCanStopTheCollection()
{
    const QStringList paths = {FRoot + u"/sub"_s, FRoot + u"/setup.EXE"_s, FRoot};
    const QStringList all = Search(FRoot + u"/sub"_s) + QStringList{FRoot + u"/setup.EXE"_s};
    for (qsizetype stopAt = 1; stopAt <= all.size(); ++stopAt) {
        QStringList found;
        const bool finished = Harvest::CollectFiles(
            paths, Harvest::ExeMask.toString(),
            [&](const QString& p) {
                found << p;
                return found.size() < stopAt;
            },
            Harvest::TOtherPaths::Take);
        QVERIFY(!finished);
        QCOMPARE(found, all.mid(0, stopAt));
    }
}

void TestFileSearch::nativeNamesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<bool>("escaped");
    QTest::newRow("ASCII") << "/tmp/setup.exe"_ba << false;
    QTest::newRow("UTF-8 Cyrillic") << "/tmp/\xd0\xbf\xd1\x80.exe"_ba << false;
    QTest::newRow("UTF-8 beyond the BMP") << "/tmp/\xf0\x90\x82\x80.exe"_ba << false;
    QTest::newRow("Latin-1 byte") << "/tmp/caf\xe9.exe"_ba << true;
    QTest::newRow("CP1251 bytes") << "/tmp/\xef\xf0\xee\xe3.exe"_ba << true;
    QTest::newRow("truncated sequence") << "/tmp/\xd0.exe"_ba << true;
    QTest::newRow("encoded surrogate") << "/tmp/\xed\xb2\x80.exe"_ba << true;
    QTest::newRow("overlong slash") << "/tmp/\xc0\xaf.exe"_ba << true;
    QTest::newRow("private-use U+EF80 in UTF-8") << "/tmp/\xee\xbe\x80.exe"_ba << true;
    QTest::newRow("private-use U+EF7F in UTF-8") << "/tmp/\xee\xbd\xbf.exe"_ba << false;
}

void TestFileSearch::nativeNamesRoundTrip()
{
    QFETCH(QByteArray, native);
    QFETCH(bool, escaped);
    const QString text = PathFromNative(native);
    QCOMPARE(PathHasEscapes(text), escaped);
    QCOMPARE(PathToNative(text), native);
    if (!escaped)
        QCOMPARE(text, QString::fromUtf8(native));
}

QTEST_GUILESS_MAIN(TestFileSearch)
#include "tst_filesearch.moc"
