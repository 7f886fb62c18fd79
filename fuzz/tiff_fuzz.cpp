// The Tiff reader on arbitrary bytes: a code and a reason, or consistent pixels.
#include "codec/tiff/tiff_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probeTiff(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readTiff(bytes, picture, options), picture, options);
    return 0;
}
