#include "codec/format_table.h"

#include "codec/avif/avif_codec.h"
#include "codec/bmp/bmp_codec.h"
#include "codec/codec_module.h"
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

// The rows of the families that live in modules forward to the module, loaded on first use.
template <CodecFamily family, uint32_t id>
Status moduleRead(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    const ModuleFormat* format = nullptr;
    if (Status s = moduleFormat(family, id, format); !s.ok()) return s;
    if (!format->read)
        return Status::failure(core::StatusCode::NoReader, "No reader for this format.");
    return format->read(bytes, out, options);
}

template <CodecFamily family, uint32_t id>
Status moduleWrite(const Picture& picture, std::vector<uint8_t>& out) {
    const ModuleFormat* format = nullptr;
    if (Status s = moduleFormat(family, id, format); !s.ok()) {
        if (s.reason.starts_with("The reader for this format"))
            s.reason.replace(0, 26, "The writer for this format");
        return s;
    }
    if (!format->write)
        return Status::failure(core::StatusCode::NoReader, "No writer for this format.");
    return format->write(picture, out);
}

constexpr CodecFamily kMagick = CodecFamily::Magick, kMetafile = CodecFamily::Metafile,
                      kHeif = CodecFamily::Heif, kAvif = CodecFamily::Avif,
                      kWebp = CodecFamily::Webp, kJxl = CodecFamily::Jxl;

// Sniffing order: long or fixed-offset signatures first (AVIF before HEIF: AVIF files name the
// HEIF brand "mif1" too); PCX (one leading byte), Targa (no signature at all) and WBMP (two
// zero bytes) last, so they never shadow a specific format.
// Variant ids share their family's reader and writer and have no probe of their own. Camera raw
// has no row: automatic loading tries it first, through rawDecoderHook().
const FormatEntry kTable[] = {
    {kFormatJpeg, "JPEG", {"jpg", "jpeg"}, probeJpeg, classifyJpeg, readJpeg, writeJpeg},
    {kFormatPng, "PNG", {"png"}, probePng, classifyPng, readPng, writePng},
    {kFormatTiff, "TIFF", {"tif", "tiff"}, probeTiff, classifyTiff, readTiff, writeTiff},
    {kFormatWebp,
     "WebP",
     {"webp"},
     probeWebp,
     nullptr,
     moduleRead<kWebp, kFormatWebp>,
     moduleWrite<kWebp, kFormatWebp>},
    {kFormatAvif,
     "AVIF",
     {"avif"},
     probeAvif,
     nullptr,
     moduleRead<kAvif, kFormatAvif>,
     moduleWrite<kAvif, kFormatAvif>},
    {kFormatHeif,
     "HEIF",
     {"heic", "heif", "hif"},
     probeHeif,
     nullptr,
     moduleRead<kHeif, kFormatHeif>,
     nullptr},
    {kFormatJxl,
     "JPEG XL",
     {"jxl"},
     probeJxl,
     nullptr,
     moduleRead<kJxl, kFormatJxl>,
     moduleWrite<kJxl, kFormatJxl>},
    {kFormatPhotoCd,
     "PhotoCD",
     {},
     probePhotoCd,
     magickFormatId,
     moduleRead<kMagick, kFormatPhotoCd>,
     nullptr},
    {kFormatPsd,
     "Photoshop",
     {"psd"},
     probePsd,
     magickFormatId,
     moduleRead<kMagick, kFormatPsd>,
     moduleWrite<kMagick, kFormatPsd>},
    {kFormatBmp, "BMP", {"bmp"}, probeBmp, bmpFormatId, moduleRead<kMagick, kFormatBmp>, writeBmp},
    {kFormatEmf,
     "Enhanced Metafile",
     {"emf"},
     probeEmf,
     nullptr,
     moduleRead<kMetafile, kFormatEmf>,
     moduleWrite<kMetafile, kFormatEmf>},
    {kFormatWmf,
     "Windows Metafile",
     {"wmf"},
     probeWmf,
     nullptr,
     moduleRead<kMetafile, kFormatWmf>,
     moduleWrite<kMetafile, kFormatWmf>},
    {kFormatPcx,
     "PCX",
     {"pcx"},
     probePcx,
     magickFormatId,
     moduleRead<kMagick, kFormatPcx>,
     moduleWrite<kMagick, kFormatPcx>},
    {kFormatTarga,
     "Targa",
     {"tga"},
     probeTarga,
     magickFormatId,
     moduleRead<kMagick, kFormatTarga>,
     moduleWrite<kMagick, kFormatTarga>},
    {kFormatWbmp,
     "WBMP",
     {"wbmp", "wbm"},
     probeWbmp,
     magickFormatId,
     moduleRead<kMagick, kFormatWbmp>,
     moduleWrite<kMagick, kFormatWbmp>},
    // Variants: the depth a reader delivered; their writers write palette and 1-bit pictures
    // where the family can. A greyscale JPEG has no writer of its own.
    {kFormatJpegGrey, "JPEG greyscale", {}, nullptr, nullptr, readJpeg, nullptr},
    {kFormatPng8, "PNG palette", {}, nullptr, nullptr, readPng, writePng},
    {kFormatPng1, "PNG 1-bit", {}, nullptr, nullptr, readPng, writePng},
    {kFormatTiff8, "TIFF 8-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatTiff1, "TIFF 1-bit", {}, nullptr, nullptr, readTiff, writeTiff},
    {kFormatBmp8, "BMP 8-bit", {}, nullptr, nullptr, moduleRead<kMagick, kFormatBmp>, writeBmp},
    {kFormatBmp1, "BMP 1-bit", {}, nullptr, nullptr, moduleRead<kMagick, kFormatBmp>, writeBmp},
    {kFormatPcx8,
     "PCX 8-bit",
     {},
     nullptr,
     nullptr,
     moduleRead<kMagick, kFormatPcx>,
     moduleWrite<kMagick, kFormatPcx>},
    {kFormatTarga8,
     "Targa 8-bit",
     {},
     nullptr,
     nullptr,
     moduleRead<kMagick, kFormatTarga>,
     moduleWrite<kMagick, kFormatTarga>},
    {kFormatPsd8,
     "Photoshop 8-bit",
     {},
     nullptr,
     nullptr,
     moduleRead<kMagick, kFormatPsd>,
     moduleWrite<kMagick, kFormatPsd>},
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

uint32_t sniffFormat(ByteSpan bytes, std::string_view path) {
    for (const FormatEntry& row : kTable) {
        if (row.probe && row.probe(bytes)) return row.id;
    }
    return formatFromExtension(path);
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
