#include "codec/format_table.h"

#include "codec/jpeg/jpeg_codec.h"
#include "codec/png/png_codec.h"
#include "codec/tiff/tiff_codec.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace velanox::codec {
namespace {

// ---- Families built elsewhere: when one lands, enable its include and replace the nullptr
// ---- by the function named beside it.

// Camera raw (codec/raw), tried first by automatic loading.
// #include "codec/raw/raw_codec.h"
constexpr ProbeFn kProbeRaw = nullptr; // probeRaw
constexpr ReadFn kReadRaw = nullptr;   // readRaw

// BMP (codec/bmp).
// #include "codec/bmp/bmp_codec.h"
constexpr ProbeFn kProbeBmp = nullptr; // probeBmp
constexpr ReadFn kReadBmp = nullptr;   // readBmp
constexpr WriteFn kWriteBmp = nullptr; // writeBmp

// Targa, PCX, Photoshop, WBMP, PhotoCD through Magick++ (codec/magick).
// #include "codec/magick/magick_codec.h"
constexpr ProbeFn kProbeTarga = nullptr;   // probeTarga
constexpr ReadFn kReadTarga = nullptr;     // readTarga
constexpr WriteFn kWriteTarga = nullptr;   // writeTarga
constexpr ProbeFn kProbePcx = nullptr;     // probePcx
constexpr ReadFn kReadPcx = nullptr;       // readPcx
constexpr WriteFn kWritePcx = nullptr;     // writePcx
constexpr ProbeFn kProbePsd = nullptr;     // probePsd
constexpr ReadFn kReadPsd = nullptr;       // readPsd
constexpr WriteFn kWritePsd = nullptr;     // writePsd
constexpr ProbeFn kProbeWbmp = nullptr;    // probeWbmp
constexpr ReadFn kReadWbmp = nullptr;      // readWbmp
constexpr WriteFn kWriteWbmp = nullptr;    // writeWbmp
constexpr ProbeFn kProbePhotoCd = nullptr; // probePhotoCd
constexpr ReadFn kReadPhotoCd = nullptr;   // readPhotoCd

// Windows and Enhanced Metafiles (codec/metafile).
// #include "codec/metafile/metafile_codec.h"
constexpr ProbeFn kProbeWmf = nullptr; // probeWmf
constexpr ReadFn kReadWmf = nullptr;   // readWmf
constexpr WriteFn kWriteWmf = nullptr; // writeWmf
constexpr ProbeFn kProbeEmf = nullptr; // probeEmf
constexpr ReadFn kReadEmf = nullptr;   // readEmf
constexpr WriteFn kWriteEmf = nullptr; // writeEmf

// Sniffing order: long or fixed-offset signatures first; PCX (one leading byte), Targa (no
// signature at all) and WBMP (two zero bytes) last, so they never shadow a specific format.
// Variant ids share their family's reader and writer and have no probe of their own.
const FormatEntry kTable[] = {
    {kFormatJpeg, "JPEG", {"jpg", "jpeg"}, probeJpeg, classifyJpeg, readJpeg, writeJpeg},
    {kFormatPng, "PNG", {"png"}, probePng, classifyPng, readPng, writePng},
    {kFormatTiff, "TIFF", {"tif", "tiff"}, probeTiff, classifyTiff, readTiff, writeTiff},
    {kFormatPhotoCd, "PhotoCD", {}, kProbePhotoCd, nullptr, kReadPhotoCd, nullptr},
    {kFormatPsd, "Photoshop", {"psd"}, kProbePsd, nullptr, kReadPsd, kWritePsd},
    {kFormatBmp, "BMP", {"bmp"}, kProbeBmp, nullptr, kReadBmp, kWriteBmp},
    {kFormatEmf, "Enhanced Metafile", {"emf"}, kProbeEmf, nullptr, kReadEmf, kWriteEmf},
    {kFormatWmf, "Windows Metafile", {"wmf"}, kProbeWmf, nullptr, kReadWmf, kWriteWmf},
    {kFormatPcx, "PCX", {"pcx"}, kProbePcx, nullptr, kReadPcx, kWritePcx},
    {kFormatTarga, "Targa", {"tga"}, kProbeTarga, nullptr, kReadTarga, kWriteTarga},
    {kFormatWbmp, "WBMP", {"wbmp", "wbm"}, kProbeWbmp, nullptr, kReadWbmp, kWriteWbmp},
    // Variants: the depth a reader delivered; their writers write palette and 1-bit pictures
    // where the family can. A greyscale JPEG has no writer of its own.
    {kFormatJpegGrey, "JPEG greyscale", {}, nullptr, nullptr, readJpeg, nullptr},
    {kFormatPng8, "PNG palette", {}, nullptr, nullptr, readPng, writePng},
    {kFormatPng1, "PNG 1-bit", {}, nullptr, nullptr, readPng, writePng},
    {kFormatTiff8, "TIFF 8-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatTiff1, "TIFF 1-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatBmp8, "BMP 8-bit", {}, nullptr, nullptr, kReadBmp, kWriteBmp},
    {kFormatBmp1, "BMP 1-bit", {}, nullptr, nullptr, kReadBmp, kWriteBmp},
    {kFormatPcx8, "PCX 8-bit", {}, nullptr, nullptr, kReadPcx, kWritePcx},
    {kFormatTarga8, "Targa 8-bit", {}, nullptr, nullptr, kReadTarga, kWriteTarga},
    {kFormatPsd8, "Photoshop 8-bit", {}, nullptr, nullptr, kReadPsd, kWritePsd},
};

std::string lowerExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
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
    static RawDecoderHook hook{kProbeRaw, kReadRaw};
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

uint32_t detectFormat(ByteSpan bytes, std::string_view path) {
    for (const FormatEntry& row : kTable) {
        if (row.probe && row.probe(bytes)) return row.classify ? row.classify(bytes) : row.id;
    }
    const FormatEntry* row = formatEntry(formatFromExtension(path));
    if (!row) return kFormatAuto;
    return row->classify ? row->classify(bytes) : row->id;
}

} // namespace velanox::codec
