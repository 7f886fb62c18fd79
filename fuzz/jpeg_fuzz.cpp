// The JPEG reader on arbitrary bytes, at full size and reduced, with the EXIF it keeps turned
// into the summary and the file-information text.
#include "codec/exif/exif_summary.h"
#include "codec/exif/file_info_text.h"
#include "codec/jpeg/jpeg_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::classifyJpeg(bytes);
    // The last byte chooses a reduced decode now and then.
    if (size > 0 && (data[size - 1] & 3) == 0) {
        options.previewMaxWidth = 64;
        options.previewMaxHeight = 48;
    }
    codec::Picture picture;
    const core::Status status = codec::readJpeg(bytes, picture, options);
    fuzz::checkRead(status, picture, options);
    if (status.ok()) (void)codec::fileInfoText(picture);
    return 0;
}
