// Writes a generated catalogue for the benchmark scripts.
//   gencatalogue RECORDS FILE     (FILE must not exist yet)

#include "bench/gencatalogue.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: gencatalogue RECORDS FILE\n");
        return 1;
    }
    try {
        GenerateCatalogue(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[1]).toInt());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gencatalogue: %s\n", e.what());
        return 1;
    }
    return 0;
}
