// The module of WebP (libwebp).
#include "codec/codec_module.h"
#include "codec/webp/webp_codec.h"

namespace velanox::codec {

const CodecModule& webpCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatWebp, readWebp, writeWebp},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "webp", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
