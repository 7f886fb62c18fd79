#include "codec/jpeg/jpeg_codec.h"

#include "codec/exif/exif_summary.h"
#include "codec/icc/icc_profile.h"
#include "codec/library_reason.h"
#include "codec/orientation.h"
#include "engine/threads.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

namespace velanox::codec {
namespace {

constexpr int kApp1 = JPEG_APP0 + 1;
constexpr int kApp2 = JPEG_APP0 + 2;

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// setjmp of the call in progress. Warnings that mean the picture is damaged (data missing or
// out of step) end the read too, rather than delivering a picture padded with grey.
struct ErrorManager {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
        onError(cinfo);
    default:
        ++cinfo->err->num_warnings; // harmless: extraneous bytes, odd markers
    }
}

void quietOutput(j_common_ptr) {}

// The reason of a read that libjpeg stopped: the damage warnings that end a read in this
// program's words, libjpeg's errors in its own without the library's jargon around them.
std::string readFailureReason(const ErrorManager& err) {
    switch (err.base.msg_code) {
    case JWRN_JPEG_EOF:
        return truncatedReason("JPEG file");
    case JWRN_HIT_MARKER:
        return "JPEG file: the image data is damaged or incomplete.";
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
        return damagedDataReason("JPEG file");
    default:
        return libraryReason("JPEG file", err.message);
    }
}

void installErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    err.base.output_message = quietOutput;
}

// All state of one decode lives here, reached through a reference, so nothing the decode
// changes sits in a register when libjpeg jumps back.
struct Decoder {
    ErrorManager err;
    jpeg_decompress_struct cinfo{};
    bool created = false;
    std::vector<uint8_t> row;
    std::vector<uint8_t> profile;         // the colour profile the file carries
    std::optional<CmykToSrgb> cmykToSrgb; // a CMYK picture with its profile
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

bool isExifSegment(const jpeg_saved_marker_ptr m) {
    return m->marker == kApp1 && m->data_length > 8 && std::memcmp(m->data, "Exif", 4) == 0;
}

// Adobe writes CMYK inverted (0 is full ink); other writers store ink directly.
void cmykRowToRgb(const uint8_t* in, uint8_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned c = inverted ? in[0] : 255u - in[0];
        const unsigned m = inverted ? in[1] : 255u - in[1];
        const unsigned y = inverted ? in[2] : 255u - in[2];
        const unsigned k = inverted ? in[3] : 255u - in[3];
        out[0] = uint8_t((c * k + 127) / 255);
        out[1] = uint8_t((m * k + 127) / 255);
        out[2] = uint8_t((y * k + 127) / 255);
    }
}

// The profile the APP2 chunks carry, joined; empty when there is none or the chunks disagree.
std::vector<uint8_t> readProfile(const jpeg_decompress_struct& cinfo, const Limits& limits) {
    std::vector<ByteSpan> chunks;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == kApp2) chunks.push_back({m->data, m->data_length});
    return joinJpegIccChunks(chunks, limits.maxProfileBytes);
}

// A CMYK row to RGB: through the file's profile when it has one LittleCMS can use, else the
// plain conversion.
void cmykRowToRgb(const Decoder& d, const uint8_t* in, uint8_t* out, JDIMENSION width) {
    if (d.cmykToSrgb && *d.cmykToSrgb)
        d.cmykToSrgb->convert(in, width, out);
    else
        cmykRowToRgb(in, out, width, d.cinfo.saw_Adobe_marker);
}

// ---- a sequential picture decoded in two bands at once ------------------------------------------
//
// The entropy-coded data of a sequential JPEG can only be read from its start, but what follows
// (the inverse DCT, upsampling, colour conversion) is most of a decode's time. A second decoder
// therefore reads the rows above its band without making them (jpeg_skip_scanlines) and decodes
// the rest of the picture while the first decodes the top: the same library, the same settings,
// the same rows. When no second thread has started on the lower band by the time the first
// decoder reaches it (the pool busy with another caller, or the other core with another
// program), the first decoder goes on through it alone.

// Pictures from this many pixels on are decoded in two bands when two threads are free.
constexpr double kBandedPixels = 4e6;
// The share of the rows the first band takes: the second also reads through the first's data.
constexpr double kFirstBandShare = 0.6;

// Who decodes the rows from the split on.
enum LowerBand : int { kUnclaimed, kSecondDecoder, kFirstDecoder };

