// Fuzz entry point: any bytes as an executable image. The reader must either
// build or throw one of its three exceptions; every query must then answer.

#include "harvest/verinfores.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const TVerInfoRes info(image, QStringLiteral("fuzz.exe"));
        for (int i = 0; i < VerInfoItemCount; ++i)
            (void)info.GetVerValue(static_cast<TVerInfoItem>(i));
        (void)info.GetLanguageName();
        (void)info.GetLangIdText();
        (void)info.GetCodePageText();
    } catch (const ENoVerInfoError&) {
    } catch (const EVerInfoError&) {
    } catch (const eNoFixeVerInfo&) {
    }
    return 0;
}
