// The module of HEIF and HEIC (libheif), read only.
#include "codec/codec_module.h"
#include "codec/heif/heif_codec.h"

namespace velanox::codec {

const CodecModule& heifCodecModule() {
    static const ModuleFormat formats[] = {
        {kFormatHeif, readHeif, nullptr},
    };
    static const CodecModule module{kCodecModuleStamp, sizeof(Picture), "heif", formats,
                                    std::size(formats)};
    return module;
}

} // namespace velanox::codec
