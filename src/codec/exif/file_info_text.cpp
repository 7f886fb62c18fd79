#include "codec/exif/file_info_text.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace velanox::codec {

std::string fileInfoText(const ExifSummary& exif, bool hasExifBlock, int width, int height) {
    char line[64];
    std::snprintf(line, sizeof line, "%d x %d", width, height);
    if (!hasExifBlock) return std::string("No EXIF\r\n") + line;

    std::string text =
        exif.make + " " + exif.model + "\r\n" + line + "\r\n" + exif.dateTime + "\r\n";
    if (exif.iso > 0) {
        std::snprintf(line, sizeof line, "ISO: %d\r\n", exif.iso);
        text += line;
    }
    const double t = exif.exposureTime > 0 ? exif.exposureTime : exif.shutterSpeed;
    if (t > 0) {
        if (t > 1)
            std::snprintf(line, sizeof line, "%d \"\r\n", int(std::min(t, double(INT_MAX))));
        else
            // A hair above the quotient so that 1/3 s stored as 10/30 still reads 1/3.
            std::snprintf(line, sizeof line, "1/%d\r\n",
                          int(std::min(1.0 / t + 1e-9, double(INT_MAX))));
        text += line;
    }
    if (exif.fNumber > 0) {
        std::snprintf(line, sizeof line, "F: %.1lf\r\n", exif.fNumber);
        text += line;
    }
    return text;
}

} // namespace velanox::codec
