// The BMP reader on arbitrary bytes; whatever it reads must write and read back at the same size.
#include "codec/bmp/bmp_codec.h"

#include "fuzz_reader.h"

using namespace velanox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const codec::ReadOptions options = fuzz::fuzzReadOptions();
    codec::Picture picture;
    const core::Status status = codec::readBmp({data, size}, picture, options);
    fuzz::checkRead(status, picture, options);
    if (status.ok() && std::size_t(picture.width) * picture.height <= 1000000) {
        std::vector<uint8_t> written;
        if (!codec::writeBmp(picture, written).ok()) std::abort();
        codec::Picture again;
        if (!codec::readBmp({written.data(), written.size()}, again, options).ok()) std::abort();
        if (again.width != picture.width || again.height != picture.height) std::abort();
    }
    return 0;
}