// Band 0 (rows from the top to `split`, and on to the end if it can claim the lower band) or
// band 1 (the rows from `split` on, if it can claim them) of the picture into pixels (rows
// `stride` bytes apart), with a decoder of its own; false on any error or warning the decode
// treats as one.
bool decodeBand(ByteSpan bytes, J_COLOR_SPACE space, int band, JDIMENSION split,
                std::atomic<int>& lower, uint8_t* pixels, std::size_t stride) {
    int unclaimed = kUnclaimed;
    if (band == 1 && !lower.compare_exchange_strong(unclaimed, kSecondDecoder)) return true;
    Decoder d;
    installErrorManager(d.err);
    d.cinfo.err = &d.err.base;
    if (setjmp(d.err.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_decompress_struct& cinfo = d.cinfo;
    jpeg_mem_src(&cinfo, bytes.data, static_cast<unsigned long>(bytes.size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
    cinfo.out_color_space = space;
    jpeg_start_decompress(&cinfo);
    if (band == 1 && jpeg_skip_scanlines(&cinfo, split) != split) return false;
    auto readTo = [&](JDIMENSION end) {
        while (cinfo.output_scanline < end) {
            JSAMPROW rows[1] = {pixels + std::size_t(cinfo.output_scanline) * stride};
            if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
        }
        return true;
    };
    if (band == 0) {
        if (!readTo(split)) return false;
        unclaimed = kUnclaimed;
        if (!lower.compare_exchange_strong(unclaimed, kFirstDecoder)) return true;
    }
    if (!readTo(cinfo.output_height)) return false;
    jpeg_finish_decompress(&cinfo);
    return true;
}

// Decodes the whole picture into out in two bands on two threads, when it is a large sequential
// RGB or greyscale picture decoded at full size and two threads are free; false (out's rows in
// an unspecified state) otherwise or on any error, the caller then decoding it whole.
bool decodeInBands(ByteSpan bytes, const jpeg_decompress_struct& cinfo, Picture& out) {
    const JDIMENSION height = cinfo.output_height;
    if (engine::maxThreads() < 2 || cinfo.progressive_mode || cinfo.scale_denom != 1 ||
        (cinfo.out_color_space != JCS_RGB && cinfo.out_color_space != JCS_GRAYSCALE) ||
        double(cinfo.output_width) * height < kBandedPixels)
        return false;
    // The split falls on a row of MCUs, where skipping is cheapest.
    const JDIMENSION group = JDIMENSION(cinfo.max_v_samp_factor) * DCTSIZE;
    const JDIMENSION split = JDIMENSION(height * kFirstBandShare) / group * group;
    if (split == 0 || split >= height) return false;
    std::atomic<int> lower{kUnclaimed};
    bool ok[2] = {false, false};
    engine::parallelFor(2, 1, 2, [&](int64_t first, int64_t end, int) {
        for (int64_t band = first; band < end; ++band)
            ok[band] = decodeBand(bytes, cinfo.out_color_space, int(band), split, lower,
                                  out.pixels(), out.rowBytes());
    });
    return ok[0] && ok[1];
}

Status decode(Decoder& d, ByteSpan bytes, Picture& out, const ReadOptions& options) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    jpeg_mem_src(&cinfo, bytes.data, static_cast<unsigned long>(bytes.size));
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m)
        jpeg_save_markers(&cinfo, JPEG_APP0 + m, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return Status::failure(StatusCode::Corrupt, "The JPEG file holds no picture.");
    if (Status s = checkSize(cinfo.image_width, cinfo.image_height, options.limits); !s.ok())
        return s;
    out.info.fileWidth = int32_t(cinfo.image_width);
    out.info.fileHeight = int32_t(cinfo.image_height);

    // The last Exif APP1 segment is kept whole, with its marker and length bytes.
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (!isExifSegment(m)) continue;
        const std::size_t length = std::size_t(m->data_length) + 2;
        out.info.exifBlock.assign({0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF)});
        out.info.exifBlock.insert(out.info.exifBlock.end(), m->data, m->data + m->data_length);
    }
    if (!out.info.exifBlock.empty()) {
        readExifSummary(out.info.exifBlock.data() + 4, out.info.exifBlock.size() - 4,
                        out.info.exif);
        if (out.info.exif.orientation >= 1 && out.info.exif.orientation <= 8)
            out.info.orientation = out.info.exif.orientation;
    }

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // An RGB picture keeps its profile; a CMYK one is converted through its profile to sRGB,
    // and needs none after that. Profiles that do not fit the pixels are dropped.
    d.profile = readProfile(cinfo, options.limits);
    const ByteSpan profile{d.profile.data(), d.profile.size()};
    if (cmyk) d.cmykToSrgb.emplace(profile, cinfo.saw_Adobe_marker);
    if (!cmyk && !grey && isRgbProfile(profile)) out.info.iccProfile = d.profile;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom =
        unsigned(jpegReductionFactor(out.info.fileWidth, out.info.fileHeight,
                                     options.previewMaxWidth, options.previewMaxHeight));
    jpeg_start_decompress(&cinfo);

    if (!out.allocate(int32_t(cinfo.output_width), int32_t(cinfo.output_height), grey ? 8 : 24)
             .ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    if (cmyk) d.row.resize(std::size_t(cinfo.output_width) * 4);
    const std::size_t stride = out.rowBytes();
    const bool banded = decodeInBands(bytes, cinfo, out);
    while (!banded && cinfo.output_scanline < cinfo.output_height) {
        uint8_t* target = out.pixels() + std::size_t(cinfo.output_scanline) * stride;
        JSAMPROW rows[1] = {cmyk ? d.row.data() : target};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1)
            return Status::failure(StatusCode::Corrupt, "The JPEG data ends early.");
        if (cmyk) cmykRowToRgb(d, d.row.data(), target, cinfo.output_width);
    }
    if (!banded) jpeg_finish_decompress(&cinfo);

    if (grey) {
        for (int i = 0; i < 256; ++i) {
            const uint8_t v = uint8_t(i);
            out.palette[std::size_t(i)] = {v, v, v, v};
        }
        out.paletteSize = 256;
    }
    out.info.format = grey ? kFormatJpegGrey : kFormatJpeg;
    out.info.xResolution = cinfo.X_density;
    out.info.yResolution = cinfo.Y_density;
    out.info.resolutionUnit = cinfo.density_unit == 1 ? 2 : cinfo.density_unit == 2 ? 3 : 1;
    return Status::success();
}

// A growing std::vector as libjpeg's destination.
struct VectorDestination {
    jpeg_destination_mgr pub{};
    std::vector<uint8_t>* out = nullptr;
};

void initDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    try {
        dest->out->resize(64 * 1024);
    } catch (const std::bad_alloc&) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    dest->pub.next_output_byte = dest->out->data();
    dest->pub.free_in_buffer = dest->out->size();
}

