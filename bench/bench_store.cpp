// Store figures on a large generated catalogue: open with lookups, sort, switching
// the search on and off, and single-record posts.
//   bench_store [RECORDS [CATALOGUE]]    (default 100000; a CATALOGUE made beforehand by
//                                         bench_gencatalogue is copied instead of made)

#include "bench/benchutil.h"
#include "bench/gencatalogue.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/search.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    if (argc > 2) {
        if (!QFile::copy(QString::fromLocal8Bit(argv[2]), path)) {
            std::fprintf(stderr, "cannot copy %s\n", argv[2]);
            return 1;
        }
        std::printf("copied a catalogue of %d records (%.1f MB file)\n", count,
                    QFileInfo(path).size() / 1048576.0);
    } else {
        const double gen = TimeMs([&] { GenerateCatalogue(path, count); });
        std::printf("generated %d records in %.0f ms (%.1f MB file)\n", count, gen,
                    QFileInfo(path).size() / 1048576.0);
    }

    const double rssBefore = ResidentMb();
    std::unique_ptr<TDataModule1> dm;
    const double open = TimeMs([&] {
        dm = std::make_unique<TDataModule1>(nullptr, Catalogue::ConnectionStringFor(path));
        dm->BookTable.Open();
        // Read every lookup of the first screen, as the grid does when it paints.
        for (int row = 0; row < 40; ++row)
            for (int f = 0; f < dm->BookTable.FieldCount(); ++f)
                dm->BookTable.ViewText(row, f);
    });
    std::printf("open BookTable with lookups: %.1f ms, resident %.0f MB (%.0f MB for the table)\n",
                open, ResidentMb(), ResidentMb() - rssBefore);

    TDataSet& t = dm->BookTable;
    for (const TSortKey& key : Search::SortKeys())
        std::printf("sort by %-8s: %.1f ms\n", qPrintable(key.Key),
                    TimeMs([&] { t.SetSort(key.Field); }));

    std::vector<double> on, off, typing;
    for (int i = 0; i < 5; ++i) {
        on.push_back(TimeMs([&] { Search::Apply(*dm, u"Ad"_s); }));
        off.push_back(TimeMs([&] { Search::Apply(*dm, QString()); }));
    }
    std::printf("search on (\"Ad\"): median %.1f ms; off: median %.1f ms\n", Median(on),
                Median(off));
    const QString typed = u"Total Commander"_s;
    for (int n = 1; n <= typed.size(); ++n)
        typing.push_back(TimeMs([&] { Search::Apply(*dm, typed.left(n)); }));
    std::printf("typing \"%s\" char by char: median %.1f ms, worst %.1f ms\n", qPrintable(typed),
                Median(typing), *std::max_element(typing.begin(), typing.end()));
    Search::Apply(*dm, QString());

    std::vector<double> posts;
    t.SetSort(u"ProductName"_s);
    t.First();
    for (int i = 0; i < 200; ++i) {
        posts.push_back(TimeMs([&] {
            t.Edit();
            t.FieldByName(u"Label"_s)->SetAsString(u"note "_s + QString::number(i));
            t.Post();
        }));
        t.Next();
    }
    std::vector<double> inserts;
    for (int i = 0; i < 100; ++i)
        inserts.push_back(TimeMs([&] {
            t.Append();
            t.FieldByName(u"ProductName"_s)->SetAsString(u"New "_s + QString::number(i));
            t.Post();
        }));
    std::printf("post of one edited record: median %.2f ms; of a new record: median %.2f ms\n",
                Median(posts), Median(inserts));
    std::printf("peak resident memory: %.0f MB\n", ResidentMb("VmHWM:"));
    return 0;
}
