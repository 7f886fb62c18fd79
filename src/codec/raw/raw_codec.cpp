#include "codec/raw/raw_codec.h"

#include "files/file_io.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

namespace velanox::codec {

namespace {

// LibRaw keeps large per-object state and the program decodes one raw file at a time.
std::mutex& rawMutex() {
    static std::mutex mutex;
    return mutex;
}

// What a person can do something about, for each way LibRaw gives up on a file it recognised.
Status librawFailure(int rc) {
    switch (rc) {
    case LIBRAW_FILE_UNSUPPORTED:
        return Status::failure(StatusCode::Unsupported,
                               "Camera raw: this kind of raw file cannot be decoded.");
    case LIBRAW_UNSUFFICIENT_MEMORY:
        return Status::failure(StatusCode::OutOfMemory,
                               "Not enough memory to decode the raw file.");
    case LIBRAW_TOO_BIG:
        return Status::failure(StatusCode::TooLarge, "Camera raw: the picture is too large.");
    case LIBRAW_IO_ERROR:
        return Status::failure(StatusCode::Corrupt,
                               "Camera raw: the file ends before its image data does.");
    default:
        return Status::failure(StatusCode::Corrupt, "Camera raw: the image data is damaged.");
    }
}

// Counts what LibRaw reports as damaged data instead of printing it to the standard error.
void countDataError(void* data, const char*, const int) {
    ++*static_cast<int*>(data);
}

// The file in memory, as LibRaw reads it, noting every byte it asks for beyond the end: a
// truncated file reads as zeros (a black or white picture) without any other complaint.
class CheckedBufferStream : public LibRaw_buffer_datastream {
public:
    explicit CheckedBufferStream(ByteSpan bytes)
        : LibRaw_buffer_datastream(const_cast<uint8_t*>(bytes.data), bytes.size),
          m_size(bytes.size) {}

    int read(void* ptr, size_t size, size_t count) override {
        const INT64 at = tell();
        const uint64_t left = at < 0 || uint64_t(at) >= m_size ? 0 : m_size - uint64_t(at);
        uint64_t wanted = 0;
        if (__builtin_mul_overflow(uint64_t(size), uint64_t(count), &wanted)) wanted = UINT64_MAX;
        if (wanted > left) m_pastEnd += wanted - left;
        return LibRaw_buffer_datastream::read(ptr, size, count);
    }

    int get_char() override {
        const int c = LibRaw_buffer_datastream::get_char();
        if (c < 0) ++m_pastEnd;
        return c;
    }

