// The Png reader on arbitrary bytes: a code and a reason, or consistent pixels.
#include "codec/png/png_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probePng(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readPng(bytes, picture, options), picture, options);
    return 0;
}
