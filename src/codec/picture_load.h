// Reading a picture in this process, from bytes or from a file: for automatic loads the camera
// raw decoder first, then the reader of the format found from the content (the extension only
// when the content is not recognised), then the conversion to 24 bits, the resolution and the
// square-pixel stretch of fax pages. The desktop program and the batch tool run this inside the
// contained reader's child process (codec/contained); the tests and the fuzzers call it directly.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"

#include <cstdint>
#include <string>

namespace velanox::codec {

struct LoadRequest {
    uint32_t format = kFormatAuto; ///< kFormatAuto: camera raw first, then by content
    uint32_t page = 0;             ///< TIFF page
    int32_t previewMaxWidth = 0, previewMaxHeight = 0; ///< both > 0: JPEG decoded reduced
    Limits limits;
};

/// Reads a picture from bytes; path names the file (for the extension and filePath). The old
/// pixels, EXIF data and orientation of out are dropped first, whatever the outcome. On success
/// out holds 24-bit pixels with everything the file said about them.
Status readPicture(ByteSpan bytes, const std::string& path, const LoadRequest& request,
                   Picture& out);

/// Opens path (a regular file only, never waiting on anything else), reads it whole and then
/// readPicture.
Status loadPictureFile(const std::string& path, const LoadRequest& request, Picture& out);

} // namespace velanox::codec
