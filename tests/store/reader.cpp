// Opens a catalogue with its main table read on two readers whatever its size, and
// prints every stored cell; on standard error, whether the file was found on
// read-only media and whether two readers started. Run by the tests as a user who
// may not write where the catalogue is.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/rows/dberrors.h"
#include "tests/store/tabledump.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    bool failed = false;
    TDataModule1 dm(
        [&failed](const QString& m) {
            std::fprintf(stderr, "%s\n", qPrintable(m));
            failed = true;
        },
        Catalogue::ConnectionStringFor(QString::fromLocal8Bit(argv[1])));
    if (failed)
        return 1;
    bool two = false;
    dm.ADOConnection.ReadTuning.TwoReadersFromRows = 0;
    dm.ADOConnection.ReadTuning.BetweenReaderStarts = [&two] { two = true; };
    try {
        dm.BookTable.Open();
    } catch (const EError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    const QByteArray dump = DumpTable(dm.BookTable);
    std::fwrite(dump.constData(), 1, size_t(dump.size()), stdout);
    std::fprintf(stderr, "%s, %s\n",
                 dm.ADOConnection.ReadOnlyMedia() ? "read-only media" : "writable",
                 two ? "two readers" : "one reader");
    return 0;
}
