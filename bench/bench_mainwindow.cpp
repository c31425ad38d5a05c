// Main window figures on a large generated catalogue, with the real window built
// offscreen: start to the first painted grid, a search typed character by character
// (each one re-filters and repaints), each of the six sorts, scrolling the grid, and
// files harvested into the open window as a scan does (each file posted, then painted).
//   bench_mainwindow [RECORDS] [FILE] [CATALOGUE]    (default 100000; FILE is harvested,
//                                         by default this program itself; a CATALOGUE made
//                                         beforehand by bench_gencatalogue is copied
//                                         instead of made)

#include "bench/benchutil.h"
#include "bench/gencatalogue.h"
#include "dbaware/dbgrid.h"
#include "harvest/harvestfile.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/search.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// Notes when the grid's cells have been painted.
class TPaintWatch : public QObject {
public:
    bool Painted = false;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            Painted = true;
        return QObject::eventFilter(o, e);
    }
};

TPaintWatch* Watch = nullptr;

// Lets the window do what the change asked for, up to a painted grid: painted once,
// by the window's own update when it asked for one, else here.
void PaintNow(QWidget* viewport)
{
    Watch->Painted = false;
    QCoreApplication::processEvents();
    if (!Watch->Painted)
        viewport->repaint();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    if (argc > 3) {
        if (!QFile::copy(QString::fromLocal8Bit(argv[3]), path)) {
            std::fprintf(stderr, "cannot copy %s\n", argv[3]);
            return 1;
        }
    } else {
        GenerateCatalogue(path, count);
    }
    std::printf("catalogue of %d records\n", count);

    // --- start to the first painted grid
    TPaintWatch watch;
    Watch = &watch;
    QElapsedTimer clock;
    clock.start();
    const double cpuAtStart = ProcessCpuMs();
    TTresmolApp tresmol(Catalogue::ConnectionStringFor(path));
    TForm1* form = tresmol.Form1;
    TDataSet& table = tresmol.DataModule1->BookTable;
    // The window's parts, by their names.
    struct {
        TDBGrid* DBGrid1;
        QLineEdit* Edit1;
        QAction *ActFirst, *N24, *N23, *N34, *N25, *N26, *N27;
    } ui{form->findChild<TDBGrid*>(u"DBGrid1"_s),  form->findChild<QLineEdit*>(u"Edit1"_s),
         form->findChild<QAction*>(u"ActFirst"_s), form->findChild<QAction*>(u"N24"_s),
         form->findChild<QAction*>(u"N23"_s),      form->findChild<QAction*>(u"N34"_s),
         form->findChild<QAction*>(u"N25"_s),      form->findChild<QAction*>(u"N26"_s),
         form->findChild<QAction*>(u"N27"_s)};
    QWidget* viewport = ui.DBGrid1->viewport();
    viewport->installEventFilter(&watch);
    form->resize(1600, 1000);
    form->show();
    form->activateWindow();
    while (!(watch.Painted && table.Active() && ui.DBGrid1->model()->rowCount() > 0) &&
           clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double start = clock.nsecsElapsed() / 1e6;
    // The CPU time of every thread, which a machine busy with other work disturbs less.
    std::printf("start to first painted grid: %.0f ms, %.0f ms of CPU (%d rows)\n", start,
                ProcessCpuMs() - cpuAtStart, ui.DBGrid1->model()->rowCount());

    // --- scrolling: a page at a time, each repainted
    {
        QScrollBar* bar = ui.DBGrid1->verticalScrollBar();
        std::vector<double> pages;
        for (int i = 0; i < 50; ++i)
            pages.push_back(TimeMs([&] {
                bar->setValue(bar->value() + bar->pageStep());
                PaintNow(viewport);
            }));
        const double jump = TimeMs([&] {
            bar->setValue(bar->maximum() / 2);
            PaintNow(viewport);
        });
        std::printf("scroll a page: median %.2f ms, max %.2f ms; jump to the middle %.2f ms\n",
                    Median(pages), *std::max_element(pages.begin(), pages.end()), jump);
        ui.ActFirst->trigger();
        PaintNow(viewport);
    }

    // --- search typed character by character, then deleted
    {
        const int nameField = table.FieldByName(u"ProductName"_s)->Index();
        const QString name = table.ViewText(count / 3, nameField);
        const QString text = name.left(6);
        std::vector<double> typed, erased;
        for (int i = 1; i <= text.size(); ++i)
            typed.push_back(TimeMs([&] {
                ui.Edit1->setText(text.left(i));
                PaintNow(viewport);
            }));
        std::printf("search \"%s\": rows shown after the last character %d\n", qPrintable(text),
                    ui.DBGrid1->model()->rowCount());
        for (int i = int(text.size()) - 1; i >= 0; --i)
            erased.push_back(TimeMs([&] {
                ui.Edit1->setText(text.left(i));
                PaintNow(viewport);
            }));
        std::printf("search, per typed character: median %.1f ms, max %.1f ms\n", Median(typed),
                    *std::max_element(typed.begin(), typed.end()));
        std::printf("search, per deleted character: median %.1f ms, max %.1f ms (last one shows "
                    "all %d rows)\n",
                    Median(erased), *std::max_element(erased.begin(), erased.end()),
                    ui.DBGrid1->model()->rowCount());
    }

    // --- the six sorts
    {
        QAction* items[] = {ui.N24, ui.N23, ui.N34, ui.N25, ui.N26, ui.N27};
        for (int i = 0; i < 6; ++i) {
            const double ms = TimeMs([&] {
                items[i]->trigger();
                PaintNow(viewport);
            });
            std::printf("sort by %-14s %.0f ms\n",
                        qPrintable(Search::SortKeys().at(i).Caption + u':'), ms);
        }
    }

    // --- harvest with the window open: what a scan does with the files, without the wizard
    {
        const QString file = argc > 2 && argv[2][0] ? QString::fromLocal8Bit(argv[2])
                                                    : QCoreApplication::applicationFilePath();
        ui.ActFirst->trigger();
        PaintNow(viewport);
        const int files = 1000;
        const double ms = TimeMs([&] {
            form->ScanFiles(QStringList(files, file), Harvest::THarvestOptions{});
            PaintNow(viewport);
        });
        std::printf("harvest into the open window: %d files in %.0f ms, %.0f files per second\n",
                    files, ms, files / (ms / 1000.0));
    }

    form->close();
    return 0;
}
