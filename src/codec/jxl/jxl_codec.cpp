#include "codec/jxl/jxl_codec.h"

#include "codec/alpha.h"
#include "codec/exif/exif_block.h"
#include "codec/icc/icc_profile.h"
#include "codec/stored_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>
#include <new>
#include <string>

namespace velanox::codec {
namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
struct EncoderDeleter {
    void operator()(JxlEncoder* encoder) const { JxlEncoderDestroy(encoder); }
};
struct RunnerDeleter {
    void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};
using Runner = std::unique_ptr<void, RunnerDeleter>;

constexpr std::size_t kThreads = 2;

Status corrupt(const std::string& what) {
    return Status::failure(StatusCode::Corrupt, "JPEG XL file: " + what);
}

bool isSrgb(const JxlColorEncoding& c) {
    return c.color_space == JXL_COLOR_SPACE_RGB && c.white_point == JXL_WHITE_POINT_D65 &&
           c.primaries == JXL_PRIMARIES_SRGB && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Everything one decode collects; the pixels go straight into the picture.
struct Decode {
    JxlBasicInfo info{};
    bool haveInfo = false, haveImage = false;
    std::vector<uint8_t> samples; // grey or with alpha: before they become the picture's RGB
    std::vector<uint8_t> exif;    // the Exif box as it grows
    bool inExif = false, exifDropped = false;
    std::vector<uint8_t> scrap; // where a box too large to keep is read
};

// The colour of the pixels libjxl will deliver: for XYB-coded pictures, the original encoding
// when it is an encoded one, else sRGB; the profile of the data, none for sRGB.
std::vector<uint8_t> chooseColor(JxlDecoder* dec, const JxlBasicInfo& info, const Limits& limits) {
    if (!info.uses_original_profile) {
        JxlColorEncoding wanted;
        if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                               &wanted) != JXL_DEC_SUCCESS ||
            wanted.color_space != JXL_COLOR_SPACE_RGB)
            JxlColorEncodingSetToSRGB(&wanted, JXL_FALSE);
        JxlDecoderSetPreferredColorProfile(dec, &wanted);
    }
    JxlColorEncoding data;
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &data) ==
            JXL_DEC_SUCCESS &&
        isSrgb(data))
        return {};
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > limits.maxProfileBytes)
        return {};
    std::vector<uint8_t> profile(size);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(),
                                       size) != JXL_DEC_SUCCESS ||
        !isRgbProfile({profile.data(), profile.size()}))
        return {};
    return profile;
}

void finishExifBox(JxlDecoder* dec, Decode& d) {
    if (!d.inExif) return;
    const std::size_t unused = JxlDecoderReleaseBoxBuffer(dec);
    d.exif.resize(d.exif.size() - unused);
    d.inExif = false;
}

// The decoded samples (1 to 4 channels) into the picture's RGB, over white when they have alpha.
void toRgb(const Decode& d, int channels, Picture& out) {
    const std::size_t count = std::size_t(out.width) * std::size_t(out.height);
    const uint8_t* in = d.samples.data();
    uint8_t* rgb = out.pixels();
    for (std::size_t i = 0; i < count; ++i, rgb += 3, in += channels) {
        const bool grey = channels <= 2;
        const unsigned a = channels == 2 ? in[1] : channels == 4 ? in[3] : 255;
        rgb[0] = overWhite(in[0], a);
        rgb[1] = overWhite(grey ? in[0] : in[1], a);
        rgb[2] = overWhite(grey ? in[0] : in[2], a);
    }
}

} // namespace

float jxlDistanceForQuality(int quality) {
    if (quality >= 30) return 0.1f + float(100 - quality) * 0.09f;
    return 6.4f + std::pow(2.5f, float(30 - quality) / 5.0f) / 6.25f;
}

