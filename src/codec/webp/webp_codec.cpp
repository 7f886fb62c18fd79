#include "codec/webp/webp_codec.h"

#include "codec/alpha.h"
#include "codec/exif/exif_block.h"
#include "codec/icc/icc_profile.h"
#include "codec/stored_pixels.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace velanox::codec {
namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct MuxDeleter {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// A chunk of the container ("ICCP", "EXIF"); empty when there is none.
ByteSpan chunk(WebPDemuxer* demux, const char fourcc[4]) {
    WebPChunkIterator it;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return {};
    const ByteSpan bytes{it.chunk.bytes, it.chunk.size};
    WebPDemuxReleaseChunkIterator(&it);
    return bytes; // points into the file's bytes, which outlive the demuxer
}

Status corrupt(const std::string& what) {
    return Status::failure(StatusCode::Corrupt, "WebP file: " + what);
}

// The first frame of an animation as its canvas shows it, over white.
Status readFirstFrame(ByteSpan bytes, Picture& out) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return corrupt("the decoder cannot be started.");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes.data, bytes.size};
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
        return corrupt("the animation cannot be read.");
    if (int32_t(info.canvas_width) != out.width || int32_t(info.canvas_height) != out.height)
        return corrupt("the canvas size differs from the header.");
    uint8_t* rgba = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &rgba, &timestamp) || !rgba)
        return corrupt("the first frame cannot be decoded.");
    compositeRgbaOverWhite(rgba, std::size_t(out.width) * std::size_t(out.height), out.pixels());
    return Status::success();
}

Status readStill(ByteSpan bytes, bool alpha, Picture& out) {
    const std::size_t count = std::size_t(out.width) * std::size_t(out.height);
    if (!alpha) {
        if (!WebPDecodeRGBInto(bytes.data, bytes.size, out.pixels(), out.pixelBytes(),
                               int(out.rowBytes())))
            return corrupt("the picture data is damaged.");
        return Status::success();
    }
    std::vector<uint8_t> rgba;
    try {
        rgba.resize(count * 4);
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    if (!WebPDecodeRGBAInto(bytes.data, bytes.size, rgba.data(), rgba.size(), out.width * 4))
        return corrupt("the picture data is damaged.");
    compositeRgbaOverWhite(rgba.data(), count, out.pixels());
    return Status::success();
}

} // namespace

Status readWebp(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (!probeWebp(bytes)) return corrupt("no RIFF WEBP header.");
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data, bytes.size, &features) != VP8_STATUS_OK)
        return corrupt("the header is damaged.");
    const WebPData data{bytes.data, bytes.size};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return corrupt("the container is damaged.");
    const int64_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const int64_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    if (Status s = checkSize(width, height, options.limits); !s.ok()) return s;
    if (!out.allocate(int32_t(width), int32_t(height), 24).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");

    Status status = features.has_animation ? readFirstFrame(bytes, out)
                    : width == features.width && height == features.height
                        ? readStill(bytes, features.has_alpha != 0, out)
                        : corrupt("the canvas size differs from the picture's.");
    if (!status.ok()) {
        out.release();
        return status;
    }
    const ByteSpan profile = chunk(demux.get(), "ICCP");
    if (profile.size <= options.limits.maxProfileBytes && isRgbProfile(profile))
        out.info.iccProfile.assign(profile.data, profile.data + profile.size);
    takeExifPayload(chunk(demux.get(), "EXIF"), out);
    out.info.format = kFormatWebp;
    // The EXIF orientation is WebP's only one: it is applied here, as for a JPEG.
    if (out.info.orientation != 1 && !out.applyOrientation(out.info.orientation).ok()) {
        out.release();
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    }
    return Status::success();
}

Status writeWebp(const Picture& picture, std::vector<uint8_t>& out) {
    out.clear();
    if (!picture.hasPixels() || picture.bitsPerPixel != 24)
        return Status::failure(StatusCode::Unsupported,
                               "Only 24-bit pictures are written as WebP.");
    if (picture.width > WEBP_MAX_DIMENSION || picture.height > WEBP_MAX_DIMENSION)
        return Status::failure(StatusCode::Unsupported, "WebP cannot hold a picture of this size.");
    StoredPixels stored;
    if (!stored.prepare(picture)) return Status::failure(StatusCode::OutOfMemory, "Out of memory");

    WebPConfig config;
    if (!WebPConfigInit(&config))
        return Status::failure(StatusCode::WriteFailed, "The WebP encoder cannot be started.");
    const int quality = int(std::min<uint32_t>(picture.writeOptions.get(kQuality), 100));
    config.lossless = quality >= 100 ? 1 : 0;
    config.quality = config.lossless ? 75.0f : float(quality);
    config.method = 4;
    if (!WebPValidateConfig(&config))
        return Status::failure(StatusCode::WriteFailed, "The WebP settings are not valid.");

    WebPPicture pic;
    if (!WebPPictureInit(&pic))
        return Status::failure(StatusCode::WriteFailed, "The WebP encoder cannot be started.");
    std::unique_ptr<WebPPicture, void (*)(WebPPicture*)> owned(&pic, WebPPictureFree);
    pic.use_argb = config.lossless;
    pic.width = stored.width;
    pic.height = stored.height;
    if (!WebPPictureImportRGB(&pic, stored.rgb, stored.width * 3))
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    std::unique_ptr<WebPMemoryWriter, void (*)(WebPMemoryWriter*)> ownedWriter(
        &writer, WebPMemoryWriterClear);
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &writer;
    if (!WebPEncode(&config, &pic))
        return Status::failure(
            pic.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? StatusCode::OutOfMemory
                                                          : StatusCode::WriteFailed,
            "The WebP encoder failed (error " + std::to_string(int(pic.error_code)) + ").");

    const ByteSpan exif = exifTiffData(picture.info.exifBlock);
    if (picture.info.iccProfile.empty() && exif.size == 0) {
        out.assign(writer.mem, writer.mem + writer.size);
        return Status::success();
    }
    // The profile and EXIF go into an extended container around the picture.
    const WebPData bitstream{writer.mem, writer.size};
    std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&bitstream, 0));
    if (!mux) return Status::failure(StatusCode::WriteFailed, "The WebP container cannot be made.");
    if (!picture.info.iccProfile.empty()) {
        const WebPData icc{picture.info.iccProfile.data(), picture.info.iccProfile.size()};
        if (WebPMuxSetChunk(mux.get(), "ICCP", &icc, 0) != WEBP_MUX_OK)
            return Status::failure(StatusCode::WriteFailed,
                                   "The colour profile cannot be written.");
    }
    if (exif.size > 0) {
        const WebPData tiff{exif.data, exif.size};
        if (WebPMuxSetChunk(mux.get(), "EXIF", &tiff, 0) != WEBP_MUX_OK)
            return Status::failure(StatusCode::WriteFailed, "The EXIF data cannot be written.");
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
        return Status::failure(StatusCode::WriteFailed, "The WebP container cannot be made.");
    out.assign(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    return Status::success();
}

} // namespace velanox::codec
