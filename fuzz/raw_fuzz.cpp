// The camera raw decoder (LibRaw and the 24-bit conversion) on arbitrary bytes.
#include "codec/raw/raw_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probeRaw(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readRaw(bytes, picture, options), picture, options);
    return 0;
}
