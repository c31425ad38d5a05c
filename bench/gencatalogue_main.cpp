// Writes a generated catalogue for the benchmark scripts:
//   bench_gencatalogue OUT.mdb RECORDS [SEED]

#include "bench/gencatalogue.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gencatalogue OUT.mdb RECORDS [SEED]\n");
        return 2;
    }
    try {
        GenerateCatalogue(QFile::decodeName(argv[1]), QByteArray(argv[2]).toInt(),
                          argc > 3 ? QByteArray(argv[3]).toUInt() : 1);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_gencatalogue: %s\n", e.what());
        return 1;
    }
    return 0;
}