Status readJxl(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (!probeJxl(bytes)) return Status::failure(StatusCode::Corrupt, "Not a JPEG XL file.");
    std::unique_ptr<JxlDecoder, DecoderDeleter> decoder(JxlDecoderCreate(nullptr));
    Runner runner(JxlThreadParallelRunnerCreate(nullptr, kThreads));
    if (!decoder || !runner) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    JxlDecoder* dec = decoder.get();
    if (JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                           JXL_DEC_FULL_IMAGE | JXL_DEC_BOX) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec, JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetDecompressBoxes(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, bytes.data, bytes.size) != JXL_DEC_SUCCESS)
        return corrupt("the decoder cannot be started.");
    JxlDecoderCloseInput(dec);

    Decode d;
    int channels = 3;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    Status status;
    while (status.ok() && !d.haveImage) {
        const JxlDecoderStatus event = JxlDecoderProcessInput(dec);
        if (event != JXL_DEC_BOX && event != JXL_DEC_BOX_NEED_MORE_OUTPUT) finishExifBox(dec, d);
        switch (event) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(dec, &d.info) != JXL_DEC_SUCCESS)
                return corrupt("the header is damaged.");
            // Checked as stored and as shown: the orientation may exchange the two.
            if (Status s = checkSize(d.info.xsize, d.info.ysize, options.limits); !s.ok()) return s;
            const bool grey = d.info.num_color_channels == 1;
            const bool alpha = d.info.alpha_bits > 0;
            channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
            format.num_channels = uint32_t(channels);
            d.haveInfo = true;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            out.info.iccProfile = chooseColor(dec, d.info, options.limits);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS)
                return corrupt("the picture's size is not known.");
            const bool swap = d.info.orientation >= JXL_ORIENT_TRANSPOSE;
            const int32_t width = int32_t(swap ? d.info.ysize : d.info.xsize);
            const int32_t height = int32_t(swap ? d.info.xsize : d.info.ysize);
            if (!out.allocate(width, height, 24).ok())
                return Status::failure(StatusCode::OutOfMemory, "Out of memory");
            uint8_t* target = out.pixels();
            if (channels != 3) {
                try {
                    d.samples.resize(size);
                } catch (const std::bad_alloc&) {
                    return Status::failure(StatusCode::OutOfMemory, "Out of memory");
                }
                target = d.samples.data();
            }
            if (size != std::size_t(width) * std::size_t(height) * std::size_t(channels) ||
                JxlDecoderSetImageOutBuffer(dec, &format, target, size) != JXL_DEC_SUCCESS)
                return corrupt("the picture's layout is not the expected one.");
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            d.haveImage = true; // the first frame; any others are not read
            break;
        case JXL_DEC_BOX: {
            finishExifBox(dec, d);
            JxlBoxType type;
            if (JxlDecoderGetBoxType(dec, type, JXL_TRUE) == JXL_DEC_SUCCESS &&
                std::memcmp(type, "Exif", 4) == 0 && d.exif.empty() && !d.exifDropped) {
                d.exif.resize(4096);
                d.inExif = true;
                JxlDecoderSetBoxBuffer(dec, d.exif.data(), d.exif.size());
            }
            break;
        }
        case JXL_DEC_BOX_NEED_MORE_OUTPUT: {
            const std::size_t unused = JxlDecoderReleaseBoxBuffer(dec);
            if (!d.inExif || d.exif.size() >= kMaxExifTiffBytes + 16) {
                // Larger than a JPEG segment holds: read on into a scrap buffer, not kept.
                d.exif.clear();
                d.inExif = false;
                d.exifDropped = true;
                d.scrap.resize(4096);
                JxlDecoderSetBoxBuffer(dec, d.scrap.data(), d.scrap.size());
                break;
            }
            const std::size_t used = d.exif.size() - unused;
            d.exif.resize(d.exif.size() * 2);
            JxlDecoderSetBoxBuffer(dec, d.exif.data() + used, d.exif.size() - used);
            break;
        }
        case JXL_DEC_SUCCESS:
            finishExifBox(dec, d);
            if (!d.haveImage) status = corrupt("the file holds no picture.");
            d.haveImage = true;
            break;
        case JXL_DEC_NEED_MORE_INPUT:
            status = corrupt("the data ends early.");
            break;
        default:
            status = corrupt("the data is damaged.");
            break;
        }
    }
    if (!status.ok()) {
        out.release();
        return status;
    }
    if (channels != 3) toRgb(d, channels, out);
    d.samples = {};
    // libjxl turned the picture by the codestream's orientation: the EXIF one, which says the
    // same, is kept for writing.
    takeExifPayload({d.exif.data(), d.exif.size()}, out);
    out.info.format = kFormatJxl;
    return Status::success();
}

