// Picture page figures with the real window built offscreen, the "Скриншот" page shown:
//   - moving onto a record whose picture is a 12-megapixel JPEG, to the repainted window
//     and on to the photograph drawn (it is decoded on a worker), against moving onto a
//     record without a picture;
//   - holding Down over records that all have pictures (screenshots of 1920 x 1080 as PNG
//     and JPEG, every tenth a 12-megapixel photograph), each key press handled by the
//     grid and the window repainted, as key repeat does.
//   bench_pictures [RECORDS] [SIDE]   (default 100 records; SIDE: the window's width,
//                                      default 1280, its height three quarters of it)

#include "bench/benchutil.h"
#include "bench/gencatalogue.h"
#include "dbaware/dbgrid.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "pictures/image.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QApplication>
#include <QDir>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace Qt::Literals::StringLiterals;

namespace {

// A photograph-like picture: smooth gradients under fine noise, so that the JPEG
// coder works as on a real photograph rather than on flat colour.
QImage Photograph(const QSize& size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(40, 90, 160));
    sky.setColorAt(0.5, QColor(200, 180, 120));
    sky.setColorAt(1, QColor(30, 70, 30));
    p.fillRect(image.rect(), sky);
    QRandomGenerator random(seed);
    for (int i = 0; i < 400; ++i) {
        p.setBrush(QColor::fromRgb(random.generate() | 0xff000000));
        p.setPen(Qt::NoPen);
        const int w = int(random.bounded(size.width() / 6)) + 8;
        p.drawEllipse(int(random.bounded(size.width())), int(random.bounded(size.height())), w, w);
    }
    p.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(random.bounded(24)) - 12;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255),
                           qBound(0, qBlue(c) + n, 255));
        }
    }
    return image;
}

// A screenshot-like picture: flat panels, lines of text.
QImage Screenshot(const QSize& size, int index)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    QPainter p(&image);
    p.fillRect(0, 0, size.width(), 30, QColor(60, 90, 140));
    p.fillRect(0, 30, 260, size.height() - 30, QColor(250, 250, 250));
    p.setPen(Qt::black);
    for (int y = 60; y < size.height(); y += 18)
        p.drawText(280, y,
                   u"Строка %1 снимка экрана %2: текст, цифры 0123456789"_s.arg(y).arg(index));
    return image;
}

bool Save(const QImage& image, const QString& path, int quality = 90)
{
    QImageWriter writer(path);
    writer.setQuality(quality);
    return writer.write(image);
}

// CPU time of the calling thread, in ms: on a machine shared with other work the
// window's own cost, where wall-clock time also counts the waits for a processor.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall-clock time of F into WALL, the window thread's CPU time into CPU.
template <typename F> void Measure(std::vector<double>& wall, std::vector<double>& cpu, F&& f)
{
    const double before = ThreadCpuMs();
    wall.push_back(TimeMs(f));
    cpu.push_back(ThreadCpuMs() - before);
}