    uint64_t bytesPastEnd() const { return m_pastEnd; }
    void resetCount() { m_pastEnd = 0; }

private:
    uint64_t m_size;
    uint64_t m_pastEnd = 0;
};

// A decoder's bit reader may look a few bytes ahead of the last code of a complete file.
constexpr uint64_t kReadAheadAllowance = 64;

// Pixel shapes beyond these are no camera's; LibRaw's stretch cannot cope with them either.
constexpr double kMinPixelAspect = 1.0 / 8, kMaxPixelAspect = 8.0;

RawCameraData cameraData(const LibRaw& raw) {
    RawCameraData camera;
    const libraw_iparams_t& id = raw.imgdata.idata;
    const libraw_imgother_t& other = raw.imgdata.other;
    camera.make.assign(id.make, strnlen(id.make, sizeof id.make));
    camera.model.assign(id.model, strnlen(id.model, sizeof id.model));
    camera.timestamp = int64_t(other.timestamp);
    camera.isoSpeed = other.iso_speed;
    camera.shutterSeconds = other.shutter;
    camera.fNumber = other.aperture;
    return camera;
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
    if (!out.allocate(outWidth, outHeight, 24).ok())
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

namespace {

// LibRaw keeps the aperture as a float: f/2.8 reads 2.79999995. Six significant digits give
// back the value the camera wrote.
double asRecorded(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return std::strtod(text, nullptr);
}

// The exposure, a float too, was 1/n s for a whole n when it is that close to one: 1/60 s reads
// 0.016666668, which would show as 1/59.
double exposureAsRecorded(double seconds) {
    if (seconds >= 1) return asRecorded(seconds);
    const double n = std::round(1.0 / seconds);
    return std::fabs(1.0 / seconds - n) <= n * 1e-4 ? 1.0 / n : seconds;
}

} // namespace

ExifSummary rawExifSummary(const RawCameraData& camera) {
    ExifSummary exif;
    exif.make = camera.make;
    exif.model = camera.model;
    exif.present = !exif.make.empty() || !exif.model.empty();
    if (camera.timestamp > 0) {
        // LibRaw turned the camera's date text into local time; this turns it back.
        const std::time_t t = std::time_t(camera.timestamp);
        std::tm local{};
        char text[32];
        if (localtime_r(&t, &local) &&
            std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local))
            exif.dateTime = text;
    }
    if (std::isfinite(camera.isoSpeed) && camera.isoSpeed >= 1 && camera.isoSpeed < 1e7)
        exif.iso = int32_t(std::lround(camera.isoSpeed));
    if (std::isfinite(camera.shutterSeconds) && camera.shutterSeconds > 0)
        exif.exposureTime = exposureAsRecorded(camera.shutterSeconds);
    if (std::isfinite(camera.fNumber) && camera.fNumber > 0)
        exif.fNumber = asRecorded(camera.fNumber);
    return exif;
}

bool startsWithOtherFormat(ByteSpan bytes) {
    const auto startsWith = [&bytes](std::size_t at, std::string_view text) {
        return bytes.size >= at + text.size() &&
               std::memcmp(bytes.data + at, text.data(), text.size()) == 0;
    };
    return startsWith(0, "\xff\xd8\xff") || startsWith(0, "\x89PNG\r\n\x1a\n") ||
           startsWith(0, "GIF87a") || startsWith(0, "GIF89a") ||
           (startsWith(0, "RIFF") && startsWith(8, "WEBP"));
}

bool probeRaw(ByteSpan bytes) {
    if (!bytes.data || bytes.size == 0) return false;
    // A decoder object costs milliseconds to set up in a fresh process (the contained reader's
    // child is one for every file): not worth it for a file that plainly says what it is.
    if (startsWithOtherFormat(bytes)) return false;
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
    CheckedBufferStream stream(bytes);
    try {
        auto raw = std::make_unique<LibRaw>();
        int dataErrors = 0;
        raw->set_dataerror_handler(countDataError, &dataErrors);
        libraw_output_params_t& params = raw->imgdata.params;
        params.use_camera_wb = 1;  // the camera's white balance
        params.user_qual = 0;      // bilinear demosaicing
        params.four_color_rgb = 1; // RGGB interpolated as four colours

        int rc = raw->open_datastream(&stream);
        if (rc != LIBRAW_SUCCESS) return librawFailure(rc);
        libraw_image_sizes_t& sizes = raw->imgdata.sizes;
        if (Status s = checkSize(sizes.raw_width, sizes.raw_height, limits); !s.ok()) return s;
        if (!(sizes.pixel_aspect >= kMinPixelAspect && sizes.pixel_aspect <= kMaxPixelAspect))
            return Status::failure(StatusCode::Corrupt,
                                   "Camera raw: the file gives no valid pixel shape.");
        // The size of the finished picture: square pixels, a SuperCCD picture turned upright.
        int finalWidth = 0, finalHeight = 0, colors = 0, bits = 0;
        raw->get_mem_image_format(&finalWidth, &finalHeight, &colors, &bits);
        if (Status s = checkSize(finalWidth, finalHeight, limits); !s.ok()) return s;

        stream.resetCount();
        if ((rc = raw->unpack()) != LIBRAW_SUCCESS) return librawFailure(rc);
        if (dataErrors > 0)
            return Status::failure(StatusCode::Corrupt, "Camera raw: the image data is damaged.");
        if (stream.bytesPastEnd() > kReadAheadAllowance)
            return Status::failure(StatusCode::Corrupt,
                                   "Camera raw: the file ends before its image data does.");
        // dcraw keeps the Fuji width after rotating the picture; LibRaw clears it then.
        const int fujiWidth = raw->is_fuji_rotated();
        if ((rc = raw->dcraw_process()) != LIBRAW_SUCCESS) return librawFailure(rc);

        const libraw_internal_data_t* internal = raw->get_internal_data_pointer();
        RawImageView view;
        view.image = raw->imgdata.image;
        // The stretch and the SuperCCD rotation leave their result in width and height; iwidth
        // and iheight keep the size of the sensor's picture before them.
        view.width = sizes.width;
        view.height = sizes.height;
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
        out.info.exif = rawExifSummary(cameraData(*raw));
        return Status::success();
    } catch (const std::bad_alloc&) {
        out.release();
        return Status::failure(StatusCode::OutOfMemory,
                               "Not enough memory to decode the raw file.");
    } catch (...) {
        out.release();
        return Status::failure(StatusCode::Corrupt, "Camera raw: the image data is damaged.");
    }
}

Status decodeRaw(const std::string& path, Picture& out, const Limits& limits) {
    out.release();
    std::vector<uint8_t> bytes;
    if (Status s = files::readWholeFile(path, bytes); !s.ok()) return s;
    if (bytes.empty())
        return Status::failure(core::StatusCode::Corrupt, "Camera raw: the file is empty.");
    return decodeRaw(ByteSpan{bytes.data(), bytes.size()}, out, limits);
}

Status readRaw(ByteSpan bytes, Picture& out, const ReadOptions& options) {
    Status status = decodeRaw(bytes, out, options.limits);
    if (!status.ok()) return status;
    out.info.format = kFormatAuto;
    out.paletteSize = 0;
    out.info.fileWidth = out.width;
    out.info.fileHeight = out.height;
    out.info.orientation = 1;
    out.info.tiffPage = 0;
    out.info.exifBlock.clear();
    out.info.xResolution = out.info.yResolution = 300;
    out.info.resolutionUnit = 1;
    return status;
}

} // namespace velanox::codec
