#include "codec/raw/raw_codec.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>

namespace velanox::codec {

namespace {

// LibRaw keeps large per-object state and the program decodes one raw file at a time.
std::mutex& rawMutex() {
    static std::mutex mutex;
    return mutex;
}

Status librawFailure(int rc) {
    StatusCode code = StatusCode::Corrupt;
    switch (rc) {
    case LIBRAW_FILE_UNSUPPORTED:
        code = StatusCode::Unsupported;
        break;
    case LIBRAW_UNSUFFICIENT_MEMORY:
        code = StatusCode::OutOfMemory;
        break;
    case LIBRAW_TOO_BIG:
        code = StatusCode::TooLarge;
        break;
    case LIBRAW_IO_ERROR:
        code = StatusCode::CannotOpen;
        break;
    default:
        break;
    }
    return Status::failure(code, std::string("Camera raw: ") + libraw_strerror(rc));
}

// Counts what LibRaw reports as damaged data instead of printing it to the standard error.
void countDataError(void* data, const char*, const int) {
    ++*static_cast<int*>(data);
}

} // namespace

void makeRawCurve(float white, bool useGamma, uint8_t curve[65536]) {
    for (int i = 0; i < 65536; ++i) {
        const float r = float(i) / white;
        const double shaped =
            !useGamma ? r : (r <= 0.018 ? r * 4.5 : std::pow(r, 0.45) * 1.099 - 0.099);
        const int v = int(256 * shaped);
        curve[i] = uint8_t(std::clamp(v, 0, 255));
    }
}

float rawWhitePoint(const RawImageView& raw) {
    int64_t limit = int64_t(double(raw.width) * double(raw.height) * 0.01);
    if (raw.fujiWidth != 0) limit /= 2;
    int white = 0;
    const int channels = std::clamp(raw.colors, 1, 4);
    for (int c = 0; c < channels; ++c) {
        int64_t total = 0;
        int bin = 8192;
        while (--bin > 32)
            if ((total += raw.histogram[c][bin]) > limit) break;
        white = std::max(white, bin);
    }
    return float(white) * (8.0f / raw.brightness);
}

Status convertRawImage(const RawImageView& raw, Picture& out) {
    if (!raw.image || !raw.histogram || raw.width <= 0 || raw.height <= 0)
        return Status::failure(StatusCode::Corrupt, "Camera raw: the decoder produced no image.");
    const int flip = raw.flip & 7;
    const int outWidth = (flip & 4) ? raw.height : raw.width;
    const int outHeight = (flip & 4) ? raw.width : raw.height;
    if (out.allocate(outWidth, outHeight, 24) != kPictureOk)
        return Status::failure(StatusCode::OutOfMemory,
                               "Not enough memory for the decoded raw image.");

    auto curve = std::make_unique<uint8_t[]>(65536);
    makeRawCurve(rawWhitePoint(raw), raw.useGamma, curve.get());

    uint8_t* dst = out.pixels();
    const std::size_t w = std::size_t(raw.width), h = std::size_t(raw.height);
    for (std::size_t row = 0; row < h; ++row) {
        const std::size_t rowOut = (flip & 2) ? h - 1 - row : row;
        const uint16_t(*src)[4] = raw.image + row * w;
        for (std::size_t col = 0; col < w; ++col) {
            const std::size_t colOut = (flip & 1) ? w - 1 - col : col;
            const std::size_t index = (flip & 4) ? colOut * h + rowOut : rowOut * w + colOut;
            uint8_t* p = dst + index * 3;
            p[0] = curve[src[col][0]];
            p[1] = curve[src[col][1]];
            p[2] = curve[src[col][2]];
        }
    }
    return Status::success();
}

bool isNearlyUniform(const uint8_t* rgb, int width, int height) {
    if (!rgb || width <= 0 || height <= 0) return true;
    // A grid of at most 256 x 256 samples is plenty to tell a picture from an empty frame.
    const int stepX = std::max(1, width / 256), stepY = std::max(1, height / 256);
    const int columns = (width + stepX - 1) / stepX, rows = (height + stepY - 1) / stepY;
    std::vector<uint8_t> grid(std::size_t(columns) * std::size_t(rows) * 3);
    std::array<int64_t, 256> histogram{};
    for (int gy = 0; gy < rows; ++gy) {
        const uint8_t* row = rgb + std::size_t(gy) * stepY * std::size_t(width) * 3;
        for (int gx = 0; gx < columns; ++gx) {
            const uint8_t* p = row + std::size_t(gx) * stepX * 3;
            uint8_t* g = &grid[(std::size_t(gy) * columns + gx) * 3];
            std::memcpy(g, p, 3);
            ++histogram[(p[0] + 2 * p[1] + p[2]) / 4];
        }
    }
    const int64_t samples = int64_t(columns) * rows;

    // One colour: almost every sample within a few levels of the commonest brightness.
    int64_t best = 0;
    for (int centre = 0; centre < 256; ++centre) {
        int64_t inWindow = 0;
        for (int v = std::max(0, centre - 4); v <= std::min(255, centre + 4); ++v)
            inWindow += histogram[v];
        best = std::max(best, inWindow);
    }
    if (best * 100 >= samples * 98) return true;

    // Stripes: a sensor's noise makes neighbouring rows (columns) differ; rows that repeat
    // their neighbours are what a decoder leaves where the data ran out.
    auto repeats = [&](int count, int length, auto at) {
        if (count < 2) return false;
        int repeated = 0;
        for (int i = 1; i < count; ++i) {
            int64_t difference = 0;
            for (int j = 0; j < length; ++j)
                for (int c = 0; c < 3; ++c)
                    difference += std::abs(at(i, j)[c] - at(i - 1, j)[c]);
            if (difference * 2 < int64_t(length) * 3) ++repeated; // mean below half a level
        }
        return repeated * 10 >= (count - 1) * 9;
    };
    const auto atRow = [&](int r, int c) { return &grid[(std::size_t(r) * columns + c) * 3]; };
    const auto atColumn = [&](int c, int r) { return &grid[(std::size_t(r) * columns + c) * 3]; };
    return repeats(rows, columns, atRow) || repeats(columns, rows, atColumn);
}

bool probeRaw(ByteSpan bytes) {
    if (!bytes.data || bytes.size == 0) return false;
    std::lock_guard lock(rawMutex());
    try {
        auto raw = std::make_unique<LibRaw>();
        int errors = 0;
        raw->set_dataerror_handler(countDataError, &errors);
        return raw->open_buffer(const_cast<uint8_t*>(bytes.data), bytes.size) == LIBRAW_SUCCESS;
    } catch (...) {
        return false;
    }
}

Status decodeRaw(ByteSpan bytes, Picture& out, const Limits& limits) {
    out.release();
    if (!bytes.data || bytes.size == 0)
        return Status::failure(StatusCode::Corrupt, "Camera raw: the file is empty.");
    std::lock_guard lock(rawMutex());
    try {
        auto raw = std::make_unique<LibRaw>();
        int dataErrors = 0;
        raw->set_dataerror_handler(countDataError, &dataErrors);
        libraw_output_params_t& params = raw->imgdata.params;
        params.use_camera_wb = 1;  // the camera's white balance
        params.user_qual = 0;      // bilinear demosaicing
        params.four_color_rgb = 1; // RGGB interpolated as four colours

        int rc = raw->open_buffer(const_cast<uint8_t*>(bytes.data), bytes.size);
        if (rc != LIBRAW_SUCCESS) return librawFailure(rc);
        const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
        if (Status s = checkSize(sizes.width, sizes.height, limits); !s.ok()) return s;
        if (Status s = checkSize(sizes.raw_width, sizes.raw_height, limits); !s.ok()) return s;

        if ((rc = raw->unpack()) != LIBRAW_SUCCESS) return librawFailure(rc);
        // dcraw keeps the Fuji width after rotating the picture; LibRaw clears it then.
        const int fujiWidth = raw->is_fuji_rotated();
        if ((rc = raw->dcraw_process()) != LIBRAW_SUCCESS) return librawFailure(rc);

        const libraw_internal_data_t* internal = raw->get_internal_data_pointer();
        RawImageView view;
        view.image = raw->imgdata.image;
        view.width = sizes.iwidth;
        view.height = sizes.iheight;
        view.flip = sizes.flip;
        view.colors = raw->imgdata.idata.colors;
        view.histogram = internal->output_data.histogram;
        view.fujiWidth = fujiWidth;
        // LibRaw has no gamma flag of its own: a loader that wants linear output sets the
        // power and slope to 1.
        view.useGamma = !(params.gamm[0] == 1.0 && params.gamm[1] == 1.0);
        view.brightness = params.bright > 0 ? params.bright : 1.0f;
        if (Status s = checkSize(view.width, view.height, limits); !s.ok()) return s;

        if (Status s = convertRawImage(view, out); !s.ok()) return s;
        if (isNearlyUniform(out.pixels(), out.width, out.height)) {
            out.release();
            return Status::failure(StatusCode::Corrupt,
                                   dataErrors > 0 ? "Camera raw: the image data is damaged."
                                                  : "Camera raw: the image data is incomplete.");
        }
        return Status::success();
    } catch (const std::bad_alloc&) {
        out.release();
        return Status::failure(StatusCode::OutOfMemory,
                               "Not enough memory to decode the raw file.");
    } catch (...) {
        out.release();
        return Status::failure(StatusCode::Corrupt, "Camera raw: the decoder failed.");
    }
}

Status decodeRaw(const std::string& path, Picture& out, const Limits& limits) {
    out.release();
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return Status::failure(StatusCode::CannotOpen, "The file cannot be opened.");
    const std::streamoff size = file.tellg();
    if (size <= 0) return Status::failure(StatusCode::Corrupt, "Camera raw: the file is empty.");
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory to read the file.");
    }
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
        return Status::failure(StatusCode::CannotOpen, "The file cannot be read.");
    return decodeRaw(ByteSpan{bytes.data(), bytes.size()}, out, limits);
}

Status readRaw(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    Status status = decodeRaw(bytes, out, options.limits);
    if (!status.ok()) return status;
    out.format = kFormatAuto;
    out.paletteSize = 0;
    out.fileWidth = out.width;
    out.fileHeight = out.height;
    out.orientation = 1;
    out.tiffPage = 0;
    out.exifBlock.clear();
    out.xResolution = out.yResolution = 300;
    out.resolutionUnit = 1;
    return status;
}

} // namespace velanox::codec
