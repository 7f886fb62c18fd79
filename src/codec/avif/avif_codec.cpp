#include "codec/avif/avif_codec.h"

#include "codec/alpha.h"
#include "codec/exif/exif_block.h"
#include "codec/icc/icc_profile.h"
#include "codec/stored_pixels.h"

#include <algorithm>
#include <avif/avif.h>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

namespace velanox::codec {
namespace {

struct DecoderDeleter {
    void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};
struct EncoderDeleter {
    void operator()(avifEncoder* encoder) const { avifEncoderDestroy(encoder); }
};
struct ImageDeleter {
    void operator()(avifImage* image) const { avifImageDestroy(image); }
};

Status failure(StatusCode code, const char* what, avifResult result) {
    return Status::failure(code, std::string("AVIF file: ") + what + " (" +
                                     avifResultToString(result) + ").");
}

// The EXIF orientation that does what one irot or imir does.
int rotationOrientation(int angle) {
    return angle == 1 ? 8 : angle == 2 ? 3 : angle == 3 ? 6 : 1;
}
int mirrorOrientation(int mode) {
    return mode == 0 ? 4 : 2;
}

// The size check of a file parsed under libavif's default limits (no picture is decoded);
// success when it does not parse that way either.
Status sizeUnderDefaultLimits(ByteSpan bytes, const Limits& limits) {
    std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
    if (!decoder) return Status::success();
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    decoder->ignoreXMP = AVIF_TRUE;
    decoder->ignoreExif = AVIF_TRUE;
    if (avifDecoderSetIOMemory(decoder.get(), bytes.data, bytes.size) != AVIF_RESULT_OK ||
        avifDecoderParse(decoder.get()) != AVIF_RESULT_OK)
        return Status::success();
    return checkSize(decoder->image->width, decoder->image->height, limits);
}

} // namespace

AvifTransform avifTransformFor(int exifOrientation) {
    switch (exifOrientation) {
    case 2:
        return {0, 1};
    case 3:
        return {2, -1};
    case 4:
        return {0, 0};
    case 5:
        return {1, 0};
    case 6:
        return {3, -1};
    case 7:
        return {3, 0};
    case 8:
        return {1, -1};
    default:
        return {};
    }
}

Status readAvif(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (!probeAvif(bytes)) return Status::failure(StatusCode::Corrupt, "Not an AVIF file.");
    std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
    if (!decoder) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    decoder->maxThreads = 2;
    // libavif refuses what our limits refuse before the AV1 decoder allocates anything (it
    // takes no size limit above its own default).
    decoder->imageSizeLimit =
        uint32_t(std::min<int64_t>(options.limits.maxPixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    decoder->imageDimensionLimit = uint32_t(options.limits.maxDimension);
    decoder->imageCountLimit = 1 << 16;
    decoder->strictFlags = AVIF_STRICT_DISABLED; // files from the wild break minor rules
    decoder->ignoreXMP = AVIF_TRUE;
    avifResult result = avifDecoderSetIOMemory(decoder.get(), bytes.data, bytes.size);
    if (result == AVIF_RESULT_OK) result = avifDecoderParse(decoder.get());
    if (result != AVIF_RESULT_OK) {
        // libavif says only that parsing failed when a size exceeds its limits: a file that
        // parses under libavif's own defaults was refused for its size.
        if (Status s = sizeUnderDefaultLimits(bytes, options.limits); !s.ok()) return s;
        return failure(StatusCode::Corrupt, "the container is damaged", result);
    }
    const avifImage* header = decoder->image;
    if (Status s = checkSize(header->width, header->height, options.limits); !s.ok()) return s;
    result = avifDecoderNextImage(decoder.get());
    if (result != AVIF_RESULT_OK)
        return failure(StatusCode::Corrupt, "the picture cannot be decoded", result);
    const avifImage* image = decoder->image;
    if (Status s = checkSize(image->width, image->height, options.limits); !s.ok()) return s;

    const bool alpha = image->alphaPlane != nullptr;
    const std::size_t count = std::size_t(image->width) * image->height;
    if (!out.allocate(int32_t(image->width), int32_t(image->height), 24).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    std::vector<uint8_t> rgba;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8; // libavif rounds deeper samples to 8 bits
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.alphaPremultiplied = AVIF_FALSE;
    if (alpha) {
        try {
            rgba.resize(count * 4);
        } catch (const std::bad_alloc&) {
            out.release();
            return Status::failure(StatusCode::OutOfMemory, "Out of memory");
        }
        rgb.pixels = rgba.data();
        rgb.rowBytes = image->width * 4;
    } else {
        rgb.pixels = out.pixels();
        rgb.rowBytes = uint32_t(out.rowBytes());
    }
    result = avifImageYUVToRGB(image, &rgb);
    if (result != AVIF_RESULT_OK) {
        out.release();
        return failure(StatusCode::Corrupt, "the colours cannot be converted", result);
    }
    if (alpha) compositeRgbaOverWhite(rgba.data(), count, out.pixels());

    // The container's rotation, then its mirror.
    int turns[2] = {1, 1};
    if (image->transformFlags & AVIF_TRANSFORM_IROT)
        turns[0] = rotationOrientation(image->irot.angle);
    if (image->transformFlags & AVIF_TRANSFORM_IMIR) turns[1] = mirrorOrientation(image->imir.mode);
    for (int turn : turns)
        if (turn != 1 && !out.applyOrientation(turn).ok()) {
            out.release();
            return Status::failure(StatusCode::OutOfMemory, "Out of memory");
        }

    if (image->icc.size > 0) {
        const ByteSpan icc{image->icc.data, image->icc.size};
        if (icc.size <= options.limits.maxProfileBytes && isRgbProfile(icc))
            out.info.iccProfile.assign(icc.data, icc.data + icc.size);
    } else {
        out.info.iccProfile =
            profileFromNclx(image->colorPrimaries, image->transferCharacteristics);
    }
    // The EXIF orientation describes what irot and imir already did.
    takeExifPayload({image->exif.data, image->exif.size}, out);
    out.info.format = kFormatAvif;
    return Status::success();
}

Status writeAvif(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels() || picture.bitsPerPixel != 24)
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit pictures are written as AVIF.");
    StoredPixels stored;
    if (!stored.prepare(picture)) return Status::failure(StatusCode::OutOfMemory, "Out of memory");

    const bool fullChroma = picture.writeOptions.get(kJpegFullChroma) == 1;
    std::unique_ptr<avifImage, ImageDeleter> image(
        avifImageCreate(uint32_t(stored.width), uint32_t(stored.height), 8,
                        fullChroma ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420));
    if (!image) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    image->yuvRange = AVIF_RANGE_FULL;
    image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
    if (picture.info.iccProfile.empty()) {
        image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
        image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    } else {
        image->colorPrimaries = AVIF_COLOR_PRIMARIES_UNSPECIFIED;
        image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED;
        avifImageSetProfileICC(image.get(), picture.info.iccProfile.data(),
                               picture.info.iccProfile.size());
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image.get());
    rgb.format = AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    rgb.pixels = const_cast<uint8_t*>(stored.rgb);
    rgb.rowBytes = uint32_t(stored.width) * 3;
    avifResult result = avifImageRGBToYUV(image.get(), &rgb);
    if (result != AVIF_RESULT_OK)
        return failure(StatusCode::WriteFailed, "the colours cannot be converted", result);

    const ByteSpan exif = exifTiffData(picture.info.exifBlock);
    if (exif.size > 0) avifImageSetMetadataExif(image.get(), exif.data, exif.size);
    // libavif reads an orientation from the EXIF itself; what is stored is said here.
    const AvifTransform transform = avifTransformFor(stored.orientation);
    image->transformFlags &= ~avifTransformFlags(AVIF_TRANSFORM_IROT | AVIF_TRANSFORM_IMIR);
    if (transform.angle != 0) {
        image->transformFlags |= AVIF_TRANSFORM_IROT;
        image->irot.angle = uint8_t(transform.angle);
    }
    if (transform.mirror >= 0) {
        image->transformFlags |= AVIF_TRANSFORM_IMIR;
        image->imir.mode = uint8_t(transform.mirror);
    }

    std::unique_ptr<avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
    if (!encoder) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    const int quality = int(std::min<uint32_t>(picture.writeOptions.get(kQuality), 100));
    const int quantizer = std::clamp((100 - quality) * AVIF_QUANTIZER_WORST_QUALITY / 100,
                                     AVIF_QUANTIZER_BEST_QUALITY, AVIF_QUANTIZER_WORST_QUALITY);
    encoder->minQuantizer = quantizer;
    encoder->maxQuantizer = quantizer;
    encoder->maxThreads = 2;
    encoder->speed = 8;
    avifRWData encoded = AVIF_DATA_EMPTY;
    result = avifEncoderWrite(encoder.get(), image.get(), &encoded);
    if (result != AVIF_RESULT_OK) {
        avifRWDataFree(&encoded);
        return failure(result == AVIF_RESULT_OUT_OF_MEMORY ? StatusCode::OutOfMemory
                                                           : StatusCode::WriteFailed,
                       "the encoder failed", result);
    }
    try {
        out.assign(encoded.data, encoded.data + encoded.size);
    } catch (const std::bad_alloc&) {
        avifRWDataFree(&encoded);
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    avifRWDataFree(&encoded);
    return Status::success();
}

} // namespace velanox::codec