Status writeJxl(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels() || picture.bitsPerPixel != 24)
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit pictures are written as JPEG XL.");
    StoredPixels stored;
    if (!stored.prepare(picture)) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    std::unique_ptr<JxlEncoder, EncoderDeleter> encoder(JxlEncoderCreate(nullptr));
    Runner runner(JxlThreadParallelRunnerCreate(nullptr, kThreads));
    if (!encoder || !runner) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    JxlEncoder* enc = encoder.get();
    const auto failed = [&](const char* what) {
        return Status::failure(StatusCode::WriteFailed,
                               std::string("JPEG XL: ") + what + " (error " +
                                   std::to_string(int(JxlEncoderGetError(enc))) + ").");
    };
    if (JxlEncoderSetParallelRunner(enc, JxlThreadParallelRunner, runner.get()) != JXL_ENC_SUCCESS)
        return failed("the encoder cannot be started");

    const int quality = int(std::min<uint32_t>(picture.writeOptions.get(kQuality), 100));
    const bool lossless = quality >= 100;
    const bool profile = !picture.info.iccProfile.empty();
    const ByteSpan exif = exifTiffData(picture.info.exifBlock);

    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(stored.width);
    info.ysize = uint32_t(stored.height);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.orientation = JxlOrientation(stored.orientation);
    // Pixels in a profile's own space are coded in that space, so that what a reader gets back
    // is in the profile the file names.
    info.uses_original_profile = lossless || profile ? JXL_TRUE : JXL_FALSE;
    if (exif.size > 0 && JxlEncoderUseBoxes(enc) != JXL_ENC_SUCCESS)
        return failed("the EXIF box cannot be written");
    if (JxlEncoderSetBasicInfo(enc, &info) != JXL_ENC_SUCCESS)
        return failed("the picture's description is refused");
    if (profile) {
        if (JxlEncoderSetICCProfile(enc, picture.info.iccProfile.data(),
                                    picture.info.iccProfile.size()) != JXL_ENC_SUCCESS)
            return failed("the colour profile is refused");
    } else {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        if (JxlEncoderSetColorEncoding(enc, &srgb) != JXL_ENC_SUCCESS)
            return failed("the colour space is refused");
    }
    if (exif.size > 0) {
        std::vector<uint8_t> box{0, 0, 0, 0}; // the TIFF header follows at once
        box.insert(box.end(), exif.data, exif.data + exif.size);
        if (JxlEncoderAddBox(enc, "Exif", box.data(), box.size(), JXL_FALSE) != JXL_ENC_SUCCESS)
            return failed("the EXIF box cannot be written");
        JxlEncoderCloseBoxes(enc);
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (!settings) return failed("the frame settings cannot be made");
    if (lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS
                 : JxlEncoderSetFrameDistance(settings, jxlDistanceForQuality(quality)) !=
                       JXL_ENC_SUCCESS)
        return failed("the quality is refused");
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderAddImageFrame(settings, &format, stored.rgb,
                                std::size_t(stored.width) * std::size_t(stored.height) * 3) !=
        JXL_ENC_SUCCESS)
        return failed("the pixels are refused");
    JxlEncoderCloseInput(enc);

    try {
        out.resize(64 * 1024);
        std::size_t used = 0;
        for (;;) {
            uint8_t* next = out.data() + used;
            std::size_t avail = out.size() - used;
            const JxlEncoderStatus s = JxlEncoderProcessOutput(enc, &next, &avail);
            used = std::size_t(next - out.data());
            if (s == JXL_ENC_SUCCESS) break;
            if (s != JXL_ENC_NEED_MORE_OUTPUT) {
                out.clear();
                return failed("the encoder failed");
            }
            out.resize(out.size() * 2);
        }
        out.resize(used);
    } catch (const std::bad_alloc&) {
        out.clear();
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    return Status::success();
}

} // namespace velanox::codec