std::vector<double> Sorted(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

void Report(const char* what, const std::vector<double>& ms)
{
    if (ms.empty())
        return;
    const std::vector<double> s = Sorted(ms);
    std::printf("%s: median %.1f ms, 90th percentile %.1f ms, max %.1f ms (%zu runs)\n", what,
                s[s.size() / 2], s[s.size() * 9 / 10], s.back(), s.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100;
    const int side = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1280;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    const QString folder = dir.filePath(u"Images"_s);
    QDir().mkpath(folder);

    // The pictures: a 12-megapixel photograph, and screenshots as PNG and as JPEG.
    QElapsedTimer clock;
    clock.start();
    const QString photo = folder + u"/photo.jpg"_s;
    Save(Photograph(QSize(4000, 3000), 1), photo);
    const QString screenPng = folder + u"/screen.png"_s;
    const QString screenJpg = folder + u"/screen.jpg"_s;
    Save(Screenshot(QSize(1920, 1080), 0), screenPng);
    Save(Screenshot(QSize(1920, 1080), 1), screenJpg);
    std::printf("pictures: photo.jpg 4000 x 3000 (%lld KB), screen.png (%lld KB), screen.jpg "
                "(%lld KB), made in %.0f ms\n",
                QFileInfo(photo).size() / 1024, QFileInfo(screenPng).size() / 1024,
                QFileInfo(screenJpg).size() / 1024, clock.nsecsElapsed() / 1e6);

    // Each record its own file, as pictures added one by one are.
    GenerateCatalogue(path, count);
    {
        TDataModule1 dm([](const QString&) {}, Catalogue::ConnectionStringFor(path));
        TDataSet& t = dm.BookTable;
        t.Open();
        int i = 0;
        for (t.First(); !t.Eof(); t.Next(), ++i) {
            const QString source = i % 10 == 5 ? photo : i % 2 ? screenJpg : screenPng;
            const QString name = u"%1_%2"_s.arg(i).arg(QFileInfo(source).fileName());
            QFile::copy(source, folder + u'/' + name);
            t.Edit();
            t.FieldByName(u"Images"_s)->SetAsString(name);
            t.Post();
        }
    }
    std::printf("catalogue of %d records, every one with a picture\n", count);

    TTresmolApp tresmol(Catalogue::ConnectionStringFor(path));
    TForm1* form = tresmol.Form1;
    form->SetPictureFolder(folder);
    TDataSet& table = tresmol.DataModule1->BookTable;
    auto* grid = form->findChild<TDBGrid*>(u"DBGrid1"_s);
    auto* image = form->findChild<TImage*>(u"Image1"_s);
    auto* pages = form->findChild<QTabWidget*>(u"PageControl1"_s);
    form->resize(side, side * 3 / 4);
    form->show();
    form->activateWindow();
    while (!table.Active() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    pages->setCurrentIndex(2);
    grid->setFocus();
    QCoreApplication::processEvents();
    std::printf("window %d x %d, picture control %d x %d\n", form->width(), form->height(),
                image->width(), image->height());

    // What the window does after a key press: its pending paints, done now.
    const auto repaint = [&] {
        QCoreApplication::processEvents();
        image->repaint();
        grid->viewport()->repaint();
    };
    // Then, until the picture's pixels are decoded and drawn.
    const auto pictureShown = [&] {
        while (image->Decoding())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        image->repaint();
    };

    // --- moving onto the 12-megapixel photograph, and onto a record without a picture
    {
        std::vector<double> onto, plain;
        // The record before the photograph's loses its picture.
        table.First();
        for (int i = 0; i < 4; ++i)
            table.Next();
        table.Edit();
        table.FieldByName(u"Images"_s)->Clear();
        table.Post();
        table.Next();
        const int photoRow = table.RecNo();
        if (!table.FieldByName(u"Images"_s)->AsString().endsWith(u"photo.jpg"_s))
            std::printf("(record %d is not the photograph's)\n", photoRow);
        std::vector<double> drawn, ontoCpu, plainCpu, drawnCpu;
        for (int run = 0; run < 20; ++run) {
            table.Prior();
            repaint();
            table.Next();
            repaint();
            pictureShown();
            Measure(plain, plainCpu, [&] {
                table.Prior();
                repaint();
            });
            Measure(drawn, drawnCpu, [&] {
                Measure(onto, ontoCpu, [&] {
                    table.Next();
                    repaint();
                });
                pictureShown();
            });
        }
        if (table.RecNo() != photoRow)
            std::printf("(the photograph's record is not where it was)\n");
        Report("move onto the 4000 x 3000 JPEG record, to the repainted window", onto);
        Report("  the window thread's CPU time for it", ontoCpu);
        Report("move onto the 4000 x 3000 JPEG record, to the photograph drawn", drawn);
        Report("  the window thread's CPU time for it", drawnCpu);
        Report("move onto a record without a picture, to the repainted window", plain);
        Report("  the window thread's CPU time for it", plainCpu);
        // Decoding alone, at the control's size and at the picture's own size.
        const TPicture picture = TPicture::Load(photo);
        const QSize shown = image->PictureRect().size();
        std::vector<double> atShown, atShownCpu, atOwn;
        for (int run = 0; run < 10; ++run)
            Measure(atShown, atShownCpu, [&] { picture.Render(shown); });
        for (int run = 0; run < 3; ++run)
            atOwn.push_back(TimeMs([&] { picture.Render(picture.Size()); }));
        Report(qPrintable(u"decode the JPEG at %1 x %2"_s.arg(shown.width()).arg(shown.height())),
               atShown);
        Report("  its CPU time", atShownCpu);
        Report("decode the JPEG at its own 4000 x 3000 (the viewer)", atOwn);
    }

    // --- holding Down: one key press after another, each handled and repainted, with
    // the picture page shown and, for comparison, with the first page shown
    for (const int page : {2, 0}) {
        pages->setCurrentIndex(page);
        table.First();
        repaint();
        std::vector<double> steps, stepsCpu, handled, handledCpu;
        const double total = TimeMs([&] {
            for (int i = 1; i < count; ++i)
                Measure(steps, stepsCpu, [&] {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(),
                                    true);
                    Measure(handled, handledCpu, [&] { QApplication::sendEvent(grid, &press); });
                    repaint();
                });
        });
        const double last = TimeMs(pictureShown);
        const char* shown = page == 2 ? "picture page" : "first page (no picture drawn)";
        std::printf("%s:\n", shown);
        Report("  Down: the key handled (record shown, picture loaded)", handled);
        Report("    the window thread's CPU time for it", handledCpu);
        Report("  Down: the key handled and the window repainted", steps);
        Report("    the window thread's CPU time for it", stepsCpu);
        std::printf("  Down held over %d records: %.0f ms, %.0f records a second (key repeat "
                    "sends 25 to 33)\n",
                    count, total, (count - 1) / (total / 1000.0));
        if (page == 2)
            std::printf("  the last record's picture drawn %.0f ms after the last key\n", last);
        if (table.RecNo() != count)
            std::printf("  (the grid stopped at record %d)\n", table.RecNo());
    }

    form->close();
    return 0;
}
