// The module of AVIF (libavif).
#include "codec/avif/avif_codec.h"
#include "codec/codec_module.h"

namespace velanox::codec {

const CodecModule& avifCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatAvif, readAvif, writeAvif},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "avif", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
