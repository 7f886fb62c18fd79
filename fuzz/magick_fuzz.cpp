// The readers served by ImageMagick (Targa, PCX, Photoshop, WBMP, PhotoCD), chosen by content
// the way automatic loading chooses them, with Targa (which has no signature) last.
#include "codec/magick/magick_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const core::ByteSpan bytes{data, size};
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    (void)codec::magickFormatId(bytes);
    codec::Picture picture;
    core::Status status;
    if (codec::probePsd(bytes))
        status = codec::readPsd(bytes, picture, options);
    else if (codec::probePhotoCd(bytes))
        status = codec::readPhotoCd(bytes, picture, options);
    else if (codec::probePcx(bytes))
        status = codec::readPcx(bytes, picture, options);
    else if (codec::probeWbmp(bytes))
        status = codec::readWbmp(bytes, picture, options);
    else
        status = codec::readTarga(bytes, picture, options);
    fuzz::checkRead(status, picture, options);
    return 0;
}
