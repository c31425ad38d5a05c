// The zip writer, checked through independent readers: Python's zipfile (which
// verifies every checksum) and Info-ZIP's unzip. The ZIP64 form is reached with small
// data by lowering the size at which the writer takes it.

#include "export/zipwriter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Reads the archive at PATH with zipfile: "name size crc32-of-content" per entry, then
// "ok" when every entry's checksum holds, and whether any entry took the ZIP64 form.
const char Reader[] = R"PY(
import sys, zipfile, zlib
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        data = z.read(i.filename)
        print(i.filename, len(data), "%08x" % zlib.crc32(data),
              "zip64" if i.extract_version >= 45 else "plain")
    print("ok" if z.testzip() is None else "bad")
)PY";

QStringList ReadWithZipfile(const QString& path)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromLatin1(Reader), path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {u"reader failed: "_s + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// Content of the streamed entry: varied enough that deflate has work to do.
QByteArray Streamed(int size)
{
    QByteArray b;
    b.reserve(size);
    for (int i = 0; b.size() < size; ++i)
        b += "<row r=\"" + QByteArray::number(i) + "\"><c>" + QByteArray::number(i * 7919) +
             "</c></row>";
    b.truncate(size);
    return b;
}

quint32 Crc32(const QByteArray& data)
{
    return quint32(
        crc32_z(0, reinterpret_cast<const Bytef*>(data.constData()), size_t(data.size())));
}

} // namespace

class TestZipWriter : public QObject {
    Q_OBJECT

private slots:
    void archiveReadsBack_data();
    void archiveReadsBack();
};

void TestZipWriter::archiveReadsBack_data()
{
    QTest::addColumn<quint64>("threshold");
    QTest::addColumn<bool>("zip64");
    QTest::newRow("plain") << quint64(0xFFFFFFFFu) << false;
    // Every size and offset over the threshold: local and central ZIP64 fields, the
    // ZIP64 end records.
    QTest::newRow("ZIP64") << quint64(100) << true;
}

void TestZipWriter::archiveReadsBack()
{
    QFETCH(quint64, threshold);
    QFETCH(bool, zip64);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"a.zip"_s);
    const QByteArray small = "<?xml version=\"1.0\"?><Types/>";
    const QByteArray second(5000, 'x');
    const QByteArray streamed = Streamed(3 * int(TZipWriter::BufferSize) + 12345);
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        TZipWriter zip(fd, 1);
        zip.SetZip64Threshold(threshold);
        zip.AddFile("[Content_Types].xml", small);
        zip.AddFile("x/second.xml", second);
        zip.BeginEntry("x/streamed.xml");
        // Handed over in uneven pieces, as rows are.
        for (qsizetype at = 0; at < streamed.size();) {
            const qsizetype n = std::min<qsizetype>(streamed.size() - at, 1000 + at % 777);
            zip.Append(streamed.constData() + at, size_t(n));
            at += n;
        }
        zip.EndEntry();
        zip.AddFile("after.xml", small);
        zip.Finish();
        ::close(fd);
    }
    const QStringList lines = ReadWithZipfile(path);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.last(), u"ok"_s);
    // Which entries need the ZIP64 form: the first is small and at offset 0; the
    // others are large or lie beyond the threshold.
    const struct {
        const char* Name;
        QByteArray Data;
        bool Zip64;
    } entries[] = {{"[Content_Types].xml", small, false},
                   {"x/second.xml", second, zip64},
                   {"x/streamed.xml", streamed, zip64},
                   {"after.xml", small, zip64}};
    for (int i = 0; i < 4; ++i) {
        const QStringList f = lines[i].split(u' ');
        QCOMPARE(f.size(), 4);
        QCOMPARE(f[0], QString::fromLatin1(entries[i].Name));
        QCOMPARE(f[1].toLongLong(), entries[i].Data.size());
        QCOMPARE(f[2].toUInt(nullptr, 16), Crc32(entries[i].Data));
        QCOMPARE(f[3], entries[i].Zip64 ? u"zip64"_s : u"plain"_s);
    }
    // A second reader agrees.
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-tq"_s, path});
    QVERIFY(unzip.waitForFinished(60000));
    QVERIFY2(unzip.exitCode() == 0, unzip.readAll().constData());
}

QTEST_GUILESS_MAIN(TestZipWriter)
#include "tst_zipwriter.moc"
