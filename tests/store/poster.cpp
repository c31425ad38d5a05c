// Posts numbered records to a catalogue, one at a time, until it is killed; after
// each post it prints how many it has posted. The crash test kills it mid-run.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    TDataModule1 dm([](const QString& m) { std::fprintf(stderr, "%s\n", qPrintable(m)); },
                    Catalogue::ConnectionStringFor(QString::fromLocal8Bit(argv[1])));
    TDataSet& t = dm.BookTable;
    t.Open();
    for (int i = 1;; ++i) {
        t.Append();
        t.FieldByName(u"ProductName"_s)->SetAsString(u"row "_s + QString::number(i));
        t.FieldByName(u"FileDescription"_s)->SetAsString(QString(200, u'ж'));
        t.Post();
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
