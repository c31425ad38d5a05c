// Fuzz entry point: any bytes as an executable image whose icon is wanted. The
// extraction must either give nothing or an .ico file whose directory describes
// exactly the bytes that follow it.

#include "harvest/bytesource.h"
#include "harvest/iconresource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TMemorySource source(image);
    const std::optional<QByteArray> icon = ReadMainIcon(source, 0x0409);
    if (!icon)
        return 0;
    // Header, entries, then each image in order and nothing after the last.
    const char* p = icon->constData();
    const quint16 count = LeU16(p + 4);
    quint64 expected = 6 + 16 * quint64(count);
    for (quint16 i = 0; i < count; ++i) {
        const char* e = p + 6 + 16 * i;
        if (LeU32(e + 12) != expected)
            std::abort();
        expected += LeU32(e + 8);
    }
    if (count == 0 || expected != quint64(icon->size()))
        std::abort();
    return 0;
}
