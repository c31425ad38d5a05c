// Pictures: every loadable format loads at its own size and shows in a picture control
// fitted, with its proportions kept and centred; files that are not pictures of their
// extension's format, or not whole ones, load as no picture.

#include "pictures/image.h"
#include "pictures/picture.h"
#include "tests/pictures/picturefixtures.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(PICTURE_FIXTURES "/") + name; }

// The fixtures' drawing: a dark red field, a blue block in its middle third.
bool Near(QColor a, QColor b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
const QColor Red(170, 20, 30);
const QColor Blue(20, 40, 200);

// The smallest rectangle holding every pixel of IMAGE that is not BACKGROUND.
QRect Drawn(const QImage& image, QColor background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixelColor(x, y), background, 24))
                box |= QRect(x, y, 1, 1);
    return box;
}

// What IMAGE shows once its picture is decoded.
QImage Settled(TImage& image)
{
    image.grab();
    if (!QTest::qWaitFor([&] { return !image.Decoding(); }, 10000))
        qWarning("the picture was not decoded in time");
    return image.grab().toImage();
}

bool Close(const QRect& a, const QRect& b, int tolerance)
{
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
}

} // namespace

class TestPicture : public QObject {
    Q_OBJECT

private slots:
    void formats_data() { AddLoadablePictureRows(); }

