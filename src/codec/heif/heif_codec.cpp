#include "codec/heif/heif_codec.h"

#include "codec/alpha.h"
#include "codec/exif/exif_block.h"
#include "codec/icc/icc_profile.h"

#include <algorithm>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace velanox::codec {
namespace {

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

Status failure(StatusCode code, const heif_error& error) {
    std::string message = error.message && *error.message ? error.message : "unreadable";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    // libheif's own size limit, set from ours, refused the picture or one of its tiles.
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return Status::failure(StatusCode::TooLarge, "Image too large: " + message + ".");
    return Status::failure(code, "HEIF file: " + message + ".");
}

// The first EXIF block of the picture; empty when it has none.
std::vector<uint8_t> exifPayload(const heif_image_handle* handle) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size == 0 || size > kMaxExifTiffBytes + 16) return {};
    std::vector<uint8_t> payload(size);
    if (heif_image_handle_get_metadata(handle, id, payload.data()).code != heif_error_Ok) return {};
    return payload;
}

std::vector<uint8_t> colorProfile(const heif_image_handle* handle, const Limits& limits) {
    const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size > 0) {
        if (size > limits.maxProfileBytes) return {};
        std::vector<uint8_t> profile(size);
        if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok ||
            !isRgbProfile({profile.data(), profile.size()}))
            return {};
        return profile;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        return {};
    std::unique_ptr<heif_color_profile_nclx, NclxDeleter> owned(nclx);
    return profileFromNclx(int(nclx->color_primaries), int(nclx->transfer_characteristics));
}

// One 16-bit sample of `bits` significant bits to 8 bits, rounded.
uint8_t reduce(uint16_t value, int bits) {
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((std::min<uint32_t>(value, max) * 255u + max / 2) / max);
}

} // namespace

Status readHeif(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    out.release();
    out.info.exifBlock.clear();
    out.info.exif = ExifSummary{};
    out.info.orientation = 1;
    out.info.iccProfile.clear();
    if (!probeHeif(bytes)) return Status::failure(StatusCode::Corrupt, "Not a HEIF file.");
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) return Status::failure(StatusCode::OutOfMemory, "Out of memory");
    heif_context_set_maximum_image_size_limit(context.get(), options.limits.maxDimension);
    heif_error error =
        heif_context_read_from_memory_without_copy(context.get(), bytes.data, bytes.size, nullptr);
    if (error.code != heif_error_Ok) return failure(StatusCode::Corrupt, error);
    heif_image_handle* rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    if (error.code != heif_error_Ok) return failure(StatusCode::Corrupt, error);
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
    if (Status s = checkSize(heif_image_handle_get_width(handle.get()),
                             heif_image_handle_get_height(handle.get()), options.limits);
        !s.ok())
        return s;

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool deep = bits > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* rawImage = nullptr;
    error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, nullptr);
    if (error.code != heif_error_Ok) {
        return failure(error.code == heif_error_Memory_allocation_error ? StatusCode::OutOfMemory
                                                                        : StatusCode::Corrupt,
                       error);
    }
    std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (Status s = checkSize(width, height, options.limits); !s.ok()) return s;
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    const std::size_t sampleBytes = deep ? 2 : 1;
    if (!plane || stride < 0 || std::size_t(stride) < std::size_t(width) * channels * sampleBytes)
        return Status::failure(StatusCode::Corrupt,
                               "HEIF file: the decoded picture has no pixels.");
    if (!out.allocate(width, height, 24).ok())
        return Status::failure(StatusCode::OutOfMemory, "Out of memory");

    std::vector<uint8_t> row(std::size_t(width) * channels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + std::size_t(y) * std::size_t(stride);
        if (deep) {
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = reduce(uint16_t(in[2 * i] | in[2 * i + 1] << 8), bits);
            in = row.data();
        }
        uint8_t* target = out.pixels() + std::size_t(y) * out.rowBytes();
        if (alpha)
            compositeRgbaOverWhite(in, std::size_t(width), target);
        else
            std::memcpy(target, in, std::size_t(width) * 3);
    }

    out.info.iccProfile = colorProfile(handle.get(), options.limits);
    // libheif has turned the picture by the container's irot and imir; the EXIF orientation
    // says the same and is kept only for writing.
    const std::vector<uint8_t> exif = exifPayload(handle.get());
    takeExifPayload({exif.data(), exif.size()}, out);
    out.info.format = kFormatHeif;
    return Status::success();
}

} // namespace velanox::codec
