// The Wmf reader on arbitrary bytes: a code and a reason, or consistent pixels.
#include "codec/metafile/metafile_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probeWmf(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readWmf(bytes, picture, options), picture, options);
    return 0;
}