boolean emptyDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    try {
        dest->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    dest->pub.next_output_byte = dest->out->data() + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

struct EncodeSettings {
    int quality = 75;
    bool fullChroma = true;
    bool progressive = false;
    uint8_t densityUnit = 0; // JFIF: 0 none, 1 per inch, 2 per centimetre
    uint16_t xDensity = 300, yDensity = 300;
    const uint8_t* app1 = nullptr; // APP1 payload without marker and length bytes
    std::size_t app1Size = 0;
    std::vector<std::vector<uint8_t>> app2; // the colour profile's chunks, after the EXIF
};

struct Encoder {
    ErrorManager err;
    jpeg_compress_struct cinfo{};
    VectorDestination dest;
    bool created = false;
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

void encode(Encoder& e, const uint8_t* rgb, int32_t width, int32_t height,
            const EncodeSettings& settings) {
    jpeg_compress_struct& cinfo = e.cinfo;
    e.dest.pub.init_destination = initDestination;
    e.dest.pub.empty_output_buffer = emptyDestination;
    e.dest.pub.term_destination = termDestination;
    cinfo.dest = &e.dest.pub;
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(settings.quality, 1, 100), TRUE);
    if (settings.fullChroma) {
        for (int c = 0; c < cinfo.num_components; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    if (settings.progressive) jpeg_simple_progression(&cinfo);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = settings.densityUnit;
    cinfo.X_density = settings.xDensity;
    cinfo.Y_density = settings.yDensity;
    jpeg_start_compress(&cinfo, TRUE);
    if (settings.app1 && settings.app1Size > 0)
        jpeg_write_marker(&cinfo, kApp1, settings.app1, unsigned(settings.app1Size));
    for (const std::vector<uint8_t>& chunk : settings.app2)
        jpeg_write_marker(&cinfo, kApp2, chunk.data(), unsigned(chunk.size()));
    const std::size_t stride = std::size_t(width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row[1] = {const_cast<JSAMPROW>(rgb + std::size_t(cinfo.next_scanline) * stride)};
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
}

Status encodeJpeg(const uint8_t* rgb, int32_t width, int32_t height, const EncodeSettings& settings,
                  std::vector<uint8_t>& out) {
    if (!rgb || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION ||
        height > JPEG_MAX_DIMENSION)
        return Status::failure(StatusCode::Unsupported, "JPEG cannot hold a picture of this size.");
    Encoder e;
    e.dest.out = &out;
    installErrorManager(e.err);
    e.cinfo.err = &e.err.base;
    if (setjmp(e.err.jump)) {
        out.clear();
        return Status::failure(e.err.base.msg_code == JERR_OUT_OF_MEMORY ? StatusCode::OutOfMemory
                                                                         : StatusCode::WriteFailed,
                               libraryReason("JPEG file", e.err.message));
    }
    jpeg_create_compress(&e.cinfo);
    e.created = true;
    encode(e, rgb, width, height, settings);
    return Status::success();
}

uint16_t densityValue(uint32_t value) {
    return uint16_t(std::clamp<uint32_t>(value, 1, 65535));
}

} // namespace

bool probeJpeg(ByteSpan bytes) {
    return bytes.data && bytes.size >= 3 && bytes.data[0] == 0xFF && bytes.data[1] == 0xD8 &&
           bytes.data[2] == 0xFF;
}

uint32_t classifyJpeg(ByteSpan bytes) {
    if (!probeJpeg(bytes)) return kFormatJpeg;
    Decoder d;
    installErrorManager(d.err);
    d.cinfo.err = &d.err.base;
    if (setjmp(d.err.jump)) return kFormatJpeg;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_mem_src(&d.cinfo, bytes.data, static_cast<unsigned long>(bytes.size));
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) return kFormatJpeg;
    return d.cinfo.num_components == 1 ? kFormatJpegGrey : kFormatJpeg;
}

int jpegReductionFactor(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight) {
    if (maxWidth <= 0 || maxHeight <= 0) return 1;
    for (int factor : {8, 4, 2})
        if (maxWidth < width / factor && maxHeight < height / factor) return factor;
    return 1;
}

Status readJpeg(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (!probeJpeg(bytes)) return Status::failure(StatusCode::Corrupt, "Not a JPEG file.");
    Decoder d;
    installErrorManager(d.err);
    d.cinfo.err = &d.err.base;
    Status status;
    if (setjmp(d.err.jump)) {
        status = Status::failure(StatusCode::Corrupt, readFailureReason(d.err));
    } else {
        jpeg_create_decompress(&d.cinfo);
        d.created = true;
        status = decode(d, bytes, out, options);
    }
    if (status.ok() && out.info.orientation != 1) {
        if (Status turned = out.applyOrientation(out.info.orientation);
            turned.code == StatusCode::OutOfMemory)
            status = std::move(turned);
        if (orientationSwapsAxes(out.info.orientation))
            std::swap(out.info.fileWidth, out.info.fileHeight);
    }
    if (!status.ok()) out.release();
    return status;
}

Status writeJpeg(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels() || picture.bitsPerPixel != 24)
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit pictures are written as JPEG.");
    EncodeSettings settings;
    settings.quality = int(std::min<uint32_t>(picture.writeOptions.get(kQuality), 100));
    settings.fullChroma = picture.writeOptions.get(kJpegFullChroma) == 1;
    settings.progressive = picture.writeOptions.get(kJpegProgressive) != 0;
    const SaveResolution resolution = saveResolution(picture.writeOptions);
    settings.densityUnit = resolution.unit == 2 ? 1 : resolution.unit == 3 ? 2 : 0;
    settings.xDensity = densityValue(resolution.x);
    settings.yDensity = densityValue(resolution.y);

    settings.app2 =
        splitJpegIccChunks({picture.info.iccProfile.data(), picture.info.iccProfile.size()});
    const uint8_t* rgb = picture.pixels();
    int32_t width = picture.width, height = picture.height;
    Picture turned;
    // The segment without its marker and length bytes; a segment cannot exceed 65535 bytes.
    if (picture.info.exifBlock.size() > 4 && picture.info.exifBlock.size() <= 65535 + 2) {
        settings.app1 = picture.info.exifBlock.data() + 4;
        settings.app1Size = picture.info.exifBlock.size() - 4;
        if (picture.info.orientation >= 2 && picture.info.orientation <= 8) {
            if (!turned.allocate(width, height, 24).ok())
                return Status::failure(StatusCode::OutOfMemory, "Out of memory");
            const int inverse = inverseOrientation(picture.info.orientation);
            orientPixels(rgb, width, height, 3, inverse, turned.pixels());
            if (orientationSwapsAxes(inverse)) std::swap(width, height);
            rgb = turned.pixels();
        }
    }
    return encodeJpeg(rgb, width, height, settings, out);
}

std::size_t estimateJpegSize(const uint8_t* rgb, int32_t width, int32_t height, int quality,
                             bool fullChroma) {
    EncodeSettings settings;
    settings.quality = quality;
    settings.fullChroma = fullChroma;
    std::vector<uint8_t> bytes;
    return encodeJpeg(rgb, width, height, settings, bytes).ok() ? bytes.size() : 0;
}

} // namespace velanox::codec
