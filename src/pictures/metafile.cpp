#include "pictures/metafile.h"

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <QtEndian>

#include <cstdlib>
#include <cstring>

namespace Metafile {

TSvg WmfToSvg(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    // The library reports into its own state rather than on standard error; loading
    // a picture says nothing about a bad file.
    wmfAPI_Options options;
    std::memset(&options, 0, sizeof options);
    options.function = wmf_svg_function;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        return {};
    }
    TSvg result;
    // The library reads the bytes without changing them; it only asks for a mutable
    // pointer.
    QByteArray bytes = data;
    wmfD_Rect box;
    unsigned int width = 0, height = 0;
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(bytes.data()), long(bytes.size())) ==
            wmf_E_None &&
        wmf_scan(api, 0, &box) == wmf_E_None &&
        wmf_display_size(api, &width, &height, 96, 96) == wmf_E_None && width > 0 && height > 0) {
        wmf_svg_t* svg = WMF_SVG_GetData(api);
        svg->out = wmf_stream_create(api, nullptr); // to memory
        svg->Description = const_cast<char*>("Tresmol");
        svg->bbox = box;
        svg->width = width;
        svg->height = height;
        svg->flags |= WMF_SVG_INLINE_IMAGES;
        const wmf_error_t played = wmf_play(api, 0, &box);
        char* text = nullptr;
        unsigned long length = 0;
        if (svg->out)
            wmf_stream_destroy(api, svg->out, &text, &length);
        // The text belongs to the library, which frees it with everything else below.
        if (played == wmf_E_None && text && length > 0) {
            result.Svg = QByteArray(text, qsizetype(length));
            result.NaturalSize = QSize(int(width), int(height));
        }
        wmf_mem_close(api);
    }
    result.OutOfMemory = api->err == wmf_E_InsMem;
    wmf_api_destroy(api);
    return result;
}

TSvg EmfToSvg(const QByteArray& data)
{
    // The header record: type 1, then its size, and the bounds (left, top, right,
    // bottom, inclusive) in device pixels; the signature " EMF" at byte 40.
    if (data.size() < 88 || qFromLittleEndian<quint32>(data.constData()) != 1 ||
        qFromLittleEndian<quint32>(data.constData() + 40) != 0x464D4520)
        return {};
    const auto at = [&](int offset) {
        return qFromLittleEndian<qint32>(data.constData() + offset);
    };
    const qint64 width = qint64(at(16)) - at(8) + 1;
    const qint64 height = qint64(at(20)) - at(12) + 1;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
        return {};

    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    options.nameSpace = nullptr; // plain element names, which Qt SVG reads
    options.svgDelimiter = true; // a whole document
    options.emfplus = true;
    char* text = nullptr;
    size_t length = 0;
    QByteArray bytes = data; // read only, but the library asks for a mutable pointer
    TSvg result;
    if (emf2svg(bytes.data(), size_t(bytes.size()), &text, &length, &options) && text &&
        length > 0) {
        result.Svg = QByteArray(text, qsizetype(length));
        result.NaturalSize = QSize(int(width), int(height));
    }
    std::free(text);
    return result;
}

} // namespace Metafile
