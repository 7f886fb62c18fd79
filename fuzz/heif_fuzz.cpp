// The HEIF reader (libheif) on arbitrary bytes: a code and a reason, or consistent pixels
// within the limits (the library's own limits are set from ours).
#include "codec/heif/heif_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probeHeif(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readHeif(bytes, picture, options), picture, options);
    return 0;
}
