#include "codec/exif/exif_summary.h"

#include <cmath>
#include <cstring>
#include <libexif/exif-data.h>
#include <memory>
#include <optional>
#include <string>

namespace velanox::codec {
namespace {

struct ExifDataDeleter {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

// Tag numbers as the EXIF standard gives them.
enum Tag : int {
    kMake = 271,
    kModel = 272,
    kOrientation = 274,
    kDateTime = 306,
    kExposureTime = 33434,
    kFNumber = 33437,
    kExposureProgram = 34850,
    kIsoSpeedRatings = 34855,
    kDateTimeOriginal = 36867,
    kShutterSpeedValue = 37377,
    kApertureValue = 37378,
    kExposureBiasValue = 37380,
    kSubjectDistance = 37382,
    kMeteringMode = 37383,
    kLightSource = 37384,
    kFlash = 37385,
    kUserComment = 37510,
    kColorSpace = 40961,
};

class TagReader {
public:
    explicit TagReader(ExifData* data) : m_data(data), m_order(exif_data_get_byte_order(data)) {}

    ExifEntry* entry(int tag) const {
        // IFD 0 first, then the EXIF IFD; the thumbnail's IFD 1 says nothing of the picture.
        for (ExifIfd ifd : {EXIF_IFD_0, EXIF_IFD_EXIF, EXIF_IFD_GPS, EXIF_IFD_INTEROPERABILITY}) {
            ExifEntry* e = exif_content_get_entry(m_data->ifd[ifd], ExifTag(tag));
            if (e && e->data && e->components > 0 && e->size >= exif_format_get_size(e->format))
                return e;
        }
        return nullptr;
    }

    std::string text(int tag) const {
        const ExifEntry* e = entry(tag);
        if (!e) return {};
        std::string s(reinterpret_cast<const char*>(e->data),
                      strnlen(reinterpret_cast<const char*>(e->data), e->size));
        while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }

    /// An integer value (first component) of a BYTE, SHORT or LONG tag.
    std::optional<int64_t> integer(int tag) const {
        const ExifEntry* e = entry(tag);
        if (!e) return std::nullopt;
        switch (e->format) {
        case EXIF_FORMAT_BYTE:
            return e->data[0];
        case EXIF_FORMAT_SHORT:
            return exif_get_short(e->data, m_order);
        case EXIF_FORMAT_SSHORT:
            return exif_get_sshort(e->data, m_order);
        case EXIF_FORMAT_LONG:
            return exif_get_long(e->data, m_order);
        case EXIF_FORMAT_SLONG:
            return exif_get_slong(e->data, m_order);
        default:
            return std::nullopt;
        }
    }

    /// The numerator and denominator of a RATIONAL or SRATIONAL tag.
    bool fraction(int tag, double& numerator, double& denominator) const {
        const ExifEntry* e = entry(tag);
        if (!e) return false;
        if (e->format == EXIF_FORMAT_RATIONAL) {
            const ExifRational r = exif_get_rational(e->data, m_order);
            numerator = r.numerator;
            denominator = r.denominator;
            return true;
        }
        if (e->format == EXIF_FORMAT_SRATIONAL) {
            const ExifSRational r = exif_get_srational(e->data, m_order);
            numerator = r.numerator;
            denominator = r.denominator;
            return true;
        }
        return false;
    }

    /// a / b of a rational tag; missing or with b <= 0 gives fallback.
    double rational(int tag, double fallback = 0) const {
        double a = 0, b = 0;
        if (!fraction(tag, a, b) || b <= 0) return fallback;
        return a / b;
    }

private:
    ExifData* m_data;
    ExifByteOrder m_order;
};

} // namespace

double nominalShutterSeconds(double v) {
    if (v < -4) return 30;
    static const double kSteps[] = {15,       8,         4,         2,         1,
                                    1.0 / 2,  1.0 / 4,   1.0 / 8,   1.0 / 15,  1.0 / 30,
                                    1.0 / 60, 1.0 / 125, 1.0 / 250, 1.0 / 500, 1.0 / 1000};
    // kSteps[i] covers [-4 + i, -3 + i).
    for (int i = 0; i < 15; ++i)
        if (v < -3 + i) return kSteps[i];
    return 1.0 / 2000;
}

const char* exposureProgramName(int value) {
    switch (value) {
    case 1:
        return "manual control";
    case 2:
        return "program normal";
    case 3:
        return "aperture priority";
    case 4:
        return "shutter priority";
    case 5:
        return "program creative (slow program)";
    case 6:
        return "program action(high-speed program)";
    case 7:
        return "portrait mode";
    case 8:
        return "landscape mode";
    default:
        return "other";
    }
}

const char* meteringModeName(int value) {
    switch (value) {
    case 1:
        return "average";
    case 2:
        return "center weighted";
    case 3:
        return "spot";
    case 4:
        return "multi-spot";
    case 5:
        return "multi-segment";
    default:
        return "other";
    }
}

bool readExifSummary(const uint8_t* payload, std::size_t size, ExifSummary& summary) {
    summary = ExifSummary{};
    if (!payload || size < 14 || std::memcmp(payload, "Exif\0\0", 6) != 0) return false;
    std::unique_ptr<ExifData, ExifDataDeleter> data(exif_data_new());
    if (!data) return false;
    // Read what is there: no tags added, none dropped, nothing "fixed".
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(data.get(), payload, unsigned(size));
    const TagReader tags(data.get());

    summary.make = tags.text(kMake);
    summary.model = tags.text(kModel);
    summary.dateTime = tags.text(kDateTimeOriginal);
    if (summary.dateTime.empty()) summary.dateTime = tags.text(kDateTime);
    summary.orientation = int32_t(tags.integer(kOrientation).value_or(0));
    summary.exposureBias = tags.rational(kExposureBiasValue);
    summary.exposureTime = tags.rational(kExposureTime);
    double a = 0, b = 0;
    if (tags.fraction(kShutterSpeedValue, a, b))
        summary.shutterSpeed = nominalShutterSeconds(b > 0 ? a / b : 1.0);
    if (tags.fraction(kApertureValue, a, b) && b > 0)
        summary.aperture = std::round(std::pow(std::sqrt(2.0), a / b) * 10) / 10;
    summary.fNumber = tags.rational(kFNumber);
    if (auto v = tags.integer(kExposureProgram))
        summary.exposureProgram = exposureProgramName(int(*v));
    if (auto v = tags.integer(kMeteringMode)) summary.meteringMode = meteringModeName(int(*v));
    summary.lightSource = int32_t(tags.integer(kLightSource).value_or(0));
    summary.flashFired = int32_t(tags.integer(kFlash).value_or(0) & 1);
    summary.iso = int32_t(tags.integer(kIsoSpeedRatings).value_or(0));
    summary.subjectDistance = tags.rational(kSubjectDistance);
    summary.colorSpace = int32_t(tags.integer(kColorSpace).value_or(0));
    if (const ExifEntry* e = tags.entry(kUserComment);
        e && e->size > 8 && std::memcmp(e->data, "ASCII", 5) == 0) {
        const char* text = reinterpret_cast<const char*>(e->data) + 8;
        summary.userComment.assign(text, strnlen(text, e->size - 8));
    }
    summary.present = true;
    return true;
}

} // namespace velanox::codec
