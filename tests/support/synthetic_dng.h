// Small camera raw files made on the spot: an uncompressed 16-bit DNG with an RGGB colour filter
// and the tags a raw decoder reads for its geometry (non-square pixels, the staggered layout of
// Fuji's SuperCCD sensors) and for the camera data (maker, model, date, ISO, exposure, aperture).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velanox::test {

struct SyntheticDng {
    int width = 64, height = 48;
    /// The sensor value at (x, y), whose colour filter is channel (0 red, 1 green, 2 blue);
    /// clamped to 0..65535. Unset: a noisy gradient.
    std::function<int(int x, int y, int channel)> value;
    uint16_t whiteLevel = 4095;
    /// DefaultScale: a pixel is scaleX / scaleY as wide as it is tall (1 = square).
    double scaleX = 1, scaleY = 1;
    /// CFALayout 2: rows staggered by half a pixel, as Fuji's SuperCCD sensors are read.
    bool staggered = false;
    std::string make = "Velanox", model = "Test Camera";
    std::string dateTime = "2021:03:04 05:06:07"; ///< empty: no date
    /// EXIF data; 0 leaves the tag out.
    double exposureSeconds = 0, fNumber = 0;
    int iso = 0;
};

/// The bytes of the DNG file.
std::vector<uint8_t> makeSyntheticDng(const SyntheticDng& shot);

} // namespace velanox::test
