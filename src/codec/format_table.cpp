#include "codec/format_table.h"

#include "codec/avif/avif_codec.h"
#include "codec/bmp/bmp_codec.h"
#include "codec/heif/heif_codec.h"
#include "codec/jpeg/jpeg_codec.h"
#include "codec/jxl/jxl_codec.h"
#include "codec/magick/magick_codec.h"
#include "codec/metafile/metafile_codec.h"
#include "codec/png/png_codec.h"
#include "codec/raw/raw_codec.h"
#include "codec/tiff/tiff_codec.h"
#include "codec/webp/webp_codec.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace velanox::codec {
namespace {

// Sniffing order: long or fixed-offset signatures first (AVIF before HEIF: AVIF files name the
// HEIF brand "mif1" too); PCX (one leading byte), Targa (no signature at all) and WBMP (two
// zero bytes) last, so they never shadow a specific format.
// Variant ids share their family's reader and writer and have no probe of their own. Camera raw
// has no row: automatic loading tries it first, through rawDecoderHook().
const FormatEntry kTable[] = {
    {kFormatJpeg, "JPEG", {"jpg", "jpeg"}, probeJpeg, classifyJpeg, readJpeg, writeJpeg},
    {kFormatPng, "PNG", {"png"}, probePng, classifyPng, readPng, writePng},
    {kFormatTiff, "TIFF", {"tif", "tiff"}, probeTiff, classifyTiff, readTiff, writeTiff},
    {kFormatWebp, "WebP", {"webp"}, probeWebp, nullptr, readWebp, writeWebp},
    {kFormatAvif, "AVIF", {"avif"}, probeAvif, nullptr, readAvif, writeAvif},
    {kFormatHeif, "HEIF", {"heic", "heif", "hif"}, probeHeif, nullptr, readHeif, nullptr},
    {kFormatJxl, "JPEG XL", {"jxl"}, probeJxl, nullptr, readJxl, writeJxl},
    {kFormatPhotoCd, "PhotoCD", {}, probePhotoCd, magickFormatId, readPhotoCd, nullptr},
    {kFormatPsd, "Photoshop", {"psd"}, probePsd, magickFormatId, readPsd, writePsd},
    {kFormatBmp, "BMP", {"bmp"}, probeBmp, bmpFormatId, readBmp, writeBmp},
    {kFormatEmf, "Enhanced Metafile", {"emf"}, probeEmf, nullptr, readEmf, writeEmf},
    {kFormatWmf, "Windows Metafile", {"wmf"}, probeWmf, nullptr, readWmf, writeWmf},
    {kFormatPcx, "PCX", {"pcx"}, probePcx, magickFormatId, readPcx, writePcx},
    {kFormatTarga, "Targa", {"tga"}, probeTarga, magickFormatId, readTarga, writeTarga},
    {kFormatWbmp, "WBMP", {"wbmp", "wbm"}, probeWbmp, magickFormatId, readWbmp, writeWbmp},
    // Variants: the depth a reader delivered; their writers write palette and 1-bit pictures
    // where the family can. A greyscale JPEG has no writer of its own.
    {kFormatJpegGrey, "JPEG greyscale", {}, nullptr, nullptr, readJpeg, nullptr},
    {kFormatPng8, "PNG palette", {}, nullptr, nullptr, readPng, writePng},
    {kFormatPng1, "PNG 1-bit", {}, nullptr, nullptr, readPng, writePng},
    {kFormatTiff8, "TIFF 8-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatTiff1, "TIFF 1-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatBmp8, "BMP 8-bit", {}, nullptr, nullptr, readBmp, writeBmp},
    {kFormatBmp1, "BMP 1-bit", {}, nullptr, nullptr, readBmp, writeBmp},
    {kFormatPcx8, "PCX 8-bit", {}, nullptr, nullptr, readPcx, writePcx},
    {kFormatTarga8, "Targa 8-bit", {}, nullptr, nullptr, readTarga, writeTarga},
    {kFormatPsd8, "Photoshop 8-bit", {}, nullptr, nullptr, readPsd, writePsd},
};

std::string lowerExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The row's id refined by its classifier; the row's own id when the classifier cannot tell.
uint32_t classified(const FormatEntry& row, ByteSpan bytes) {
    if (!row.classify) return row.id;
    const uint32_t id = row.classify(bytes);
    return id == kFormatAuto ? row.id : id;
}

} // namespace

std::span<const FormatEntry> formatTable() {
    return kTable;
}

const FormatEntry* formatEntry(uint32_t id) {
    for (const FormatEntry& row : kTable)
        if (row.id == id) return &row;
    return nullptr;
}

RawDecoderHook& rawDecoderHook() {
    static RawDecoderHook hook{probeRaw, readRaw};
    return hook;
}

uint32_t formatFromExtension(std::string_view path) {
    const std::string ext = lowerExtension(path);
    if (ext.empty()) return kFormatAuto;
    for (const FormatEntry& row : kTable)
        for (std::string_view e : row.extensions)
            if (!e.empty() && e == ext) return row.id;
    return kFormatAuto;
}

bool hasModernFormatExtension(std::string_view path) {
    const uint32_t id = formatFromExtension(path);
    return id == kFormatHeif || id == kFormatAvif || id == kFormatWebp || id == kFormatJxl;
}

uint32_t detectFormat(ByteSpan bytes, std::string_view path) {
    for (const FormatEntry& row : kTable) {
        if (row.probe && row.probe(bytes)) return classified(row, bytes);
    }
    const FormatEntry* row = formatEntry(formatFromExtension(path));
    if (!row) return kFormatAuto;
    return classified(*row, bytes);
}

} // namespace velanox::codec