    void formats()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QVERIFY(TPicture::Loadable(file));
        const TPicture picture = TPicture::Load(Fixture(file));
        QVERIFY(!picture.IsNull());
        QCOMPARE(picture.Size(), size);
        // Its own size: the field at the corners, the block in the middle.
        const QImage own = picture.Render(size);
        QCOMPARE(own.size(), size);
        const QPoint corners[] = {{2, 2},
                                  {size.width() - 3, 2},
                                  {2, size.height() - 3},
                                  {size.width() - 3, size.height() - 3}};
        for (const QPoint& p : corners)
            QVERIFY2(Near(own.pixelColor(p), Red), qPrintable(own.pixelColor(p).name()));
        const QPoint middle(size.width() / 2, size.height() / 2);
        QVERIFY2(Near(own.pixelColor(middle), Blue), qPrintable(own.pixelColor(middle).name()));
        // A fifth of the size, and three times it.
        for (const double scale : {0.2, 3.0}) {
            const QSize scaled = (QSizeF(size) * scale).toSize();
            const QImage image = picture.Render(scaled);
            QCOMPARE(image.size(), scaled);
            QVERIFY(Near(image.pixelColor(scaled.width() / 2, scaled.height() / 2), Blue));
        }
    }

    void notLoadable_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("JPEG cut off in its header") << u"damaged.jpg"_s;
        QTest::newRow("text named .jpg") << u"text.jpg"_s;
        QTest::newRow("a picture under .txt") << u"notes.txt"_s;
        QTest::newRow("PNG bytes named .bmp") << u"png-as.bmp"_s;
        QTest::newRow("missing") << u"missing.png"_s;
        QTest::newRow("a folder named .png") << u"folder.png"_s;
        QTest::newRow("empty .wmf") << u"empty.wmf"_s;
        QTest::newRow("empty .emf") << u"empty.emf"_s;
        QTest::newRow("text named .wmf") << u"text.wmf"_s;
        QTest::newRow("text named .emf") << u"text.emf"_s;
        QTest::newRow("a WMF named .emf") << u"wmf.emf"_s;
    }

    void notLoadable()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QFile::copy(Fixture(u"png.png"_s), d.filePath(u"png-as.bmp"_s));
        d.mkdir(u"folder.png"_s);
        for (const QString& f : {u"empty.wmf"_s, u"empty.emf"_s}) {
            QFile empty(d.filePath(f));
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        QFile::copy(Fixture(u"text.jpg"_s), d.filePath(u"text.wmf"_s));
        QFile::copy(Fixture(u"text.jpg"_s), d.filePath(u"text.emf"_s));
        QFile::copy(Fixture(u"wmf.wmf"_s), d.filePath(u"wmf.emf"_s));
        const QString path = QFileInfo::exists(Fixture(file)) ? Fixture(file) : d.filePath(file);
        const TPicture picture = TPicture::Load(path);
        QVERIFY(picture.IsNull());
        QVERIFY(picture.Render(QSize(10, 10)).isNull());
    }

    // A metafile cut off anywhere, or with a byte changed anywhere, loads as no picture
    // or as some picture, and never takes the program down.
    void damagedMetafiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("wmf") << u"wmf.wmf"_s;
        QTest::newRow("emf") << u"emf.emf"_s;
    }

    void damagedMetafiles()
    {
        QFETCH(QString, file);
        QFile f(Fixture(file));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        const auto load = [&](const QByteArray& bytes) {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return false;
            out.write(bytes);
            out.close();
            const TPicture picture = TPicture::Load(path);
            if (!picture.IsNull())
                picture.Render(QSize(40, 40));
            return !picture.IsNull();
        };
        int loaded = 0;
        for (qsizetype n = 0; n < good.size(); ++n)
            loaded += load(good.left(n));
        for (qsizetype i = 0; i < good.size(); ++i) {
            QByteArray changed = good;
            changed[i] = char(changed[i] ^ 0xA5);
            loaded += load(changed);
        }
        QVERIFY(load(good));
        QVERIFY(loaded < 2 * good.size());
    }

    void fileFilterOffersEveryFormat()
    {
        const QStringList entries = TPicture::FileFilter().split(u";;"_s);
        QCOMPARE(entries.size(), 9); // all together, then the eight formats
        QVERIFY(entries.first().startsWith(u"Все картинки ("_s));
        for (const QString& pattern :
             {u"*.bmp"_s, u"*.ico"_s, u"*.wmf"_s, u"*.emf"_s, u"*.jpg"_s, u"*.jpeg"_s, u"*.png"_s,
              u"*.gif"_s, u"*.webp"_s, u"*.JPG"_s}) {
            QVERIFY2(entries.first().contains(pattern), qPrintable(pattern));
            QCOMPARE(entries.mid(1).filter(pattern + u' ').size() +
                         entries.mid(1).filter(pattern + u')').size(),
                     1);
        }
    }

    void shownFittedAndCentred_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("control");
        QTest::addColumn<QRect>("expected");
        // Worked out by hand: the scale is the smaller of the two ratios of control
        // to picture, the rest of the control is shared equally on both sides.
        QTest::newRow("bmp 120x80") << u"bmp.bmp"_s << QSize(400, 300) << QRect(0, 17, 400, 267);
        QTest::newRow("ico 48x48") << u"ico.ico"_s << QSize(400, 300) << QRect(50, 0, 300, 300);
        QTest::newRow("jpg 200x100, wide")
            << u"jpeg.jpg"_s << QSize(400, 300) << QRect(0, 50, 400, 200);
        QTest::newRow("jpeg 100x200, tall")
            << u"jpeg2.jpeg"_s << QSize(400, 300) << QRect(125, 0, 150, 300);
        QTest::newRow("png 90x160, tall")
            << u"png.png"_s << QSize(400, 300) << QRect(116, 0, 169, 300);
        QTest::newRow("gif 160x120") << u"gif.gif"_s << QSize(400, 300) << QRect(0, 0, 400, 300);
        QTest::newRow("webp 150x100")
            << u"webp.webp"_s << QSize(400, 300) << QRect(0, 17, 400, 267);
        QTest::newRow("wmf 160x90, wide")
            << u"wmf.wmf"_s << QSize(400, 300) << QRect(0, 38, 400, 225);
        QTest::newRow("emf 80x160, tall")
            << u"emf.emf"_s << QSize(400, 300) << QRect(125, 0, 150, 300);
        QTest::newRow("reduced: jpg in a small control")
            << u"jpeg.jpg"_s << QSize(100, 100) << QRect(0, 25, 100, 50);
        QTest::newRow("tall png in a tall control")
            << u"png.png"_s << QSize(200, 500) << QRect(0, 72, 200, 356);
    }

    void shownFittedAndCentred()
    {
        QFETCH(QString, file);
        QFETCH(QSize, control);
        QFETCH(QRect, expected);
        TImage image;
        image.resize(control);
        const QColor background = image.palette().color(QPalette::Window);
        // Nothing drawn without a picture.
        QCOMPARE(Drawn(image.grab().toImage(), background), QRect());
        image.SetPicture(TPicture::Load(Fixture(file)));
        const QImage shot = Settled(image);
        const QRect drawn = Drawn(shot, background);
        QVERIFY2(Close(drawn, expected, 2), qPrintable(u"%1,%2 %3x%4"_s.arg(drawn.x())
                                                           .arg(drawn.y())
                                                           .arg(drawn.width())
                                                           .arg(drawn.height())));
        QVERIFY(Close(image.PictureRect(), expected, 1));
        QVERIFY(Near(shot.pixelColor(expected.center()), Blue));
        // Cleared, the control shows its background again.
        image.Clear();
        QCOMPARE(Drawn(image.grab().toImage(), background), QRect());
    }

    // A raster picture is decoded away from the window's thread: the control shows
    // nothing of it until its pixels are there, and a picture replaced before its turn
    // never shows.
    void decodedOnAWorker()
    {
        TImage image;
        image.resize(300, 200);
        const QColor background = image.palette().color(QPalette::Window);
        image.SetPicture(TPicture::Load(Fixture(u"jpeg.jpg"_s)));
        image.grab();
        QVERIFY(image.Decoding());
        image.SetPicture(TPicture::Load(Fixture(u"png.png"_s)));
        const QImage shot = Settled(image);
        QVERIFY(!image.Decoding());
        QVERIFY(Close(Drawn(shot, background), QRect(94, 0, 112, 200), 2));
        // Resized, the control asks for the new size and shows it once decoded.
        image.resize(200, 400);
        const QImage resized = Settled(image);
        QVERIFY(Close(Drawn(resized, background), QRect(0, 22, 200, 356), 2));
        // A metafile too is converted and drawn on the worker.
        image.SetPicture(TPicture::Load(Fixture(u"wmf.wmf"_s)));
        image.grab();
        QVERIFY(image.Decoding());
        QVERIFY(Close(Drawn(Settled(image), background), QRect(0, 144, 200, 112), 2));
    }

    // A metafile that holds libwmf in an endless loop: loading reads only its header,
    // the conversion is stopped at its time budget with one line on standard error,
    // nothing is drawn, and the window's thread goes on serving events meanwhile.
    void hostileMetafileNeverHoldsTheWindow()
    {
        const QString hang =
            QStringLiteral(TRESMOL_SOURCE_DIR "/fuzz/picture_regressions/hang.wmf");
        TImage image;
        image.resize(300, 200);
        const QColor background = image.palette().color(QPalette::Window);
        const TPicture picture = TPicture::Load(hang);
        QVERIFY(!picture.IsNull());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"hang\\.wmf: not shown: converting the metafile "
                                                u"took longer than 3 s$"_s));
        image.SetPicture(picture);
        image.grab();
        QVERIFY(image.Decoding());
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, &image, [&] { ++ticks; });
        timer.start(50);
        QVERIFY(QTest::qWaitFor([&] { return !image.Decoding(); }, 60000));
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QCOMPARE(Drawn(image.grab().toImage(), background), QRect());
        // The outcome is kept with the picture: drawing it again costs nothing more.
        QVERIFY(picture.Render(QSize(30, 20)).isNull());
        // The next picture shows as ever.
        image.SetPicture(TPicture::Load(Fixture(u"png.png"_s)));
        QVERIFY(!Drawn(Settled(image), background).isEmpty());
    }

    // Files or pictures too large to show are refused from their size and header,
    // before their bytes are read.
    void tooLargeIsRefused_data()
    {
        QTest::addColumn<QSize>("claimed");    // the header's width and height
        QTest::addColumn<qint64>("fileBytes"); // the file's size, holes included
        QTest::newRow("a 10 x 10 bitmap in a file of 300 MB")
            << QSize(10, 10) << qint64(300) * 1024 * 1024;
        QTest::newRow("a header of 20,000 x 6,000 pixels in a small file")
            << QSize(20000, 6000) << qint64(4096);
        QTest::newRow("within both limits") << QSize(10, 10) << qint64(4096);
    }

    void tooLargeIsRefused()
    {
        QFETCH(QSize, claimed);
        QFETCH(qint64, fileBytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"x.bmp"_s);
        // A 24-bit bitmap: file header, information header, then the rows.
        const qint64 stride = (qint64(claimed.width()) * 3 + 3) / 4 * 4;
        QByteArray header("BM");
        const auto u32 = [&](quint32 v) {
            for (int i = 0; i < 4; ++i)
                header.append(char((v >> (8 * i)) & 0xFF));
        };
        const auto u16 = [&](quint16 v) {
            header.append(char(v & 0xFF));
            header.append(char(v >> 8));
        };
        u32(quint32(qMin<qint64>(fileBytes, 0xFFFFFFFF)));
        u32(0);
        u32(54);
        u32(40);
        u32(quint32(claimed.width()));
        u32(quint32(claimed.height()));
        u16(1);
        u16(24);
        u32(0);
        u32(quint32(qMin<qint64>(stride * claimed.height(), 0xFFFFFFFF)));
        u32(2835);
        u32(2835);
        u32(0);
        u32(0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(header);
        file.write(QByteArray(int(qMin<qint64>(stride * claimed.height(), 1024)), '\x60'));
        QVERIFY(file.resize(fileBytes));
        file.close();
        const bool fits = fileBytes <= TPicture::MaxFileBytes &&
                          qint64(claimed.width()) * claimed.height() <= TPicture::MaxPixels;
        const TPicture picture = TPicture::Load(path);
        QCOMPARE(picture.IsNull(), !fits);
        if (fits)
            QCOMPARE(picture.Size(), claimed);
    }

    void clickIsReported()
    {
        TImage image;
        image.resize(50, 50);
        int clicks = 0;
        connect(&image, &TImage::Click, &image, [&] { ++clicks; });
        QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(&image, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(clicks, 1);
    }

    void copyOutlivesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"shot.jpg"_s);
        QVERIFY(QFile::copy(Fixture(u"jpeg.jpg"_s), path));
        const TPicture picture = TPicture::Load(path);
        QVERIFY(QFile::remove(path));
        const TPicture copy = picture;
        QVERIFY(Near(copy.Render(QSize(40, 20)).pixelColor(20, 10), Blue));
        const TPicture fromImage = TPicture::FromImage(picture.Render(picture.Size()));
        QCOMPARE(fromImage.Size(), QSize(200, 100));
        QVERIFY(Near(fromImage.Render(QSize(200, 100)).pixelColor(100, 50), Blue));
        QVERIFY(TPicture::FromImage(QImage()).IsNull());
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
