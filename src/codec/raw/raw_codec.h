// Camera raw files through LibRaw: camera white balance, bilinear demosaicing and four-colour
// interpolation, then this program's own conversion of the 16-bit result to 24-bit pixels.
#pragma once

#include "codec/codec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velanox::codec {

/// What the raw decoder leaves behind after one decode, as the conversion reads it: the 16-bit
/// image (four channels per pixel: red, green, blue, second green, rows top to bottom), its size
/// and flip code, the number of colours, the 8192-bin histogram of each channel (bin = value / 8),
/// the Fuji width, the gamma flag and the brightness. Not owned.
struct RawImageView {
    const uint16_t (*image)[4] = nullptr;
    int width = 0, height = 0;
    int flip = 0;
    int colors = 3;
    const int32_t (*histogram)[8192] = nullptr; ///< colors rows
    int fujiWidth = 0;
    bool useGamma = true;
    float brightness = 1.0f;
};

/// Converts a decoded raw image to 24-bit pixels, red first, rows top to bottom: re-laid out by
/// the flip code (mask 1 mirrors the columns, 2 the rows, 4 transposes), with the white point
/// taken from the histogram where 1 % of the pixels are brighter, and the gamma curve.
/// StatusCode::Corrupt when the view holds no image; StatusCode::OutOfMemory when the pixels cannot
/// be had.
Status convertRawImage(const RawImageView& raw, Picture& out);

/// The 65536-entry curve from 16-bit values to 8 bits for a white point and gamma flag.
void makeRawCurve(float white, bool useGamma, uint8_t curve[65536]);

/// The white point of a decoded raw image: the highest channel bin reached from the top of the
/// histogram before 1 % of the pixels (0.5 % with a Fuji width) are counted, times 8 / brightness.
float rawWhitePoint(const RawImageView& raw);

/// Whether the bytes begin with the signature of a format no camera raw file has: JPEG, PNG,
/// GIF or WebP.
bool startsWithOtherFormat(ByteSpan bytes);

/// Whether LibRaw recognises the bytes as a camera raw file (reads the headers only). A file
/// that startsWithOtherFormat is not: LibRaw recognises some cameras' files by their size
/// alone, and would take a PNG or JPEG file of that size for one.
bool probeRaw(ByteSpan bytes);

/// Decodes a camera raw file into 24-bit pixels (width, height, bitsPerPixel 24) and the camera
/// data the decoder reads (exif: make, model, date, ISO, exposure time, f-number); nothing else
/// of the Picture is touched. The picture has the decoder's geometry: non-square pixels are
/// stretched square and Fuji SuperCCD pictures turned upright, as the decoder's own command-line
/// tool writes them. A file whose image data the decoder reports as damaged, or that ends
/// before its image data does, fails with StatusCode::Corrupt; a dark, clipped or flat picture is a
/// picture. One decode runs at a time.
Status decodeRaw(ByteSpan bytes, Picture& out, const Limits& limits = {});

/// decodeRaw of a whole file; StatusCode::CannotOpen when it cannot be read.
Status decodeRaw(const std::string& path, Picture& out, const Limits& limits = {});

/// decodeRaw plus what a load records: format kFormatAuto (camera raw), fileWidth/fileHeight,
/// orientation 1, no palette, resolution 300 x 300 without unit.
Status readRaw(ByteSpan bytes, Picture& out, const ReadOptions& options);

/// The camera data a raw decoder reads, as the EXIF summary shows it. present is false when
/// there is neither a maker nor a model.
struct RawCameraData {
    std::string make, model;
    int64_t timestamp = 0; ///< seconds since 1970 as the camera's clock read (local time); 0 none
    double isoSpeed = 0, shutterSeconds = 0, fNumber = 0;
};
ExifSummary rawExifSummary(const RawCameraData& camera);

} // namespace velanox::codec
