// Linked into the test, fuzz and benchmark programs together with the families themselves: the
// format table then uses these copies and never loads a module file, so the sanitisers and the
// fuzzers see the readers' code as part of the program.
#include "codec/codec_module.h"

namespace velanox::codec {
namespace {

const bool kProvided = [] {
    provideBuiltInCodecModule(CodecFamily::Magick, magickCodecModule());
    provideBuiltInCodecModule(CodecFamily::Metafile, metafileCodecModule());
    provideBuiltInCodecModule(CodecFamily::Heif, heifCodecModule());
    provideBuiltInCodecModule(CodecFamily::Avif, avifCodecModule());
    provideBuiltInCodecModule(CodecFamily::Webp, webpCodecModule());
    provideBuiltInCodecModule(CodecFamily::Jxl, jxlCodecModule());
    return true;
}();

} // namespace
} // namespace velanox::codec
