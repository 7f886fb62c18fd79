// The Emf reader on arbitrary bytes: a code and a reason, or consistent pixels.
#include "codec/metafile/metafile_codec.h"

#include "fuzz_reader.h"

#include <cstdlib>

using namespace velanox;

// cairo and fontconfig keep font caches for the whole process; they are freed at exit so that the
// leak checker reports only what a read leaves behind.
extern "C" void fuzzTargetInitialize() {
    std::atexit(codec::releaseMetafileFontCaches);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::probeEmf(bytes);
    codec::Picture picture;
    fuzz::checkRead(codec::readEmf(bytes, picture, options), picture, options);
    return 0;
}
