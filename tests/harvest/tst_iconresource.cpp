// The program's icon: the main group and its images rebuilt as an .ico file, read
// back by ImageMagick's identify and compared with the .ico file the fixture was
// built from.

#include "harvest/bytesource.h"
#include "harvest/iconresource.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Fixtures = QStringLiteral(VERINFO_FIXTURES "/");
const QString Cli = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What identify reads from each image of an .ico file: width, height and depth.
QStringList Identify(const QString& path)
{
    QProcess p;
    p.start(u"identify"_s, {u"-format"_s, u"%w %h %z\\n"_s, path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {u"identify failed: "_s + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The width, height, colour count, planes and bit count of each entry of an .ico.
QStringList Entries(const QByteArray& ico)
{
    QStringList out;
    if (ico.size() < 6)
        return out;
    const int count = LeU16(ico.constData() + 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const char* e = ico.constData() + 6 + 16 * i;
        out << u"%1x%2 colours %3 planes %4 bits %5"_s.arg(quint8(e[0]))
                   .arg(quint8(e[1]))
                   .arg(quint8(e[2]))
                   .arg(LeU16(e + 4))
                   .arg(LeU16(e + 6));
    }
    return out;
}

// A source that counts what is read through it.
class TCountingSource : public TByteSource {
public:
    explicit TCountingSource(TByteSource& inner) : FInner(inner) {}
    quint64 Size() const override { return FInner.Size(); }
    bool Read(quint64 offset, quint64 length, QByteArray& out) override
    {
        ++Reads;
        Bytes += length;
        return FInner.Read(offset, length, out);
    }
    quint64 Reads = 0;
    quint64 Bytes = 0;

private:
    TByteSource& FInner;
};

} // namespace

class TestIconResource : public QObject {
    Q_OBJECT
private slots:
    void writtenIconReadsAsItsSource_data();
    void writtenIconReadsAsItsSource();
    void noIcon_data();
    void noIcon();
    void fromMemoryAsFromFile();
    void craftedGroupsCostLittle_data();
    void craftedGroupsCostLittle();
    void commandLine();
};

void TestIconResource::writtenIconReadsAsItsSource_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("images");
    QTest::newRow("four sizes, 256 as PNG, 64-bit") << u"icons64.exe"_s << 4;
    QTest::newRow("four sizes, 256 as PNG, 32-bit") << u"icons32.exe"_s << 4;
    QTest::newRow("the first of two groups") << u"icongroups.exe"_s << 2;
    QTest::newRow("the group's language as for the version") << u"iconlangs.exe"_s << 2;
    QTest::newRow("missing and damaged images left out") << u"iconmissing.exe"_s << 2;
}

void TestIconResource::writtenIconReadsAsItsSource()
{
    QFETCH(QString, fixture);
    QFETCH(int, images);
    const std::optional<QByteArray> icon = ReadMainIcon(Fixtures + fixture);
    QVERIFY(icon);
    QTemporaryDir dir;
    const QString written = dir.filePath(u"written.ico"_s);
    QFile out(written);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(*icon);
    out.close();

    const QString source = Fixtures + fixture + u".ico"_s;
    const QStringList read = Identify(written);
    QCOMPARE(read.size(), images);
    QCOMPARE(read, Identify(source));
    QCOMPARE(Entries(*icon), Entries(ReadAll(source)));
    // Nothing lost or added on the way through the executable.
    QCOMPARE(*icon, ReadAll(source));
}

void TestIconResource::noIcon_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("version information only") << u"english64.exe"_s;
    QTest::newRow("no resources") << u"nores32.exe"_s;
    QTest::newRow("16-bit") << u"ne16.exe"_s;
    QTest::newRow("text") << u"text.exe"_s;
    QTest::newRow("cut short") << u"truncated.exe"_s;
    QTest::newRow("header only") << u"headeronly.exe"_s;
    QTest::newRow("a cycle in the directory") << u"cyclic.exe"_s;
    QTest::newRow("missing") << u"missing.exe"_s;
    QTest::newRow("a folder") << QString();
}

void TestIconResource::noIcon()
{
    QFETCH(QString, fixture);
    QVERIFY(!ReadMainIcon(Fixtures + fixture));
}

void TestIconResource::fromMemoryAsFromFile()
{
    const std::optional<QByteArray> fromMemory = ReadMainIcon(ReadAll(Fixtures + u"icons64.exe"_s));
    QVERIFY(fromMemory);
    QCOMPARE(*fromMemory, *ReadMainIcon(Fixtures + u"icons64.exe"_s));
}

void TestIconResource::craftedGroupsCostLittle_data()
{
    // Groups of 2,000 entries. What is read for them stays far below what reading
    // the directory again for each entry, or each entry's image whatever it holds,
    // would cost: 2,000 x 16 KiB of directory, 2,000 x 1 MiB of data.
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("images");        // in the icon written; 0 for none
    QTest::addColumn<quint64>("mostBytes"); // read from the file in all
    QTest::addColumn<quint64>("mostReads"); // calls to read
    QTest::newRow("2,000 images: cut after 256")
        << u"iconmany.exe"_s << 256 << quint64(1) << quint64(256 * 4 + 64);
    QTest::newRow("2,000 names of one large resource: stops at the budget")
        << u"iconheavy.exe"_s << 0 << quint64(17) << quint64(256 * 4 + 64);
}

void TestIconResource::craftedGroupsCostLittle()
{
    QFETCH(QString, fixture);
    QFETCH(int, images);
    QFETCH(quint64, mostBytes);
    QFETCH(quint64, mostReads);
    TFileSource file(Fixtures + fixture);
    QVERIFY(file.IsOpen());
    TCountingSource counted(file);
    const std::optional<QByteArray> icon = ReadMainIcon(counted, 0x0409);
    QCOMPARE(icon ? int(LeU16(icon->constData() + 4)) : 0, images);
    QVERIFY2(counted.Bytes <= mostBytes << 20, qPrintable(QString::number(counted.Bytes)));
    QVERIFY2(counted.Reads <= mostReads, qPrintable(QString::number(counted.Reads)));
}

void TestIconResource::commandLine()
{
    QTemporaryDir dir;
    const QString written = dir.filePath(u"out.ico"_s);
    QProcess p;
    p.start(Cli, {u"icon"_s, Fixtures + u"icons64.exe"_s, written});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(ReadAll(written), ReadAll(Fixtures + u"icons64.exe.ico"_s));

    p.start(Cli, {u"icon"_s, Fixtures + u"english64.exe"_s, dir.filePath(u"none.ico"_s)});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("no icon"));
    QVERIFY(!QFile::exists(dir.filePath(u"none.ico"_s)));
}

QTEST_GUILESS_MAIN(TestIconResource)
#include "tst_iconresource.moc"
