// tresmol-metafile wmf|emf: the metafile on standard input as SVG on standard output,
// after a first line "WIDTH HEIGHT" with its size in pixels at 96 dpi. Exit status 0
// when converted, 3 when the conversion ran out of its memory, 1 for any other
// failure, 2 for wrong arguments.
//
// The picture code runs this apart from the program, with a time limit, so that a
// metafile that sends a library into an endless loop, or through all memory, costs a
// helper process and never the window (see metafileprocess.h).

#include "pictures/metafile.h"
#include "pictures/metafileprocess.h"

#include <cstdio>
#include <cstring>

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define TRESMOL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRESMOL_ADDRESS_SANITIZER 1
#endif
#endif

int main(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "wmf") != 0 && std::strcmp(argv[1], "emf") != 0))
        return 2;
#ifndef TRESMOL_ADDRESS_SANITIZER
    // The memory budget as a limit of this process: a library that asks for more gets
    // nothing, and fails or ends. (AddressSanitizer reserves far more address space
    // than that for itself; under it the time limit alone stands.)
    const rlimit limit{rlim_t(Metafile::MemoryBudget), rlim_t(Metafile::MemoryBudget)};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    QByteArray data;
    char buffer[64 * 1024];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, stdin)) {
        if (data.size() + qsizetype(n) > Metafile::MaxFileBytes)
            return 1;
        data.append(buffer, qsizetype(n));
    }
    const Metafile::TSvg svg =
        argv[1][0] == 'w' ? Metafile::WmfToSvg(data) : Metafile::EmfToSvg(data);
    if (svg.OutOfMemory)
        return 3;
    if (svg.Svg.isEmpty() || svg.Svg.size() > Metafile::MaxSvgBytes)
        return 1;
    std::printf("%d %d\n", svg.NaturalSize.width(), svg.NaturalSize.height());
    std::fwrite(svg.Svg.constData(), 1, size_t(svg.Svg.size()), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
