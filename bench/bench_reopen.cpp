// Memory over a long window session: the real window, built offscreen, opens a large
// catalogue and leaves it ("Отключится") five times over. What the catalogue held must
// go back to the system each time, so resident memory after the fifth close should be
// that after the first (the aim: within 20%).
//   bench_reopen [RECORDS [CATALOGUE]]   (default 100000; a CATALOGUE made beforehand by
//                                         bench_gencatalogue is copied instead of made)

#include "bench/benchutil.h"
#include "bench/gencatalogue.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    if (argc > 2) {
        if (!QFile::copy(QString::fromLocal8Bit(argv[2]), path)) {
            std::fprintf(stderr, "cannot copy %s\n", argv[2]);
            return 1;
        }
    } else {
        GenerateCatalogue(path, count);
    }
    std::printf("catalogue of %d records; resident before the window %.0f MB\n", count,
                ResidentMb());

    TTresmolApp tresmol(Catalogue::ConnectionStringFor(path));
    TForm1* form = tresmol.Form1;
    TDataSet& table = tresmol.DataModule1->BookTable;
    form->resize(1280, 720);
    form->show();
    QCoreApplication::processEvents();

    std::vector<double> closed;
    for (int round = 1; round <= 5; ++round) {
        if (!table.Active())
            form->ActConnectExecute();
        QCoreApplication::processEvents();
        const double open = ResidentMb();
        form->ActDisconnectExecute();
        QCoreApplication::processEvents();
        closed.push_back(ResidentMb());
        std::printf("round %d: resident with the catalogue open %.0f MB, after closing %.0f MB\n",
                    round, open, closed.back());
    }
    std::printf("after the fifth close / after the first: %.2f\n", closed.back() / closed.front());
    form->close();
    return 0;
}
