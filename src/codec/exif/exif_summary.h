// The EXIF summary of a picture, read with libexif from the raw tag values, and the names and
// nominal values the File Properties pane shows.
#pragma once

#include "codec/picture.h"

#include <cstddef>
#include <cstdint>

namespace velanox::codec {

/// Reads the summary from an APP1 payload that starts with "Exif\0\0" (the segment without its
/// marker and length bytes). Returns false, with summary cleared, when libexif cannot parse it.
bool readExifSummary(const uint8_t* payload, std::size_t size, ExifSummary& summary);

/// The nominal exposure in seconds for a ShutterSpeedValue (APEX) v: 30 s below -4, then 15,
/// 8, 4, 2, 1, 1/2, 1/4, 1/8, 1/15, 1/30, 1/60, 1/125, 1/250, 1/500, 1/1000 for each step of
/// one, and 1/2000 from 11 up; each step includes its lower bound.
double nominalShutterSeconds(double apex);

/// ExposureProgram and MeteringMode names; "other" for values without a name.
const char* exposureProgramName(int value);
const char* meteringModeName(int value);

} // namespace velanox::codec
