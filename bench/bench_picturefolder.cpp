// The picture folder under a harvest of many programs of one name: COUNT icons that
// all come as "setup.ico", each with its own bytes, stored one after another, then
// the same COUNT again, each found to be a file already there. The time of each
// thousand shows whether a store costs more as the clashes grow.
//   bench_picturefolder [COUNT]   (default 8000)

#include "bench/benchutil.h"
#include "store/catalogue/picturefolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 8000;
    QTemporaryDir dir;
    const auto icon = [](int i) -> QByteArray {
        return QByteArray(766, 'i') + QByteArray::number(1000000 + i);
    };
    for (const bool again : {false, true}) {
        const TPictureFolder folder(dir.filePath(u"Images"_s));
        QElapsedTimer total;
        total.start();
        QElapsedTimer thousand;
        thousand.start();
        for (int i = 0; i < count; ++i) {
            folder.StoreData(u"setup.ico"_s, icon(i), 150);
            if ((i + 1) % 1000 == 0 || i + 1 == count) {
                std::printf("%s: stores %5d..%5d: %8.1f ms\n", again ? "again" : "new  ",
                            i / 1000 * 1000 + 1, i + 1, double(thousand.nsecsElapsed()) / 1e6);
                std::fflush(stdout);
                thousand.restart();
            }
        }
        std::printf("%s: all %d: %.1f ms\n", again ? "again" : "new  ", count,
                    double(total.nsecsElapsed()) / 1e6);
    }
    return 0;
}
