// The EXIF summary from an arbitrary APP1 payload, and the file-information text built from it.
#include "codec/exif/exif_summary.h"
#include "codec/exif/file_info_text.h"

#include <cstdint>

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    codec::ExifSummary summary;
    const bool read = codec::readExifSummary(data, size, summary);
    (void)codec::fileInfoText(summary, read, 640, 480);
    return 0;
}
